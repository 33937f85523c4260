// The movie box: the music track's parameters, capped bitrates, and a sample
// table cut into chunks of about one second, each starting with a sync sample.
// Every other track, and the music track when its samples don't lie back to
// back, keeps its own tables; only their chunk offsets move with the media.
#pragma once

#include <cstdint>
#include <vector>

#include "packer/conditioner/context.h"
#include "packer/conditioner/music_track.h"
#include "packer/conditioner/offset_map.h"
#include "packer/base/files.h"

// The music track's tables as the movie box holds them.
struct MusicTables {
    TrackBoxes track;
    box::Span stsd, stts, stsc, stsz, stco;
    TrackClock clock{0, 0};
    uint32_t sampleCount = 0;  // N: the samples the movie box holds
    uint64_t duration = 0;     // theirs, every time-to-sample entry counted
    uint32_t chunkCount = 0;   // K: the one-second chunks they are cut into
};

enum class ChunkLayout {
    Rebuilt,         // one-second chunks, new tables in the table area
    KeptSamplesApart,
    KeptTablesUnusable,
    NoMusicTrack,
};

// What becomes of a movie box, decided from its bytes before anything is
// written: its layout, the size it is written with, and every field of it that
// names an input byte (the new chunk table's entries lie in the table area).
struct MovieBoxPlan {
    ChunkLayout layout = ChunkLayout::NoMusicTrack;
    MusicTables music;
    bool clockRead = false;  // the music track's timescale and sample duration
    bool holdsPieces = false;  // clips are located in its chunks when it is written
    uint32_t tablesSize = 0;  // of the rebuilt tables
    uint32_t outputSize = 0;
    std::vector<OffsetField> offsets;
    bool offsetsReadable = true;  // false: a chunk offset table runs past its box
};

// Plans the movie box (header included) at the start of the WorkBuffer. Builds
// the new tables in the table area when it is rebuilt, gives the context the
// track's clock and the music track's ID, and adds its notice.
MovieBoxPlan PlanMovieBox(ConditionerContext& context, uint32_t size);

// Writes the planned movie box with its offsets moved by `map`, caps the
// bitrates and locates the clips in its chunks, reporting both and the clock.
void WriteMovieBox(ConditionerContext& context, OutputFile& output, uint32_t size, const MovieBoxPlan& plan,
                   const OffsetMap& map);
