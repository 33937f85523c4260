// Rewrites the music track for the handset while it is copied into the package.
#pragma once

#include <cstdint>
#include <vector>

#include "packer/conditioner/context.h"
#include "packer/file_io.h"
#include "packer/run_state.h"

// A top-level box must fit the WorkBuffer to be conditioned.
constexpr uint32_t kLargestConditionedBox = static_cast<uint32_t>(kWorkBufferSize);

enum class TrackOutcome {
    Conditioned,   // written; `change` says how much longer than the input
    TooLarge,      // its top-level boxes can't be taken apart safely
    OffsetsStuck,  // a chunk or run offset can't be moved to where its byte lands
};

// What the conditioner made of the track. Unless it was conditioned nothing was
// written, and the driver stores the track as it came.
struct ConditionedTrack {
    TrackOutcome outcome = TrackOutcome::Conditioned;
    int32_t change = 0;
    std::vector<TrackNotice> notices;  // why the music track kept chunks of its own
};

// Writes the conditioned track at the output's position (memberDataOffset in the
// package). Whether it can be is decided before anything is written.
ConditionedTrack ConditionMusicTrack(InputFile& input, OutputFile& output, uint32_t memberDataOffset);

// A clip slot of the ioed box as written: the clip's description when it was
// located, else the template's bytes (zeros and the two constant words).
void fillClipSlot(uint8_t* slot, const ClipRange* clip);
