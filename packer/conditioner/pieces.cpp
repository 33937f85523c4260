#include "packer/conditioner/pieces.h"

namespace {

// Chunk, run and sample numbers are single bytes in the ioed slot.
constexpr uint32_t kLargestSlotNumber = 255;

// The samples of the next piece when `ended` samples end by its whole second.
uint32_t PieceUpTo(uint64_t ended, uint32_t taken, uint32_t total) {
    int64_t count = static_cast<int64_t>(ended < total ? ended : total) - taken;
    if (count < 1) count = 1;  // a sample longer than a second still makes its own piece
    uint32_t left = total - taken;
    if (count > left) count = left;
    if (left - count < 3) count = left;
    return static_cast<uint32_t>(count);
}

}  // namespace

uint32_t CutOneSecond(TrackClock clock, uint32_t piece, uint32_t taken, uint32_t total) {
    // 64 bits: piece × timescale overflows 32 bits on long runs at high rates.
    return PieceUpTo(uint64_t{piece} * clock.timescale / clock.sampleDelta, taken, total);
}

uint32_t CountPieces(TrackClock clock, uint32_t total) {
    uint32_t pieces = 0;
    for (uint32_t taken = 0; taken < total; ++pieces) taken += CutOneSecond(clock, pieces + 1, taken, total);
    return pieces;
}

std::vector<uint32_t> CutIntoSeconds(uint32_t timescale, const std::vector<uint32_t>& durations) {
    const uint32_t total = static_cast<uint32_t>(durations.size());
    std::vector<uint32_t> pieces;
    uint32_t ended = 0;
    uint64_t endTime = 0;  // when sample `ended` - 1 ends
    for (uint32_t piece = 1, taken = 0; taken < total; ++piece) {
        const uint64_t second = uint64_t{piece} * timescale;
        for (; ended < total && endTime + durations[ended] <= second; ++ended) endTime += durations[ended];
        pieces.push_back(PieceUpTo(ended, taken, total));
        taken += pieces.back();
    }
    return pieces;
}

ClipRanges ClipsInSamples(const ClipRanges& clips, TrackClock clock) {
    const uint64_t ts = clock.timescale;
    const uint64_t d = clock.sampleDelta;
    ClipRanges converted = clips;
    for (ClipRange& clip : converted) {
        if (clip.state == ClipState::Unused) continue;
        // Whole seconds and milliseconds are converted apart and added, so a
        // start lands on the same sample as the handset computes it.
        const uint64_t seconds = clip.start / 1000;
        const uint64_t milliseconds = clip.start % 1000;
        clip.length = static_cast<uint32_t>(clip.length * ts / d / 1000);
        clip.start = static_cast<uint32_t>(seconds * ts / d + milliseconds * ts / d / 1000);
    }
    return converted;
}

void LocateClips(ConditionerContext& context, const PiecePlace& place, uint64_t firstSample, uint32_t samples) {
    for (int number = 1; number <= kClipCount; ++number) {
        ClipRange& clip = context.clips[number - 1];
        if (clip.state != ClipState::Enabled || clip.start < firstSample || clip.start - firstSample >= samples) continue;
        const uint64_t sampleNumber = clip.start - firstSample + 1;
        // A wrapped number would start the ring tone at the wrong place; the
        // user has to move such a clip.
        if (place.piece > kLargestSlotNumber || sampleNumber > kLargestSlotNumber) {
            context.events.push_back(ClipOutOfReach{number, place.kind, place.piece > kLargestSlotNumber});
            clip.state = ClipState::OutOfReach;
            continue;
        }
        clip.boxOffset = place.boxOffset;
        clip.trackFragment = static_cast<uint8_t>(place.trackFragment);
        clip.runNumber = static_cast<uint8_t>(place.piece);
        clip.sampleNumber = static_cast<uint8_t>(sampleNumber);
        clip.state = ClipState::Located;
    }
}
