#include "frontend/frontend_dlg.h"

#include "common/paths.h"
#include "frontend/editors/about_dlg.h"
#include "frontend/editors/config_dlg.h"
#include "frontend/editors/description_dlg.h"
#include "frontend/file_choosers.h"
#include "frontend/resources/resource.h"

namespace {

constexpr int kMaxPathChars = static_cast<int>(framework::kMaxPathBytes);
constexpr char kMusicMayBeDamaged[] = "楽曲ファイルが壊れている可能性があります";
constexpr char kWarningBeforeConversion[] = "変換開始前の警告";

bool IsTicked(const CButton& option) { return option.GetCheck() == BST_CHECKED; }

// The box follows the song: enabled when the option is offered, else also
// unticked; its tick is forced only by a reset survey.
void Offer(CButton& option, const OptionOffer& offer, bool reset) {
    option.EnableWindow(offer.offered ? TRUE : FALSE);
    if (!offer.offered) option.SetCheck(BST_UNCHECKED);
    if (reset) option.SetCheck(offer.tickedByReset ? BST_CHECKED : BST_UNCHECKED);
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
    m_session.frontend = ReadFrontendVersion();
    m_session.packer = ProbePackerVersion();
    RefreshStatus(true);
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

// Minimized, the dialog paints its icon in the middle of its client area.
void CFrontendDlg::PaintIcon() {
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
    RECT client;
    GetClientRect(&client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

PackageInputs CFrontendDlg::Inputs() const {
    return {MusicPath(), std::string(m_strOutputPath), IsTicked(m_chkRefragment), IsTicked(m_chkRateCamouflage)};
}

void CFrontendDlg::RefreshStatus(bool reset) { Follow(reset ? NextStep::ResetSurvey : NextStep::Survey); }

void CFrontendDlg::Follow(NextStep step) {
    if (step == NextStep::Nothing || !UpdateData(TRUE)) return;  // a refused output path: the user has been told why
    const SurveyResult found = Survey(m_session, MusicPath(), step == NextStep::ResetSurvey);
    KeepSurveyFindings(m_session, found, step);
    ShowSurvey(found, step == NextStep::ResetSurvey);
    UpdateData(FALSE);
}

// A music file that cannot be opened is forgotten, without a word. Without a
// music file the statuses are blank; the length, the rate and the option boxes
// keep what they showed.
void CFrontendDlg::ShowSurvey(const SurveyResult& found, bool reset) {
    if (found.mayBeDamaged) MessageBox(kMusicMayBeDamaged, kWarningBeforeConversion, MB_OK);
    if (found.musicOpened) {
        m_strRate = found.musicTexts.rate.c_str();
        m_strLength = found.musicTexts.length.c_str();
        Offer(m_chkRefragment, found.refragment, reset);
        Offer(m_chkRateCamouflage, found.rateCamouflage, reset);
    } else {
        m_strMusicPath.Empty();
    }
    m_strConfigStatus = found.configStatus.c_str();
    m_strJacketStatus = found.jacketStatus.c_str();
    m_strDescriptionStatus = found.descriptionStatus.c_str();
    m_strWallpaperStatus = found.wallpaperStatus.c_str();
    m_strExpectedSize = found.expectedSize.c_str();
}

void CFrontendDlg::TakeMusicPath(const std::optional<std::string>& path) {
    if (!path || !SetMusicPath(*path)) return;
    UpdateData(FALSE);
    RefreshStatus(true);
}

void CFrontendDlg::TakeOutputPath(const std::optional<std::string>& path) {
    if (!path) return;
    m_strOutputPath = path->c_str();
    UpdateData(FALSE);
}

// Only the first dropped file counts; what was typed into the output path is
// kept unless a new music file brings its own.
void CFrontendDlg::TakeDrop(const std::optional<std::string>& path) {
    if (!UpdateData(TRUE)) return;
    NextStep step = path ? TakeDroppedFile(*path, m_session) : NextStep::Survey;
    if (step == NextStep::ResetSurvey && !SetMusicPath(*path)) step = NextStep::Survey;
    UpdateData(FALSE);
    Follow(step);
}

void CFrontendDlg::OpenSideFile(SideFile file, CString& status) {
    (void)UpdateData(TRUE);
    if (!OpenInTextEditor(file, MusicPath(), *this)) return;
    status = kPleaseReload;
    UpdateData(FALSE);
}

void CFrontendDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        ShowAboutBox(m_session);
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CFrontendDlg::OnPaint() {
    if (IsIconic()) {
        PaintIcon();
    } else {
        CDialog::OnPaint();
    }
}

HCURSOR CFrontendDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
void CFrontendDlg::OnDropFiles(HDROP hDropInfo) {
    TakeDrop(FirstDroppedFile(hDropInfo));
    CDialog::OnDropFiles(hDropInfo);
}
void CFrontendDlg::OnVersion() { ShowAboutBox(m_session); }
void CFrontendDlg::OnReload() { RefreshStatus(false); }
void CFrontendDlg::OnBrowseMusic() { if (UpdateData(TRUE)) TakeMusicPath(ChooseMusicFile(*this)); }
void CFrontendDlg::OnBrowseOutput() { if (UpdateData(TRUE)) TakeOutputPath(ChooseOutputFile(*this)); }
void CFrontendDlg::OnJacketBrowse() { Follow(ChooseImage(ImageSlot::Jacket, m_session, MusicPath(), *this)); }
void CFrontendDlg::OnWallpaperBrowse() { Follow(ChooseImage(ImageSlot::Wallpaper, m_session, MusicPath(), *this)); }
void CFrontendDlg::OnJacketNone() { Follow(ChooseNoImage(ImageSlot::Jacket, m_session)); }
void CFrontendDlg::OnWallpaperNone() { Follow(ChooseNoImage(ImageSlot::Wallpaper, m_session)); }
void CFrontendDlg::OnConvert() { if (UpdateData(TRUE)) Convert(m_session, Inputs(), *this); }
void CFrontendDlg::OnShowCommand() { if (UpdateData(TRUE)) ShowCommand(m_session, Inputs()); }
void CFrontendDlg::OnEditDescription() { Follow(EditDescription(m_session, MusicPath(), *this)); }
void CFrontendDlg::OnEditConfig() { Follow(EditConfig(m_session, MusicPath(), *this)); }
void CFrontendDlg::OnOpenDescription() { OpenSideFile(SideFile::Description, m_strDescriptionStatus); }
void CFrontendDlg::OnOpenConfig() { OpenSideFile(SideFile::Config, m_strConfigStatus); }

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
