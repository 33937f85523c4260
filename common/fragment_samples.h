// The samples of a track fragment as its boxes describe them, in any layout
// the format allows: data offsets counted from a base data offset or from the
// moof; per-sample durations, sizes and flags in the runs, or the defaults of
// the tfhd and, behind them, of the track's trex. The packer's conditioner
// re-cuts the samples it reads here and its package check reads their times
// back; the frontend adds up their durations for the song's length.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/box.h"

// A re-cut run lists every sample's size, so the packer takes a fragment of at
// most as many samples as its 6 MB WorkBuffer holds sizes of (4 bytes each).
constexpr uint64_t kMostFragmentSamples = 0x600000 / 4;

// What a sample takes when its run gives no value of its own.
struct SampleDefaults {
    std::optional<uint32_t> duration, size, flags;  // a duration of 0 counts as none
};

struct TrackDefaults {
    uint32_t trackId = 0;
    SampleDefaults defaults;
};

// The trex boxes of the movie box whose bytes lie in `buffer`.
std::vector<TrackDefaults> ReadTrackDefaults(const uint8_t* buffer, box::Span moov);

struct FragmentSample {
    uint32_t duration = 0, size = 0, flags = 0, compositionOffset = 0;
    bool durationIsDefault = true;  // the run gives none, or the default's value
    bool flagsAreDefault = true;
};

enum class FragmentReading {
    Read,
    Unreadable,      // a tfhd or trun shorter than its fields, or samples of no known size
    BoxBetweenRuns,  // the runs don't follow each other among the traf's children
    SamplesApart,    // a run's samples don't start where the run before it ended
    TooManySamples,  // more than the WorkBuffer could list the sizes of
};

struct TrackFragmentSamples {
    box::Span tfhd;
    box::Span firstRun, lastRun;         // every trun of the traf lies from the one to the other
    std::optional<uint64_t> decodeTime;  // of the first sample, from the tfdt
    SampleDefaults defaults;             // the tfhd's, else the trex's
    bool durationsKnown = true;          // every sample has a duration of its own or a default one
    uint64_t dataStart = 0;              // input position of the first sample
    uint32_t compositionVersion = 0;     // the trun version that signs the composition offsets
    std::vector<uint32_t> runSamples;    // each trun's sample count
    std::vector<FragmentSample> samples;
};

// Reads the track fragment `traf` of the moof whose bytes are `moof` (its first
// byte at input position `moofAt`); `tracks` give the defaults of the tracks
// with a trex, and a sample of no known duration lasts `unknownDuration`. The
// samples are filled in unless the outcome is Unreadable or TooManySamples.
FragmentReading ReadTrackFragment(const uint8_t* moof, box::Span traf, uint64_t moofAt,
                                  const std::vector<TrackDefaults>& tracks, uint32_t unknownDuration,
                                  TrackFragmentSamples& read);

// Whether the samples were read, though maybe not in a layout that can be re-cut.
inline bool SamplesRead(FragmentReading reading) {
    return reading != FragmentReading::Unreadable && reading != FragmentReading::TooManySamples;
}
