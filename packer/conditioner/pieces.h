// Cutting samples into pieces of about one second, and finding the piece in
// which each ring-tone clip starts. Used for movie box chunks and fragment runs.
#pragma once

#include <cstdint>
#include <vector>

#include "packer/base/clip_range.h"
#include "packer/conditioner/context.h"

// Samples of piece number `piece` (1-based), given the samples already taken
// and the samples in all. Piece boundaries lie on whole seconds counted from the
// first sample; a tail of fewer than 3 samples joins the piece before it, and a
// piece never holds 0 samples.
uint32_t CutOneSecond(TrackClock clock, uint32_t piece, uint32_t taken, uint32_t total);

// Number of pieces CutOneSecond makes of `total` samples.
uint32_t CountPieces(TrackClock clock, uint32_t total);

// The same cut of samples that each last as long as `durations` says
// (timescale units): piece `piece` ends with the last sample that ends by
// second `piece`. Returns the samples of each piece.
std::vector<uint32_t> CutIntoSeconds(uint32_t timescale, const std::vector<uint32_t>& durations);

// The clips with their start and length turned from milliseconds into samples
// by `clock`, the way the handset turns them.
ClipRanges ClipsInSamples(const ClipRanges& clips, TrackClock clock);

// Where a piece lies, as a clip slot names it: the moov or moof, the track
// fragment (1 in a movie box), and the piece's 1-based number in it.
struct PiecePlace {
    uint32_t boxOffset;
    uint32_t trackFragment;
    uint32_t piece;
    PieceKind kind;
};

// Marks the enabled clips (in samples) whose first sample falls into the piece
// that starts with sample `firstSample` (counted from the track's first, 0) and
// holds `samples` samples; a clip the slot's numbers can't name is reported and
// marked out of reach.
void LocateClips(ConditionerContext& context, const PiecePlace& place, uint64_t firstSample, uint32_t samples);
