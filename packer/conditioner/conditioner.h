// Rewrites the music track for the handset while it is copied into the package.
#pragma once

#include <cstdint>

#include "packer/file_io.h"
#include "packer/run_state.h"

// The result that tells the driver to store the track unchanged.
constexpr int32_t OVERSIZE_SENTINEL = 16755285;  // 0xFFAA55

// A top-level box must fit the WorkBuffer to be conditioned.
constexpr uint32_t kLargestConditionedBox = static_cast<uint32_t>(kWorkBufferSize);

// Writes the conditioned track at the output's position (memberDataOffset in the
// package) and returns how many bytes longer it is than the input (negative when
// shorter), or OVERSIZE_SENTINEL, decided before anything is written, when the
// track's top-level boxes can't be taken apart safely.
int32_t ConditionMusicTrack(InputFile& input, OutputFile& output, uint32_t memberDataOffset);

// A clip slot of the ioed box as written: the clip's description when it was
// located, else the template's bytes (zeros and the two constant words).
void fillClipSlot(uint8_t* slot, const ClipRange* clip);
