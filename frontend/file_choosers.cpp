// Choosing the package's inputs: the browse and none buttons with the system's
// file dialogs, and files dropped on the dialog, sorted by their extension.
#include <cctype>
#include <initializer_list>
#include <string>

#include "frontend/frontend_dlg.h"
#include "frontend/jpeg_probe.h"
#include "frontend/program_state.h"

namespace {

constexpr char kJacketTitle[] = "ジャケット画像を開く";
constexpr char kWallpaperTitle[] = "静止画保存用画像を開く";

const std::initializer_list<const char*> kMusicExtensions = {"3g2", "3gp", "mp4", "m4a"};
const std::initializer_list<const char*> kJpegExtensions = {"jpg", "jpeg", "jfif", "jpe"};
constexpr uint16_t kLargestJacketSide = 160;  // a larger image is a wallpaper

const framework::FileFilter kAllFiles{"All Files(*.*)", "*.*"};

// Dialogs keep the current folder, so a relative music path given on the
// command line is still found by the next survey.
framework::FileDialogRequest OpenRequest(const char* title, const framework::FileFilter& filter) {
    framework::FileDialogRequest request;
    request.title = title;
    request.filters = {filter, kAllFiles};
    request.mustExist = true;
    request.keepCurrentFolder = true;
    return request;
}

framework::FileDialogRequest MusicRequest() {
    return OpenRequest("楽曲ファイルを開く", {"3g2/3gp/MP4 Audio", "*.3g2;*.3gp;*.mp4;*.m4a"});
}

framework::FileDialogRequest ImageRequest(const char* title) {
    return OpenRequest(title, {"JPEG/JFIF Image", "*.jpg;*.jpeg;*.jfif;*.jpe"});
}

framework::FileDialogRequest OutputRequest() {
    framework::FileDialogRequest request;
    request.title = "KMFファイルの保存先";
    request.filters = {{"KDDI Music File", "*.kmf"}, kAllFiles};
    request.askBeforeOverwrite = true;
    request.defaultExtension = "kmf";
    request.keepCurrentFolder = true;
    return request;
}

bool SameIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

// The text after the last "." of the path (a dot in a folder name counts too)
// is one of `extensions`.
bool HasExtension(const std::string& path, std::initializer_list<const char*> extensions) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string extension = path.substr(dot + 1);
    for (const char* candidate : extensions) {
        if (SameIgnoringCase(extension, candidate)) return true;
    }
    return false;
}

// An image that cannot be opened or measured counts as 0 by 0: a jacket.
bool IsWallpaperSized(const std::string& path) {
    uint16_t width = 0, height = 0;
    framework::DiskFile image(path);
    if (image.isOpen()) ProbeJpegSize(image, width, height);
    return width > kLargestJacketSide || height > kLargestJacketSide;
}

}  // namespace

void CFrontendDlg::OnBrowseMusic() {
    if (!UpdateData(TRUE)) return;
    std::string path;
    if (!framework::ChooseFileToOpen(m_hWnd, MusicRequest(), path) || !SetMusicPath(path)) return;
    UpdateData(FALSE);
    RefreshStatus(TRUE);
}

void CFrontendDlg::OnBrowseOutput() {
    if (!UpdateData(TRUE)) return;
    std::string path;
    if (!framework::ChooseFileToSave(m_hWnd, OutputRequest(), path)) return;
    m_strOutputPath = path.c_str();
    UpdateData(FALSE);
}

void CFrontendDlg::OnJacketBrowse() { ChooseImage(g_strJacketPath, kJacketTitle); }

void CFrontendDlg::OnWallpaperBrowse() { ChooseImage(g_strWallpaperPath, kWallpaperTitle); }

// Images belong to a music file's package: one must be chosen first.
void CFrontendDlg::ChooseImage(CString& choice, const char* title) {
    if (m_strMusicPath.IsEmpty()) {
        MessageBox(kChooseSoundFileFirst, kErrorBeforeConversion, MB_OK);
        return;
    }
    std::string path;
    if (!framework::ChooseFileToOpen(m_hWnd, ImageRequest(title), path)) return;
    choice = path.c_str();
    RefreshStatus(FALSE);
}

void CFrontendDlg::OnJacketNone() {
    g_strJacketPath = kNoImage;
    RefreshStatus(FALSE);
}

void CFrontendDlg::OnWallpaperNone() {
    g_strWallpaperPath = kNoImage;
    RefreshStatus(FALSE);
}

// Only the first dropped file counts. A music file starts a new package (a
// reset survey); anything else is surveyed plainly.
void CFrontendDlg::OnDropFiles(HDROP hDropInfo) {
    std::string path;
    const bool dropped = framework::TakeFirstDroppedFile(hDropInfo, path);
    if (UpdateData(TRUE)) {  // keep what was typed into the output path
        const bool newMusic = dropped && TakeDroppedFile(path);
        UpdateData(FALSE);
        RefreshStatus(newMusic ? TRUE : FALSE);
    }
    CDialog::OnDropFiles(hDropInfo);
}

// True when the file became the music file.
bool CFrontendDlg::TakeDroppedFile(const std::string& path) {
    if (HasExtension(path, kMusicExtensions)) return SetMusicPath(path);
    if (HasExtension(path, kJpegExtensions)) {
        CString& slot = IsWallpaperSized(path) ? g_strWallpaperPath : g_strJacketPath;
        slot = path.c_str();
    }
    return false;
}
