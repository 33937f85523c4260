// Feeds arbitrary config.txt bytes to the clip-line reader: it must stay inside
// the bytes, leave them as they were, and only ever enable clips.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "packer/clip_lines.h"
#include "packer/run_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetPackerRun();
    std::vector<uint8_t> bytes(data, data + size);  // exactly sized, so a read beyond shows
    parseClipLines(bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (size != 0 && std::memcmp(bytes.data(), data, size) != 0) std::abort();
    for (const ClipRange& clip : g_run.clips) {
        if (clip.state != ClipState::Unused && clip.state != ClipState::Enabled) std::abort();
        if (clip.name[0] != 0) std::abort();
    }
    return 0;
}
