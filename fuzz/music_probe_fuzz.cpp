// Feeds arbitrary bytes to the frontend's music and JPEG probes, as a file in
// memory. Bytes past what a read delivered are unreadable under AddressSanitizer
// (the probes' windows are marked), so any look past them fails here. Each probe
// must end, give the same answer twice, and keep its results consistent.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "frontend/probes/jpeg_probe.h"
#include "frontend/probes/music_probe.h"

namespace {

bool Same(const MusicInfo& a, const MusicInfo& b) {
    return a.sampleDelta == b.sampleDelta && a.sampleCount == b.sampleCount && a.avgBitrate == b.avgBitrate &&
           a.timescale == b.timescale && a.fragmented == b.fragmented && a.duration == b.duration;
}

void CheckMusicProbe(const std::vector<uint8_t>& bytes) {
    framework::MemoryFile file(bytes), again(bytes);
    const MusicProbe first = ProbeMusicFile(file), second = ProbeMusicFile(again);
    if (first.mayBeDamaged != second.mayBeDamaged || !Same(first.info, second.info)) std::abort();
    // Without a movie box nothing below it was read.
    if (first.mayBeDamaged && !Same(first.info, MusicInfo{})) std::abort();
    const MusicTexts texts = PresentMusicInfo(first.info);
    if (texts.rate.empty() || texts.length.empty() != (first.info.timescale == 0)) std::abort();
}

void CheckJpegProbe(const std::vector<uint8_t>& bytes) {
    framework::MemoryFile file(bytes), again(bytes);
    const std::optional<ImageSize> size = ProbeJpegSize(file), sizeAgain = ProbeJpegSize(again);
    if (size.has_value() != sizeAgain.has_value() || (size && (size->width != sizeAgain->width || size->height != sizeAgain->height)))
        std::abort();
    const bool isJpeg = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
    if (!isJpeg && size) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    CheckMusicProbe(bytes);
    CheckJpegProbe(bytes);
    return 0;
}
