// Checks of a conditioned track against the facts it must keep: its fixed
// prefix, the bytes its offsets point at, and the times its index gives.
// Each check returns the problems it found (empty when all is well).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/tools/track_reader.h"

namespace testtrack {

// The 72 bytes every conditioned track begins with (ftyp kddi, then the cpgd uuid box).
std::vector<uint8_t> expectedPrefix();
std::vector<std::string> checkPrefix(const Track& track);

// Walks every chunk of the movie box and every run of every fragment, in order,
// and compares the bytes each offset names with the expected frames: this proves
// the offsets right and that no sample was lost, added or reordered.
std::vector<std::string> checkSampleBytes(const Track& track, const std::vector<std::vector<uint8_t>>& frames);

// Each index entry must name a moof box, a run of that fragment, and the time of
// that run's first sample (movie box samples plus all samples of earlier runs, times the delta).
std::vector<std::string> checkFragmentIndex(const Track& track, uint32_t sampleDelta);

// Where the sample of 0-based number `sample` lies: the box that describes it
// (moov or moof), its chunk or run number, and its number in there (both 1-based).
struct SampleLocation {
    bool found = false;
    uint32_t boxOffset = 0;
    uint32_t pieceNumber = 0;
    uint32_t sampleNumber = 0;
};
SampleLocation locateSample(const Track& track, uint32_t sample);

// How the packer cuts `count` samples into pieces of about one second (its cut,
// whose boundaries the unit tests pin), as a list to compare what a track holds with.
std::vector<uint32_t> oneSecondPieces(uint32_t count, uint32_t timescale, uint32_t sampleDelta);

// The sample count of each of a fragment's runs.
std::vector<uint32_t> runCounts(const Fragment& fragment);

}  // namespace testtrack
