// Movie fragments: run data offsets made to name their samples' positions in the
// written track, clips located in the music track's runs, and, when
// re-fragmenting, its samples cut anew into runs of about one second in the
// handset's layout, each recorded for the fragment index. A run in the
// handset's layout counts from a base data offset of 0 and gives only each
// sample's size (flags 0x000201); a run whose samples don't all take the
// default duration and flags also gives those of each of its samples.
#pragma once

#include <cstdint>
#include <vector>

#include "packer/conditioner/context.h"
#include "packer/conditioner/offset_map.h"
#include "packer/base/files.h"

// What becomes of a movie fragment, decided from its bytes before anything is
// written: whether its runs are re-cut, which track fragment is the music's,
// the size it is written with and every field of it that names an input byte.
struct FragmentPlan {
    // A run of the music track as it is written: its samples and the decode time of its first.
    struct Run {
        uint32_t samples;
        uint64_t time;
    };

    bool recut = false;
    box::Span musicTraf;  // size 0: none
    uint32_t musicTrafNumber = 0;
    bool holdsPieces = false;  // clips are located in its runs when it is written
    TrackClock clock{0, 0};    // the timescale and the music samples' usual duration
    std::vector<Run> runs;
    uint64_t endTime = 0;  // when the fragment's music samples end
    uint32_t outputSize = 0;
    std::vector<OffsetField> offsets;
};

// Plans the fragment (header included) at the start of the WorkBuffer; the
// re-cut fragment is written there in its place, the data offsets of its runs
// still input positions.
FragmentPlan PlanMovieFragment(ConditionerContext& context, uint32_t size);

// Writes the planned fragment with its offsets moved by `map`, locates the
// clips in the music track's runs and indexes the re-cut runs.
void WriteMovieFragment(ConditionerContext& context, OutputFile& output, const FragmentPlan& plan, const OffsetMap& map);
