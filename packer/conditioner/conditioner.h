// Rewrites the music track for the handset while it is copied into the package.
#pragma once

#include <cstdint>

#include "packer/base/clip_range.h"
#include "packer/base/files.h"
#include "packer/base/options.h"
#include "packer/conditioner/track_report.h"

// A top-level box must fit the WorkBuffer to be conditioned.
constexpr uint32_t kLargestConditionedBox = static_cast<uint32_t>(kWorkBufferSize);

// Writes the conditioned track at the output's position (memberDataOffset in
// the package), working in the run's WorkBuffer of kWorkBufferSize bytes. The
// clips are the run's, their times in milliseconds. Whether the track can be
// conditioned is decided before anything is written: unless the outcome is
// Conditioned (or Unreadable, when the input failed on the way) nothing was
// written, and the driver stores the track as it came.
TrackReport ConditionMusicTrack(const PackerOptions& options, const ClipRanges& clips, InputFile& input,
                                OutputFile& output, uint32_t memberDataOffset, uint8_t* workBuffer);

// A clip slot of the ioed box as written: the clip's description when it was
// located, else the template's bytes (zeros and the two constant words).
void FillClipSlot(uint8_t* slot, const ClipRange* clip);
