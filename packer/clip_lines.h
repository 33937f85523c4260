// The clips' times from config.txt's clip lines.
#pragma once

#include <cstdint>

#include "packer/base/clip_range.h"

// Enables each clip whose line is not empty and gives it the line's start and
// length in milliseconds. Only the given count of bytes is read.
void ReadClipLines(const uint8_t* bytes, uint32_t count, ClipRanges& clips);
