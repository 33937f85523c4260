#include "frontend/probes/config_clips.h"

#include "common/clip_lines.h"

namespace {

constexpr uint32_t kReadSize = 4096;

}  // namespace

std::optional<ClipFlags> ProbeConfigClips(framework::File& file) {
    if (!file.isOpen()) return std::nullopt;
    uint8_t bytes[kReadSize];
    const uint32_t count = file.seekTo(0) ? file.read(bytes, kReadSize) : 0;
    const std::array<ClipLine, kClipCount> lines = FindClipLines(bytes, count);
    ClipFlags flags{};
    for (int clip = 0; clip < kClipCount; ++clip) flags[clip] = lines[clip].length != 0;
    return flags;
}
