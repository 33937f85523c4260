// Which track of a movie box is the music: the first whose handler is `soun` and
// whose first sample entry is `mp4a` (AAC audio). A lyrics, text or video track
// beside it is never taken for the music, whatever its place in the movie box.
// The conditioner rebuilds that track and the package check reads its chunks.
#pragma once

#include <cstdint>

#include "common/box.h"

// A track and the boxes down to its sample table; the ones missing have size 0.
struct TrackBoxes {
    box::Span trak, mdia, minf, stbl;
};

TrackBoxes TrackBoxesOf(const uint8_t* buffer, box::Span trak);

// The music track of the movie box whose bytes lie in `buffer`; `trak` of size 0
// when it has none.
TrackBoxes FindMusicTrack(const uint8_t* buffer, box::Span moov);

// The track's ID from its tkhd; 0 (an ID no track has) when it can't be read.
uint32_t TrackIdOf(const uint8_t* buffer, box::Span trak);
