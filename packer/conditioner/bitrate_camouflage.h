// Bitrate camouflage: the declared bitrates of the AAC decoder configuration
// are capped, so that the handset accepts a track encoded above its limit.
#pragma once

#include <cstdint>
#include <optional>

#include "common/box.h"
#include "packer/conditioner/track_report.h"

// Caps the decoder configuration's declared bitrates inside `stsd` at `cap`
// and gives the values found. Does nothing (and gives none) when `cap` is 0,
// there is no esds, or its descriptors are not laid out as the MPEG-4 systems
// rules describe.
std::optional<DeclaredBitrates> CamouflageBitrates(uint8_t* buffer, box::Span stsd, uint32_t cap);
