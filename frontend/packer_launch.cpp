#include "frontend/packer_launch.h"

#include "common/mode_flags.h"
#include "frontend/resources/resource.h"
#include "frontend/session/refusals.h"

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
std::string OptionWithValue(const std::string& option, const std::string& value) {
    return option + framework::QuoteArgument(value);
}

uint32_t ModeValue(const PackageInputs& inputs) {
    uint32_t mode = kFrontendMode;
    if (inputs.refragment) mode |= ModeFlag::REFRAGMENT;
    if (inputs.rateCamouflage) mode |= ModeFlag::FIXED_CAMOUFLAGE;
    return mode;
}

// The arguments joined into one line, each followed by one blank.
std::string PackerCommandLine(const FrontendSession& session, const PackageInputs& inputs) {
    std::string line;
    for (const std::string& arg : BuildCommandArgs(session, inputs)) line += arg + " ";
    return line;
}

// Why a conversion cannot start; null when it can.
const char* ConversionRefusal(const FrontendSession& session, const PackageInputs& inputs) {
    if (inputs.musicPath.empty()) return kChooseAFile;
    switch (session.packer.state) {
        case PackerState::NotRecognised:
            return kCannotRecognisePacker;
        case PackerState::TooOld:
            return kOldPackerRecognised;
        case PackerState::Usable:
            break;
    }
    return nullptr;
}

}  // namespace

CCommandDlg::CCommandDlg() : CDialog(IDD_COMMAND_DIALOG) {}

void CCommandDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_COMMAND, m_strCommand);
}

std::vector<std::string> BuildCommandArgs(const FrontendSession& session, const PackageInputs& inputs) {
    // The program's own path is read up to the next double quote, without escapes.
    std::vector<std::string> args = {"\"" + session.packer.path + "\"", OptionWithValue("", inputs.musicPath),
                                     OptionWithValue("-o:", inputs.outputPath), "-mode:" + std::to_string(ModeValue(inputs))};
    if (!session.jacketPath.empty()) args.push_back(OptionWithValue("-jct:", session.jacketPath));
    if (!session.wallpaperPath.empty()) args.push_back(OptionWithValue("-wall:", session.wallpaperPath));
    for (int clip = 0; clip < kClipCount; ++clip) {
        if (session.clipEnabled[clip]) {
            args.push_back(OptionWithValue("-chku" + std::to_string(clip + 1) + ":", session.clipName[clip]));
        }
    }
    if (session.freeClip) args.push_back("-chkufr");
    return args;
}

void ShowCommand(const FrontendSession& session, const PackageInputs& inputs) {
    CCommandDlg viewer;
    viewer.m_strCommand = PackerCommandLine(session, inputs).c_str();
    viewer.DoModal();
}

void Convert(const FrontendSession& session, const PackageInputs& inputs, CWnd& owner) {
    if (const char* refusal = ConversionRefusal(session, inputs)) {
        owner.MessageBox(refusal, kErrorBeforeConversion, MB_OK);
        return;
    }
    framework::StartDetachedProcess(session.packer.path, PackerCommandLine(session, inputs));
}
