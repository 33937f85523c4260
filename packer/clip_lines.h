// The packer's clip records from config.txt's clip lines.
#pragma once

#include <cstdint>

#include "common/clip_lines.h"

// Fills start, length and state of the three clip records from the bytes of
// config.txt. Only the given count of bytes is read; the bytes are not changed.
void parseClipLines(uint8_t* bytes, uint32_t count);
