// The fragment random access index (mfra) that closes a re-fragmented track:
// one entry per re-cut run, so the handset can seek second by second.
#pragma once

#include <cstdint>
#include <vector>

#include "packer/conditioner/context.h"
#include "packer/base/files.h"

// How many bytes a tfra entry gives each of its three numbers (track fragment,
// run, sample), and the length-size word that records them: for each number
// its byte count less one, in two bits (track fragment 5-4, run 3-2, sample 1-0).
struct IndexNumberWidths {
    uint32_t trackFragment = 1;
    uint32_t run = 1;
    uint32_t sample = 1;

    uint32_t EntrySize(uint32_t version = 0) const {
        return (version == 1 ? Tfra::kEntryNumbersV1 : Tfra::kEntryNumbersV0) + trackFragment + run + sample;
    }
    uint32_t LengthSizeWord() const { return (trackFragment - 1) << 4 | (run - 1) << 2 | (sample - 1); }
    static IndexNumberWidths FromLengthSizeWord(uint32_t word) {
        return IndexNumberWidths{(word >> 4 & 3) + 1, (word >> 2 & 3) + 1, (word & 3) + 1};
    }
};

// The index box for the given entries, as written at the end of the track.
std::vector<uint8_t> BuildFragmentIndex(const std::vector<IndexEntry>& entries);

// Writes the index at the output's position; returns its size.
uint32_t WriteFragmentIndex(OutputFile& output, const std::vector<IndexEntry>& entries);
