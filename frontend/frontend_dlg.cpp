// The main dialog's members and controls, start-up, the window menu, the icon
// and the reload button. The other handlers are in the files named in the header.
#include "frontend/frontend_dlg.h"

#include "common/paths.h"
#include "frontend/editors/about_dlg.h"
#include "frontend/program_state.h"
#include "frontend/resources/resource.h"

const char kErrorBeforeConversion[] = "変換開始前のエラー";
const char kChooseMusicFileFirst[] = "最初に楽曲ファイルを選択してください";
const char kChooseSoundFileFirst[] = "最初に音源ファイルを選択してください";

namespace {

constexpr int kMaxPathChars = static_cast<int>(framework::kMaxPathBytes);
constexpr unsigned kFirstYear = 2000;  // the version's second part counts years from here

// The program's own version: its second and third parts are the year after
// 2000 and the month and day (0, 5, 1018, 0 is 20051018).
void ReadOwnVersion() {
    framework::FileVersion version{};
    if (!framework::GetOwnFileVersion(version)) return;
    const unsigned year = kFirstYear + version.parts[1];
    const unsigned monthDay = version.parts[2];
    g_strFrontendVersion.Format("Tessaryn Frontend %04u%04u", year, monthDay);
    g_dwFrontendVersion = year * 10000u + monthDay;
}

}  // namespace

CFrontendDlg::CFrontendDlg() : CDialog(IDD_FRONTEND_DIALOG), m_hIcon(AfxGetApp()->LoadIcon(IDR_MAINFRAME)) {}

bool CFrontendDlg::SetMusicPath(const std::string& path) {
    // The packer derives its default package path by the same rule.
    const std::string outputPath = DefaultOutputPath(path);
    if (path.size() > framework::kMaxPathBytes || outputPath.size() > framework::kMaxPathBytes) return false;
    m_strMusicPath = path.c_str();
    m_strOutputPath = outputPath.c_str();
    return true;
}

void CFrontendDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_REFRAGMENT, m_chkRefragment);
    DDX_Control(pDX, IDC_RATE_CAMOUFLAGE, m_chkRateCamouflage);
    DDX_Text(pDX, IDC_MUSIC_PATH, m_strMusicPath);
    DDX_Text(pDX, IDC_OUTPUT_PATH, m_strOutputPath);
    DDV_MaxChars(pDX, m_strOutputPath, kMaxPathChars);
    DDX_Text(pDX, IDC_EXPECTED_SIZE, m_strExpectedSize);
    DDX_Text(pDX, IDC_CONFIG_STATUS, m_strConfigStatus);
    DDX_Text(pDX, IDC_DESCRIPTION_STATUS, m_strDescriptionStatus);
    DDX_Text(pDX, IDC_JACKET_STATUS, m_strJacketStatus);
    DDX_Text(pDX, IDC_WALLPAPER_STATUS, m_strWallpaperStatus);
    DDX_Text(pDX, IDC_LENGTH, m_strLength);
    DDX_Text(pDX, IDC_RATE, m_strRate);
}

BOOL CFrontendDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    AddAboutMenuItem();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    ReadOwnVersion();
    ProbePackerVersion();
    RefreshStatus(TRUE);
    // After the survey: clips that config.txt defines stay enabled, with empty names.
    for (CString& name : g_strClipName) name.Empty();
    return TRUE;
}

void CFrontendDlg::AddAboutMenuItem() {
    CMenu* systemMenu = GetSystemMenu(FALSE);
    if (systemMenu == nullptr) return;
    CString text;
    text.LoadString(IDS_ABOUTBOX);
    if (text.IsEmpty()) return;
    systemMenu->AppendMenu(MF_SEPARATOR);
    systemMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, text);
}

// Button 1000 and the window menu's entry both lead here: the About box, made
// anew with the current version texts, modal over the main dialog.
void CFrontendDlg::ShowAboutBox() {
    CAboutDlg about;
    about.DoModal();
}

void CFrontendDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        ShowAboutBox();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

// Minimized, the dialog paints its icon in the middle of its client area.
void CFrontendDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
    RECT client;
    GetClientRect(&client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CFrontendDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CFrontendDlg::OnVersion() { ShowAboutBox(); }

void CFrontendDlg::OnReload() { RefreshStatus(FALSE); }

BEGIN_MESSAGE_MAP(CFrontendDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_DROPFILES()
    ON_BN_CLICKED(IDC_VERSION, OnVersion)
    ON_BN_CLICKED(IDC_BROWSE_MUSIC, OnBrowseMusic)
    ON_BN_CLICKED(IDC_CONVERT, OnConvert)
    ON_BN_CLICKED(IDC_RELOAD, OnReload)
    ON_BN_CLICKED(IDC_OPEN_DESCRIPTION, OnOpenDescription)
    ON_BN_CLICKED(IDC_OPEN_CONFIG, OnOpenConfig)
    ON_BN_CLICKED(IDC_BROWSE_OUTPUT, OnBrowseOutput)
    ON_BN_CLICKED(IDC_EDIT_DESCRIPTION, OnEditDescription)
    ON_BN_CLICKED(IDC_SHOW_COMMAND, OnShowCommand)
    ON_BN_CLICKED(IDC_EDIT_CONFIG, OnEditConfig)
    ON_BN_CLICKED(IDC_WALLPAPER_NONE, OnWallpaperNone)
    ON_BN_CLICKED(IDC_JACKET_NONE, OnJacketNone)
    ON_BN_CLICKED(IDC_WALLPAPER_BROWSE, OnWallpaperBrowse)
    ON_BN_CLICKED(IDC_JACKET_BROWSE, OnJacketBrowse)
END_MESSAGE_MAP()
