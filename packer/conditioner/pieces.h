// Cutting samples into pieces of about one second, and finding the piece in
// which each ring-tone clip starts. Used for movie box chunks and fragment runs.
#pragma once

#include <cstdint>

#include "packer/conditioner/context.h"

// What a cut depends on: the media timescale and the duration of one sample.
struct PieceClock {
    uint32_t timescale;
    uint32_t sampleDelta;  // never 0
};

inline PieceClock clockOf(const ConditionerContext& context) { return {context.timescale, context.sampleDelta}; }

// Samples of piece number `piece` (1-based), given the samples already taken
// and the samples in all. Piece boundaries lie on whole seconds counted from the
// first sample; a tail of fewer than 3 samples joins the piece before it, and a
// piece never holds 0 samples.
uint32_t CutOneSecond(PieceClock clock, uint32_t piece, uint32_t taken, uint32_t total);

// Number of pieces CutOneSecond makes of `total` samples.
uint32_t CountPieces(PieceClock clock, uint32_t total);

// Where a piece lies, as a clip slot names it: the moov or moof, the track
// fragment (1 in a movie box), and the piece's 1-based number in it.
struct PiecePlace {
    enum class Kind { Chunk, Run };
    uint32_t boxOffset;
    uint32_t trackFragment;
    uint32_t piece;
    Kind kind;
};

// Marks the enabled clips whose first sample falls into the piece that starts at
// `startTime` (timescale units) and holds `samples` samples. The clips' times
// are turned from milliseconds into samples first, by the clock in force.
void LocateClips(const ConditionerContext& context, const PiecePlace& place, uint32_t startTime, uint32_t samples);

// Turns the clips' start and length from milliseconds into samples; only the
// first call of a run does anything.
void ConvertClipRanges(uint32_t sampleDelta, uint32_t timescale);
