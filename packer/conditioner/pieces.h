// Cutting samples into pieces of about one second, and finding the piece in
// which each ring-tone clip starts. Used for movie box chunks and fragment runs.
#pragma once

#include <cstdint>

#include "packer/base/clip_range.h"
#include "packer/conditioner/context.h"

// Samples of piece number `piece` (1-based), given the samples already taken
// and the samples in all. Piece boundaries lie on whole seconds counted from the
// first sample; a tail of fewer than 3 samples joins the piece before it, and a
// piece never holds 0 samples.
uint32_t CutOneSecond(TrackClock clock, uint32_t piece, uint32_t taken, uint32_t total);

// Number of pieces CutOneSecond makes of `total` samples.
uint32_t CountPieces(TrackClock clock, uint32_t total);

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
// that starts at `startTime` (timescale units) and holds `samples` samples; a
// clip the slot's numbers can't name is reported and marked out of reach.
void LocateClips(ConditionerContext& context, const PiecePlace& place, uint32_t startTime, uint32_t samples);
