#include "packer/conditioner/conditioner.h"

int32_t ConditionMusicTrack(InputFile&, OutputFile&, uint32_t) { return OVERSIZE_SENTINEL; }
