// Feeds arbitrary tracks to the conditioner. The first two bytes choose the mode
// and the clips; the rest is the track. Checks that a refused track leaves
// nothing written, and that an accepted one is exactly as long as the change
// says, begins with the fixed prefix, consists of whole boxes, and that the
// inspector's track check finds every clip slot and index entry the
// conditioner wrote naming a sample that is there.
#include <stdio.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/box.h"
#include "fuzz/fuzz_scratch.h"
#include "packer/conditioner/conditioner.h"
#include "packer/inspect/track_check.h"

namespace {

PackerOptions OptionsOf(uint8_t mode, uint8_t clips) {
    PackerOptions options;
    options.modeFlags = mode & 0x0F;
    options.camouflageBitrate = kDefaultCamouflageBitrate;
    options.freeToUse = (clips >> 7) & 1;
    return options;
}

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

bool IsBoxAt(const std::string& track, size_t at, size_t end, size_t* size) {
    if (end - at < box::kHeaderSize) return false;
    *size = box::ReadU32(reinterpret_cast<const uint8_t*>(track.data()) + at);
    return *size >= box::kHeaderSize && *size <= end - at;
}

// Whole boxes from the front up to `end`, then fewer bytes than a box header
// (copied from behind the input's last box). Calls `visit` with each box.
template <class Visit>
bool IsWholeBoxesUpTo(const std::string& track, size_t end, Visit visit) {
    size_t at = 0;
    size_t size = 0;
    for (; IsBoxAt(track, at, end, &size); at += size) visit(at);
    return end - at < box::kHeaderSize;
}

// Where an index appended by the conditioner starts: its last four bytes give
// its size, which is how a reader finds it from the end.
size_t StartOfTrailingIndex(const std::string& track) {
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
bool IsWholeBoxes(const std::string& track) {
    auto any = [](size_t) {};
    return IsWholeBoxesUpTo(track, track.size(), any) || IsWholeBoxesUpTo(track, StartOfTrailingIndex(track), any);
}

// An ioed box of the input's own is kept with whatever its slots say.
bool HasOwnIoed(const std::string& input) {
    bool found = false;
    IsWholeBoxesUpTo(input, input.size(), [&](size_t at) {
        found = found || (input.compare(at + 4, 4, "uuid") == 0 && input.compare(at + 8, 4, "ioed") == 0);
    });
    return found;
}

// The track check's last line; it stops at the first problem it meets.
std::string TrackVerdict(const std::string& track) {
    char* text = nullptr;
    size_t length = 0;
    FILE* out = open_memstream(&text, &length);
    if (!out) std::abort();
    CheckReport report(out);
    CheckMusicTrack(std::vector<uint8_t>(track.begin(), track.end()), report);
    report.Finish();
    if (std::fclose(out) != 0) std::abort();
    std::string lines(text, length);
    std::free(text);
    lines.pop_back();
    return lines.substr(lines.rfind('\n') + 1);
}

bool NamesAMissingSample(const std::string& verdict) {
    return verdict.compare(0, 20, "problem: ioed slot ") == 0 || verdict.compare(0, 21, "problem: tfra entry ") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string inputPath = fuzz::writeScratchFile("in.3g2", data + 2, size - 2);
    const std::string outputPath = fuzz::scratchFolder() + "/out.trk";

    InputFile input;
    OutputFile output;
    if (!input.Open(inputPath) || !output.Create(outputPath)) std::abort();
    std::unique_ptr<uint8_t[]> workBuffer(new uint8_t[kWorkBufferSize]);
    const TrackReport result = ConditionMusicTrack(OptionsOf(data[0], data[1]), ClipsOf(data[1]), input, output, 0,
                                                   workBuffer.get());
    if (!output.Close() || input.Failed() || result.outcome == TrackOutcome::Unreadable) std::abort();

    const std::string track = fuzz::readWholeFile(outputPath);
    if (result.outcome != TrackOutcome::Conditioned) {
        if (!track.empty()) std::abort();
        return 0;
    }
    if (static_cast<int64_t>(track.size()) != static_cast<int64_t>(size - 2) + result.change) std::abort();
    if (track.size() < 72 || std::memcmp(track.data() + 4, "ftypkddi", 8) != 0) std::abort();
    if (!IsWholeBoxes(track)) std::abort();
    const std::string inputBytes(reinterpret_cast<const char*>(data + 2), size - 2);
    if (!HasOwnIoed(inputBytes) && NamesAMissingSample(TrackVerdict(track))) std::abort();
    return 0;
}
