// Feeds arbitrary tracks to the conditioner. The first two bytes choose the mode and the clips; the rest is the track. A
// refused track leaves nothing written; an accepted one is exactly as long as the change says, and the inspector's track
// check finds it begins with the fixed prefix and is made of whole boxes (fewer bytes than a header may trail them,
// before the new index), finds every clip slot and index entry the conditioner wrote naming a sample that is there (an
// entry at the time its run starts), and every sidx kept naming whole boxes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_scratch.h"
#include "packer/conditioner/conditioner.h"

namespace {

ClipRanges ClipsOf(uint8_t clips) {
    ClipRanges ranges{};
    for (int clip = 0; clip < kClipCount; ++clip) {
        if (!(clips & (1 << clip))) continue;
        std::strcpy(ranges[clip].name, "clip");
        ranges[clip].start = 700u * static_cast<uint32_t>(clips & 0x70);
        ranges[clip].length = 1000;
        ranges[clip].state = ClipState::Enabled;
    }
    return ranges;
}

// Problems of what the conditioner writes itself, as opposed to tables it copies from the input: the boxes
// and the prefix, chunk offsets, the index it appends (an input's own is dropped), and the ioed box unless
// the input brought its own, which is kept with whatever its slots say.
bool IsTheConditionersFault(const std::string& verdict, const std::string& input) {
    const bool ownIoed = input.find("uuidioed") != std::string::npos;
    for (const char* fault : {"track: the box at ", "track: byte ", "track: chunk ", "track: the mfr", "track: the tfra ",
                              "tfra entry ", "track: the ioed box ", "ioed slot ", "track: a sidx "}) {
        if (verdict.compare(0, 9 + std::strlen(fault), std::string("problem: ") + fault) == 0)
            return !ownIoed || std::strstr(fault, "ioed") == nullptr;
    }
    return verdict.find("shorter than the fixed 72-byte prefix") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string inputPath = fuzz::writeScratchFile("in.3g2", data + 2, size - 2);
    const std::string outputPath = fuzz::scratchFolder() + "/out.trk";

    PackerOptions options;
    options.modeFlags = data[0] & 0x0F;
    options.camouflageBitrate = kDefaultCamouflageBitrate;
    options.freeToUse = (data[1] >> 7) & 1;
    InputFile input;
    OutputFile output;
    if (!input.Open(inputPath) || !output.Create(outputPath)) std::abort();
    std::unique_ptr<uint8_t[]> workBuffer(new uint8_t[kWorkBufferSize]);
    const TrackReport result = ConditionMusicTrack(options, ClipsOf(data[1]), input, output, 0, workBuffer.get());
    if (!output.Close() || input.Failed() || result.outcome == TrackOutcome::Unreadable) std::abort();

    const std::string track = fuzz::readWholeFile(outputPath);
    if (result.outcome != TrackOutcome::Conditioned) {
        if (!track.empty()) std::abort();
        return 0;
    }
    if (static_cast<int64_t>(track.size()) != static_cast<int64_t>(size - 2) + result.change) std::abort();
    if (track.size() < 12 || std::memcmp(track.data() + 4, "ftypkddi", 8) != 0) std::abort();  // else it is not checked
    const std::string verdict = fuzz::trackVerdict({track.begin(), track.end()});
    if (IsTheConditionersFault(verdict, std::string(reinterpret_cast<const char*>(data + 2), size - 2))) std::abort();
    return 0;
}
