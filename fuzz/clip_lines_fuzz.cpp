// Feeds arbitrary config.txt bytes to the clip-line reader: it must stay inside
// the bytes and only ever enable clips.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "packer/clip_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);  // exactly sized, so a read beyond shows
    ClipRanges clips{};
    ReadClipLines(bytes.data(), static_cast<uint32_t>(bytes.size()), clips);
    for (const ClipRange& clip : clips) {
        if (clip.state != ClipState::Unused && clip.state != ClipState::Enabled) std::abort();
        if (clip.name[0] != 0) std::abort();
    }
    return 0;
}
