// The packer's command line: built from the dialog's state, shown in the
// viewer, and started as a process of its own that the frontend never waits for.
#include "frontend/packer_launch.h"

#include "common/mode_flags.h"
#include "frontend/frontend_dlg.h"
#include "frontend/packer_version.h"
#include "frontend/program_state.h"
#include "frontend/resources/resource.h"

namespace {

constexpr char kChooseAFile[] = "ファイルを選択してください";
constexpr char kCannotRecognisePacker[] = "Tessarynを認識できません";
constexpr char kOldPackerRecognised[] = "古いバージョンのTessarynを認識しました\n最新のTessarynを入手してください";

// The packer started from here always appends a fragment index, inserts the
// clip box, keeps its console open until a key is pressed, and never reads tessaryn.ini.
constexpr uint32_t kFrontendMode =
    ModeFlag::ADD_MFRA | ModeFlag::ADD_IOED | ModeFlag::CHECK_HITKEY | ModeFlag::NO_SETTINGS_FILE;

// An option followed by its value between double quotes, escaped as the C
// runtime splits it: a trailing backslash or a double quote inside stays in the value.
std::string OptionWithValue(const char* option, const CString& value) {
    return option + framework::QuoteArgument(std::string(value));
}

bool IsTicked(const CButton& option) { return option.GetCheck() == BST_CHECKED; }

// Why a conversion cannot start; null when it can.
const char* ConversionRefusal(const CString& musicPath) {
    if (musicPath.IsEmpty()) return kChooseAFile;
    switch (g_nPackerState) {
        case kPackerNotRecognised:
            return kCannotRecognisePacker;
        case kPackerTooOld:
            return kOldPackerRecognised;
        default:
            return nullptr;
    }
}

}  // namespace

CCommandDlg::CCommandDlg() : CDialog(IDD_COMMAND_DIALOG) {}

void CCommandDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_COMMAND, m_strCommand);
}

uint32_t CFrontendDlg::ModeValue() const {
    uint32_t mode = kFrontendMode;
    if (IsTicked(m_chkRefragment)) mode |= ModeFlag::REFRAGMENT;
    if (IsTicked(m_chkRateCamouflage)) mode |= ModeFlag::FIXED_CAMOUFLAGE;
    return mode;
}

void CFrontendDlg::BuildCommandArgs(std::vector<std::string>& args) {
    args.clear();
    // The program's own path is read up to the next double quote, without escapes.
    args.push_back(std::string("\"") + g_szPackerPath + "\"");
    args.push_back(OptionWithValue("", m_strMusicPath));
    args.push_back(OptionWithValue("-o:", m_strOutputPath));
    args.push_back("-mode:" + std::to_string(ModeValue()));
    if (!g_strJacketPath.IsEmpty()) args.push_back(OptionWithValue("-jct:", g_strJacketPath));
    if (!g_strWallpaperPath.IsEmpty()) args.push_back(OptionWithValue("-wall:", g_strWallpaperPath));
    for (int clip = 0; clip < kClipCount; ++clip) {
        if (!g_bClipEnabled[clip]) continue;
        const std::string option = "-chku" + std::to_string(clip + 1) + ":";
        args.push_back(OptionWithValue(option.c_str(), g_strClipName[clip]));
    }
    if (g_bFreeClip) args.push_back("-chkufr");
}

// The arguments joined into one line, each followed by one blank.
std::string CFrontendDlg::PackerCommandLine() {
    std::vector<std::string> args;
    BuildCommandArgs(args);
    std::string line;
    for (const std::string& arg : args) line += arg + " ";
    return line;
}

void CFrontendDlg::OnShowCommand() {
    CCommandDlg viewer;
    if (!UpdateData(TRUE)) return;
    viewer.m_strCommand = PackerCommandLine().c_str();
    viewer.DoModal();
}

void CFrontendDlg::OnConvert() {
    if (!UpdateData(TRUE)) return;
    if (const char* refusal = ConversionRefusal(m_strMusicPath)) {
        MessageBox(refusal, kErrorBeforeConversion, MB_OK);
        return;
    }
    framework::StartDetachedProcess(g_szPackerPath, PackerCommandLine());
}
