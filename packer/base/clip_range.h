// The ring-tone clips of a run: named by the command line, timed by
// config.txt, located in the music track by the conditioner.
#pragma once

#include <array>
#include <cstdint>

#include "common/package_layout.h"

enum class ClipState : int8_t {
    Unused,
    Enabled,
    Located,
    OutOfReach,  // starts where the ioed slot's one-byte numbers can't name it
};

struct ClipRange {
    char name[kClipNameFieldSize] = {};
    uint32_t start = 0;   // milliseconds, or samples once converted
    uint32_t length = 0;  // milliseconds, or samples once converted
    uint32_t boxOffset = 0;
    uint8_t trackFragment = 1;  // 1-based, in a moof; 1 in a movie box
    uint8_t runNumber = 0;
    uint8_t sampleNumber = 0;
    ClipState state = ClipState::Unused;
};

using ClipRanges = std::array<ClipRange, kClipCount>;
