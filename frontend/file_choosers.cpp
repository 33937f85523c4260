#include "frontend/file_choosers.h"

#include <cctype>
#include <initializer_list>

#include "frontend/probes/jpeg_probe.h"
#include "frontend/session/refusals.h"

namespace {

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

framework::FileDialogRequest OutputRequest() {
    framework::FileDialogRequest request;
    request.title = "KMFファイルの保存先";
    request.filters = {{"KDDI Music File", "*.kmf"}, kAllFiles};
    request.askBeforeOverwrite = true;
    request.defaultExtension = "kmf";
    request.keepCurrentFolder = true;
    return request;
}

std::string& Choice(ImageSlot slot, FrontendSession& session) {
    return slot == ImageSlot::Jacket ? session.jacketPath : session.wallpaperPath;
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
    framework::DiskFile file(path);
    const ImageSize image = file.isOpen() ? ProbeJpegSize(file).value_or(ImageSize{}) : ImageSize{};
    return image.width > kLargestJacketSide || image.height > kLargestJacketSide;
}

}  // namespace

std::optional<std::string> ChooseMusicFile(CWnd& owner) {
    std::string path;
    const auto request = OpenRequest("楽曲ファイルを開く", {"3g2/3gp/MP4 Audio", "*.3g2;*.3gp;*.mp4;*.m4a"});
    if (!framework::ChooseFileToOpen(owner.m_hWnd, request, path)) return std::nullopt;
    return path;
}

std::optional<std::string> ChooseOutputFile(CWnd& owner) {
    std::string path;
    if (!framework::ChooseFileToSave(owner.m_hWnd, OutputRequest(), path)) return std::nullopt;
    return path;
}

NextStep ChooseImage(ImageSlot slot, FrontendSession& session, const std::string& musicPath, CWnd& owner) {
    if (musicPath.empty()) {
        owner.MessageBox(kChooseSoundFileFirst, kErrorBeforeConversion, MB_OK);
        return NextStep::Nothing;
    }
    const char* title = slot == ImageSlot::Jacket ? "ジャケット画像を開く" : "静止画保存用画像を開く";
    std::string path;
    if (!framework::ChooseFileToOpen(owner.m_hWnd, OpenRequest(title, {"JPEG/JFIF Image", "*.jpg;*.jpeg;*.jfif;*.jpe"}), path)) {
        return NextStep::Nothing;
    }
    Choice(slot, session) = path;
    return NextStep::Survey;
}

NextStep ChooseNoImage(ImageSlot slot, FrontendSession& session) {
    Choice(slot, session) = kNoImage;
    return NextStep::Survey;
}

std::optional<std::string> FirstDroppedFile(HDROP drop) {
    std::string path;
    if (!framework::TakeFirstDroppedFile(drop, path)) return std::nullopt;
    return path;
}

NextStep TakeDroppedFile(const std::string& path, FrontendSession& session) {
    if (HasExtension(path, kMusicExtensions)) return NextStep::ResetSurvey;
    if (HasExtension(path, kJpegExtensions)) Choice(IsWallpaperSized(path) ? ImageSlot::Wallpaper : ImageSlot::Jacket, session) = path;
    return NextStep::Survey;
}
