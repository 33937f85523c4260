// The movie box: the track's parameters, capped bitrates, and a sample table cut
// into chunks of about one second, each starting with a sync sample.
#pragma once

#include <cstdint>

#include "packer/conditioner/context.h"
#include "packer/file_io.h"

// The movie box (header included) lies at the start of the WorkBuffer. Writes it,
// rebuilt when its layout allows, and adds its growth to the context's shift.
void ConditionMovieBox(ConditionerContext& context, OutputFile& output, uint32_t size);

// Caps the decoder configuration's declared bitrates inside `stsd` at `cap`,
// printing the values found. Does nothing when there is no esds or its
// descriptors are not laid out as the MPEG-4 systems rules describe.
void CamouflageBitrates(uint8_t* buffer, box::Span stsd, uint32_t cap);
