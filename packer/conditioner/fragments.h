// Movie fragments: run data offsets made to name positions in the written track,
// clips located in the runs, and, when re-fragmenting, the samples cut anew into
// runs of about one second, each recorded for the fragment index.
#pragma once

#include <cstdint>

#include "packer/conditioner/context.h"
#include "packer/file_io.h"

// The fragment (header included) lies at the start of the WorkBuffer. Writes it
// rewritten and adds its growth to the context's shift.
void ConditionMovieFragment(ConditionerContext& context, OutputFile& output, uint32_t size);
