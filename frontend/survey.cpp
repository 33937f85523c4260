// The survey: the music file and the side files the packer will take from its
// folder, shown as status texts with the package's expected size.
#include <cinttypes>
#include <string>

#include "common/package_layout.h"
#include "common/paths.h"
#include "frontend/config_clips.h"
#include "frontend/frontend_dlg.h"
#include "frontend/jpeg_probe.h"
#include "frontend/program_state.h"

namespace {

constexpr char kGeneratedAutomatically[] = "自動生成";
constexpr char kPresent[] = "あり";
constexpr char kAbsent[] = "なし";
constexpr char kMusicMayBeDamaged[] = "楽曲ファイルが壊れている可能性があります";
constexpr char kWarningBeforeConversion[] = "変換開始前の警告";

constexpr uint32_t kUncappedBitrate = 48000;       // rate camouflage is offered above this
constexpr uint32_t kCamouflageTickedFrom = 49152;  // and ticked by a reset survey from this on

}  // namespace

// The package's size as it grows member by member: index.txt's header and text
// blocks and the two zero blocks at the end to start with, then the music
// track's bytes, then each side file with a header block, the running total
// padded to whole 512-byte blocks. 64 bits, so no file size can wrap it.
class PackageEstimate {
public:
    void addMusicTrack(uint64_t size) { bytes_ += size; }
    void addSideFile(uint64_t size) { bytes_ = RoundUpToBlock(bytes_ + kBlockSize + size); }
    uint64_t kilobytes() const { return bytes_ >> 10; }

private:
    uint64_t bytes_ = kIndexAreaSize + kPackageEndSize;
};

namespace {

CString ConfigStatus(const std::string& path, PackageEstimate& estimate) {
    if (!framework::PathExists(path)) return kGeneratedAutomatically;  // the packer writes a default one
    framework::DiskFile config(path);
    if (config.isOpen()) {
        estimate.addSideFile(config.size());
        ProbeConfigClips(config, g_bClipEnabled);
    }
    return kPresent;
}

CString DescriptionStatus(const std::string& path, PackageEstimate& estimate) {
    if (!framework::PathExists(path)) return kAbsent;
    framework::DiskFile description(path);
    if (description.isOpen()) estimate.addSideFile(description.size());
    return kPresent;
}

// An image that exists but cannot be opened shows a size of 0 and 0x0.
CString ImageStatus(const CString& choice, const std::string& besideMusic, PackageEstimate& estimate) {
    if (choice == kNoImage) return kAbsent;
    const std::string path = choice.IsEmpty() ? besideMusic : std::string(choice);
    if (!framework::PathExists(path)) return kAbsent;
    uint64_t size = 0;
    uint16_t width = 0, height = 0;
    framework::DiskFile image(path);
    if (image.isOpen()) {
        size = image.size();
        estimate.addSideFile(size);
        ProbeJpegSize(image, width, height);
    }
    CString status;
    status.Format("%" PRIu64 "ﾊﾞｲﾄ %ux%u", size, unsigned{width}, unsigned{height});
    return status;
}

void OfferOption(CButton& option, bool available) {
    option.EnableWindow(available ? TRUE : FALSE);
    if (!available) option.SetCheck(BST_UNCHECKED);
}

}  // namespace

void CFrontendDlg::RefreshStatus(int nReset) {
    if (!UpdateData(TRUE)) return;  // the output path is refused; the user has been told why
    if (m_strMusicPath.IsEmpty()) {
        ClearStatuses();
        UpdateData(FALSE);
        return;
    }
    // The side files are looked for in the music path's folder, even when the
    // music file itself turns out to be missing.
    const std::string musicPath(m_strMusicPath);
    PackageEstimate estimate;
    SurveyMusicFile(musicPath, (nReset & 1) != 0, estimate);
    m_strConfigStatus = ConfigStatus(SiblingPath(musicPath, kConfigName), estimate);
    m_strJacketStatus = ImageStatus(g_strJacketPath, SiblingPath(musicPath, kJacketName), estimate);
    m_strDescriptionStatus = DescriptionStatus(SiblingPath(musicPath, kDescriptionName), estimate);
    m_strWallpaperStatus = ImageStatus(g_strWallpaperPath, SiblingPath(musicPath, kWallpaperName), estimate);
    m_strExpectedSize.Format("%" PRIu64 "KB(予想)", estimate.kilobytes());
    UpdateData(FALSE);
}

// A music file that cannot be opened is forgotten, without a word.
void CFrontendDlg::SurveyMusicFile(const std::string& path, bool reset, PackageEstimate& estimate) {
    int mayBeDamaged = 0;
    {
        framework::DiskFile music(path);
        if (!music.isOpen()) {
            m_strMusicPath.Empty();
            return;
        }
        estimate.addMusicTrack(music.size());
        mayBeDamaged = ProbeMusicFile(music, g_musicInfo);
    }
    if (mayBeDamaged) MessageBox(kMusicMayBeDamaged, kWarningBeforeConversion, MB_OK);
    const MusicTexts texts = PresentMusicInfo(g_musicInfo);
    m_strRate = texts.rate.c_str();
    m_strLength = texts.length.c_str();
    OfferOptions(reset);
}

// Re-fragmenting makes sense only for a fragmented file, rate camouflage only
// above the packer's cap. The boxes follow the file; their ticks are forced
// only by a reset survey, or cleared when the option goes away.
void CFrontendDlg::OfferOptions(bool reset) {
    const bool fragmented = g_musicInfo.fragmented == 1;
    OfferOption(m_chkRefragment, fragmented);
    OfferOption(m_chkRateCamouflage, g_musicInfo.avgBitrate > kUncappedBitrate);
    if (!reset) return;
    g_strJacketPath.Empty();
    g_strWallpaperPath.Empty();
    g_bFreeClip = 1;
    m_chkRefragment.SetCheck(fragmented ? BST_CHECKED : BST_UNCHECKED);
    m_chkRateCamouflage.SetCheck(g_musicInfo.avgBitrate >= kCamouflageTickedFrom ? BST_CHECKED : BST_UNCHECKED);
}

// Without a music file the statuses are blank; the length, the rate and the
// option boxes keep what they showed.
void CFrontendDlg::ClearStatuses() {
    m_strConfigStatus.Empty();
    m_strJacketStatus.Empty();
    m_strDescriptionStatus.Empty();
    m_strWallpaperStatus.Empty();
    m_strExpectedSize.Empty();
}
