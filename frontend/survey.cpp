#include "frontend/survey.h"

#include <cinttypes>
#include <cstdio>

#include "common/package_layout.h"
#include "common/paths.h"
#include "framework/file.h"
#include "frontend/probes/jpeg_probe.h"

namespace {

constexpr char kGeneratedAutomatically[] = "自動生成";
constexpr char kPresent[] = "あり";
constexpr char kAbsent[] = "なし";

constexpr uint32_t kUncappedBitrate = 48000;       // rate camouflage is offered above this
constexpr uint32_t kCamouflageTickedFrom = 49152;  // and ticked by a reset survey from this on

// The package's size as it grows member by member: index.txt's header and text
// blocks and the two zero blocks at the end to start with, then the music
// track's bytes, then each side file with a header block, the running total
// padded to whole 512-byte blocks. 64 bits, so no file size can wrap it.
class PackageEstimate {
public:
    void AddMusicTrack(uint64_t size) { bytes_ += size; }
    void AddSideFile(uint64_t size) { bytes_ = RoundUpToBlock(bytes_ + kBlockSize + size); }
    std::string Text() const {
        char text[48];
        std::snprintf(text, sizeof text, "%" PRIu64 "KB(予想)", bytes_ >> 10);
        return text;
    }

private:
    uint64_t bytes_ = kIndexAreaSize + kPackageEndSize;
};

// A music file that cannot be opened leaves the result as it is.
void SurveyMusicFile(const std::string& path, PackageEstimate& estimate, SurveyResult& found) {
    framework::DiskFile music(path);
    if (!music.isOpen()) return;
    estimate.AddMusicTrack(music.size());
    const MusicProbe probe = ProbeMusicFile(music);
    found.musicOpened = true;
    found.mayBeDamaged = probe.mayBeDamaged;
    found.musicInfo = probe.info;
    found.musicTexts = PresentMusicInfo(probe.info);
    // Re-fragmenting makes sense only for a fragmented file, rate camouflage only above the packer's cap.
    found.refragment = {probe.info.fragmented, probe.info.fragmented};
    found.rateCamouflage = {probe.info.avgBitrate > kUncappedBitrate, probe.info.avgBitrate >= kCamouflageTickedFrom};
}

std::string ConfigStatus(const std::string& path, PackageEstimate& estimate, SurveyResult& found) {
    if (!framework::PathExists(path)) return kGeneratedAutomatically;  // the packer writes a default one
    framework::DiskFile config(path);
    if (config.isOpen()) {
        estimate.AddSideFile(config.size());
        found.clipsInConfig = ProbeConfigClips(config);
    }
    return kPresent;
}

std::string DescriptionStatus(const std::string& path, PackageEstimate& estimate) {
    if (!framework::PathExists(path)) return kAbsent;
    framework::DiskFile description(path);
    if (description.isOpen()) estimate.AddSideFile(description.size());
    return kPresent;
}

// An image that exists but cannot be opened shows a size of 0 and 0x0.
std::string ImageStatus(const std::string& choice, const std::string& besideMusic, PackageEstimate& estimate) {
    if (choice == kNoImage) return kAbsent;
    const std::string path = choice.empty() ? besideMusic : choice;
    if (!framework::PathExists(path)) return kAbsent;
    uint64_t size = 0;
    ImageSize image;
    framework::DiskFile file(path);
    if (file.isOpen()) {
        size = file.size();
        estimate.AddSideFile(size);
        image = ProbeJpegSize(file).value_or(ImageSize{});
    }
    char status[64];
    std::snprintf(status, sizeof status, "%" PRIu64 "ﾊﾞｲﾄ %ux%u", size, unsigned{image.width}, unsigned{image.height});
    return status;
}

}  // namespace

// The side files are looked for in the music path's folder, even when the
// music file itself turns out to be missing.
SurveyResult Survey(const FrontendSession& session, const std::string& musicPath, bool reset) {
    SurveyResult found;
    if (musicPath.empty()) return found;
    PackageEstimate estimate;
    SurveyMusicFile(musicPath, estimate, found);
    const bool forgetImages = reset && found.musicOpened;
    found.configStatus = ConfigStatus(SiblingPath(musicPath, kConfigName), estimate, found);
    found.jacketStatus = ImageStatus(forgetImages ? "" : session.jacketPath, SiblingPath(musicPath, kJacketName), estimate);
    found.descriptionStatus = DescriptionStatus(SiblingPath(musicPath, kDescriptionName), estimate);
    found.wallpaperStatus =
        ImageStatus(forgetImages ? "" : session.wallpaperPath, SiblingPath(musicPath, kWallpaperName), estimate);
    found.expectedSize = estimate.Text();
    return found;
}

void KeepSurveyFindings(FrontendSession& session, const SurveyResult& found, NextStep step) {
    if (found.clipsInConfig && step != NextStep::SurveyKeepingClips) session.clipEnabled = *found.clipsInConfig;
    if (!found.musicOpened) return;
    session.musicInfo = found.musicInfo;
    if (step != NextStep::ResetSurvey) return;
    session.jacketPath.clear();
    session.wallpaperPath.clear();
    session.freeClip = true;
}
