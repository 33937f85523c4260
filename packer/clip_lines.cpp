#include "packer/clip_lines.h"

#include "common/clip_lines.h"

namespace {

void ReadClipLine(ClipRange& clip, const uint8_t* bytes, ClipLine line) {
    if (!line.present || line.length == 0) return;
    clip.state = ClipState::Enabled;
    const ClipLineNumbers numbers = ScanClipLine(bytes, line);
    uint32_t start = numbers.startSeconds * 1000u + numbers.startMilliseconds;
    uint32_t end = numbers.endSeconds * 1000u + numbers.endMilliseconds;
    clip.start = start;
    clip.length = end >= start ? end - start : 0;  // a range that ends before it starts is empty
}

}  // namespace

void ReadClipLines(const uint8_t* bytes, uint32_t count, ClipRanges& clips) {
    if (!bytes) return;
    const std::array<ClipLine, kClipCount> lines = FindClipLines(bytes, count);
    for (int clip = 0; clip < kClipCount; ++clip) ReadClipLine(clips[clip], bytes, lines[clip]);
}
