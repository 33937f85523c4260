// Feeds arbitrary tracks to the conditioner. The first two bytes choose the mode
// and the clips; the rest is the track. Checks that a refused track leaves
// nothing written, and that an accepted one is exactly as long as the shift says,
// begins with the fixed prefix and consists of whole boxes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "common/box.h"
#include "fuzz/fuzz_scratch.h"
#include "packer/conditioner/conditioner.h"
#include "packer/run_state.h"

namespace {

void prepareRun(uint8_t mode, uint8_t clips) {
    static uint8_t* workBuffer = new uint8_t[kWorkBufferSize];
    g_run.workBuffer.release();
    resetPackerRun();
    g_run.workBuffer.reset(workBuffer);
    g_run.modeFlags = mode & 0x0F;
    g_run.camouflageBitrate = kDefaultCamouflageBitrate;
    g_run.chkufrFlag = (clips >> 7) & 1;
    for (int clip = 0; clip < kClipCount; ++clip) {
        if (!(clips & (1 << clip))) continue;
        std::strcpy(g_run.clips[clip].name, "clip");
        g_run.clips[clip].start = 700u * static_cast<uint32_t>(clips & 0x70);
        g_run.clips[clip].length = 1000;
        g_run.clips[clip].state = ClipState::Enabled;
    }
}

bool isBoxAt(const std::string& track, size_t at, size_t end, size_t* size) {
    if (end - at < box::kHeaderSize) return false;
    *size = box::ReadU32(reinterpret_cast<const uint8_t*>(track.data()) + at);
    return *size >= box::kHeaderSize && *size <= end - at;
}

// Whole boxes from the front up to `end`, then fewer bytes than a box header
// (copied from behind the input's last box).
bool isWholeBoxesUpTo(const std::string& track, size_t end) {
    size_t at = 0;
    size_t size = 0;
    while (isBoxAt(track, at, end, &size)) at += size;
    return end - at < box::kHeaderSize;
}

// Where an index appended by the conditioner starts: its last four bytes give
// its size, which is how a reader finds it from the end.
size_t startOfTrailingIndex(const std::string& track) {
    if (track.size() < 16) return track.size();
    const size_t size = box::ReadU32(reinterpret_cast<const uint8_t*>(track.data()) + track.size() - 4);
    if (size < 16 || size > track.size() || track.compare(track.size() - size + 4, 4, "mfra") != 0)
        return track.size();
    return track.size() - size;
}

// The written track must consist of whole top-level boxes. Up to 7 bytes copied
// from behind the input's last box may follow them, or stand in front of the new
// index, which ends the track. Those bytes may look like a box header, so the
// index is found from the end rather than by walking onto it.
bool isWholeBoxes(const std::string& track) {
    return isWholeBoxesUpTo(track, track.size()) || isWholeBoxesUpTo(track, startOfTrailingIndex(track));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    prepareRun(data[0], data[1]);
    const std::string inputPath = fuzz::writeScratchFile("in.3g2", data + 2, size - 2);
    const std::string outputPath = fuzz::scratchFolder() + "/out.trk";

    InputFile input;
    OutputFile output;
    if (!input.open(inputPath) || !output.create(outputPath)) std::abort();
    const ConditionedTrack result = ConditionMusicTrack(input, output, 0);
    if (!output.close() || input.failed()) std::abort();

    const std::string track = fuzz::readWholeFile(outputPath);
    if (result.outcome != TrackOutcome::Conditioned) {
        if (!track.empty()) std::abort();
        return 0;
    }
    if (static_cast<int64_t>(track.size()) != static_cast<int64_t>(size - 2) + result.change) std::abort();
    if (track.size() < 72 || std::memcmp(track.data() + 4, "ftypkddi", 8) != 0) std::abort();
    if (!isWholeBoxes(track)) std::abort();
    return 0;
}
