// Movie fragments: run data offsets made to name their samples' positions in the
// written track, clips located in the music track's runs, and, when
// re-fragmenting, its samples cut anew into runs of about one second in the
// handset's layout, each recorded for the fragment index. A run in the
// handset's layout counts from a base data offset of 0 and gives only each
// sample's size (flags 0x000201); a run whose samples don't all take the
// default duration and flags also gives those of each of its samples.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "packer/conditioner/context.h"
#include "packer/conditioner/offset_map.h"
#include "packer/base/files.h"

// What becomes of a movie fragment, decided from its bytes before anything is
// written: whether its runs are re-cut, which track fragment is the music's,
// the size it is written with and every field of it that names an input byte.
struct FragmentPlan {
    // A run of the music track as it is written: its samples, and when its
    // first starts, counted from the fragment's first sample.
    struct Run {
        uint32_t samples;
        uint64_t time;
    };

    bool recut = false;
    std::optional<FragmentKept> kept;  // why a fragment asked to be re-cut is not
    box::Span musicTraf;  // size 0: none
    uint32_t musicTrafNumber = 0;
    bool holdsPieces = false;  // clips are located in its runs when it is written
    TrackClock clock{0, 0};    // the timescale and the music samples' usual duration
    std::vector<Run> runs;
    std::optional<uint64_t> decodeTime;  // of the fragment's first music sample, from its tfdt
    uint64_t duration = 0;               // of its music samples
    uint32_t outputSize = 0;
    std::vector<OffsetField> offsets;
};

// Plans the fragment whose bytes (header included) are `moof`, writing it as
// planned at the start of the WorkBuffer: its own bytes, or its runs cut anew,
// the data offsets still input positions. The plan depends on the context's
// clock, options and track defaults alone, so the writing pass can take it as
// the planning pass made it.
FragmentPlan PlanMovieFragment(const ConditionerContext& context, const uint8_t* moof, uint32_t size);

// Writes the planned fragment, whose bytes are at the start of the WorkBuffer,
// with its offsets moved by `map`, locates the clips in the music track's runs,
// indexes the re-cut runs and notes a fragment that was kept.
void WriteMovieFragment(ConditionerContext& context, OutputFile& output, const FragmentPlan& plan, const OffsetMap& map);
