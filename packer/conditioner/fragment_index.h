// The fragment random access index (mfra) that closes a re-fragmented track:
// one entry per re-cut run, so the handset can seek second by second.
#pragma once

#include <cstdint>
#include <vector>

#include "packer/conditioner/context.h"
#include "packer/file_io.h"

// The index box for the given entries, as written at the end of the track.
std::vector<uint8_t> BuildFragmentIndex(const std::vector<IndexEntry>& entries);

// Writes the index at the output's position; returns its size.
uint32_t WriteFragmentIndex(OutputFile& output, const std::vector<IndexEntry>& entries);
