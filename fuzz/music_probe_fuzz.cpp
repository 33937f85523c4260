// Feeds arbitrary bytes to the frontend's music and JPEG probes, as a file in
// memory. Bytes past what a read delivered are unreadable under AddressSanitizer
// (the probes' windows are marked), so any look past them fails here. Each probe
// must end, give the same answer twice, and keep its results consistent.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "frontend/jpeg_probe.h"
#include "frontend/music_probe.h"

namespace {

void checkMusicProbe(const std::vector<uint8_t>& bytes) {
    MusicInfo first, second;
    framework::MemoryFile file(bytes), again(bytes);
    const int result = ProbeMusicFile(file, first);
    if (ProbeMusicFile(again, second) != result) std::abort();
    if (first.sampleDelta != second.sampleDelta || first.sampleCount != second.sampleCount ||
        first.avgBitrate != second.avgBitrate || first.timescale != second.timescale ||
        first.fragmented != second.fragmented || first.duration != second.duration)
        std::abort();
    if (result != 0 && result != 1) std::abort();
    if (first.fragmented > 1) std::abort();
    // Without a movie box nothing below it was read.
    if (result == 1 && (first.sampleDelta | first.sampleCount | first.avgBitrate | first.timescale | first.fragmented |
                        first.duration))
        std::abort();
    const MusicTexts texts = PresentMusicInfo(first);
    if (texts.rate.empty() || texts.length.empty() != (first.timescale == 0)) std::abort();
}

void checkJpegProbe(const std::vector<uint8_t>& bytes) {
    uint16_t width = 7, height = 9, widthAgain = 7, heightAgain = 9;
    framework::MemoryFile file(bytes), again(bytes);
    ProbeJpegSize(file, width, height);
    ProbeJpegSize(again, widthAgain, heightAgain);
    if (width != widthAgain || height != heightAgain) std::abort();
    const bool isJpeg = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
    if (!isJpeg && (width != 7 || height != 9)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    checkMusicProbe(bytes);
    checkJpegProbe(bytes);
    return 0;
}
