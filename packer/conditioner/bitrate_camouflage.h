// Bitrate camouflage: the declared bitrates of the AAC decoder configuration
// are capped, so that the handset accepts a track encoded above its limit.
#pragma once

#include <cstdint>

#include "common/box.h"

// Caps the decoder configuration's declared bitrates inside `stsd` at `cap`,
// printing the values found. Does nothing when there is no esds or its
// descriptors are not laid out as the MPEG-4 systems rules describe.
void CamouflageBitrates(uint8_t* buffer, box::Span stsd, uint32_t cap);
