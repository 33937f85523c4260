#include "frontend/config_clips.h"

#include "common/clip_lines.h"

namespace {

constexpr uint32_t kReadSize = 4096;

}  // namespace

int ProbeConfigClips(framework::File& file, int clipEnabled[kClipCount]) {
    for (int clip = 0; clip < kClipCount; ++clip) clipEnabled[clip] = 0;
    if (!file.isOpen()) return 1;

    uint8_t bytes[kReadSize];
    const uint32_t count = file.seekTo(0) ? file.read(bytes, kReadSize) : 0;
    const std::array<ClipLine, kClipCount> lines = FindClipLines(bytes, count);
    for (int clip = 0; clip < kClipCount; ++clip) clipEnabled[clip] = lines[clip].length != 0 ? 1 : 0;
    return 0;
}
