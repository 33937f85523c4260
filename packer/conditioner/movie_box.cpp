#include "packer/conditioner/movie_box.h"

#include <cassert>
#include <cstring>

#include "packer/conditioner/bitrate_camouflage.h"
#include "packer/conditioner/pieces.h"

using box::DeclaredEntriesFit;
using box::ReadU32;
using box::Span;
using box::WriteU32;

namespace {

uint32_t StscSize(uint32_t chunks) { return Stsc::kEntries + Stsc::kEntrySize * chunks; }
uint32_t ChunkTableSize(uint32_t chunks) { return Stco::kEntries + Stco::kEntrySize * chunks; }  // stco and stss alike

// ---- Reading the music track ----

// Version 1 widens the times before the timescale to 64 bits.
bool ReadTimescale(const uint8_t* buffer, MusicTables& music) {
    Span mdhd = box::FindChild(buffer, music.track.mdia, "mdhd");
    const uint8_t version = box::Found(mdhd) ? buffer[mdhd.offset + FullBox::kVersion] : 2;
    if (version > 1 || mdhd.size < (version == 1 ? Mdhd::kSizeV1 : Mdhd::kSizeV0)) return false;
    music.clock.timescale = ReadU32(buffer + mdhd.offset + (version == 1 ? Mdhd::kTimescaleV1 : Mdhd::kTimescaleV0));
    return music.clock.timescale != 0;
}

// The samples the movie box holds are those of every time-to-sample entry:
// encoders write a shorter last frame as an entry of its own. The chunk cut
// and the clips use the first entry's duration.
bool ReadTimeToSample(const uint8_t* buffer, const ConditionerContext& context, MusicTables& music) {
    music.stts = box::FindChild(buffer, music.track.stbl, "stts");
    if (!box::Found(music.stts) || !DeclaredEntriesFit(buffer, music.stts, Stts::kEntryCount, Stts::kEntries, Stts::kEntrySize))
        return false;
    const uint8_t* stts = buffer + music.stts.offset;
    const uint32_t entries = ReadU32(stts + Stts::kEntryCount);
    music.clock.sampleDelta = context.clock.sampleDelta;
    music.sampleCount = 0;
    if (entries == 0) return true;
    music.clock.sampleDelta = ReadU32(stts + Stts::kEntries + Stts::kSampleDelta);
    if (music.clock.sampleDelta == 0) return false;
    uint64_t samples = 0;
    music.duration = 0;
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t* entry = stts + Stts::kEntries + Stts::kEntrySize * i;
        samples += ReadU32(entry + Stts::kSampleCount);
        music.duration += uint64_t{ReadU32(entry + Stts::kSampleCount)} * ReadU32(entry + Stts::kSampleDelta);
    }
    if (samples > UINT32_MAX) return false;
    music.sampleCount = static_cast<uint32_t>(samples);
    return true;
}

bool ReadSampleTables(const uint8_t* buffer, MusicTables& music) {
    const Span stbl = music.track.stbl;
    music.stsd = box::FindChild(buffer, stbl, "stsd");
    music.stsc = box::FindChild(buffer, stbl, "stsc");
    music.stsz = box::FindChild(buffer, stbl, "stsz");
    music.stco = box::FindChild(buffer, stbl, "stco");
    if (!box::Found(music.stsd) || !box::Found(music.stsc) || !box::Found(music.stsz) || !box::Found(music.stco))
        return false;

    // One size per sample (no constant size), exactly as many as stts counts.
    const uint8_t* stsz = buffer + music.stsz.offset;
    if (!DeclaredEntriesFit(buffer, music.stsz, Stsz::kSampleCount, Stsz::kEntries, Stsz::kEntrySize) ||
        ReadU32(stsz + Stsz::kSampleSize) != 0)
        return false;
    if (ReadU32(stsz + Stsz::kSampleCount) != music.sampleCount) return false;

    if (!DeclaredEntriesFit(buffer, music.stsc, Stsc::kEntryCount, Stsc::kEntries, Stsc::kEntrySize) ||
        !DeclaredEntriesFit(buffer, music.stco, Stco::kEntryCount, Stco::kEntries, Stco::kEntrySize))
        return false;
    return music.sampleCount == 0 || ReadU32(buffer + music.stco.offset + Stco::kEntryCount) >= 1;
}

// Calls visit(chunk, first sample, samples) for each chunk of the input, its
// samples taken from the sample-to-chunk table. False when that table is not
// well formed or does not account for exactly the samples the track holds.
template <class Visit>
bool ForEachInputChunk(const uint8_t* buffer, const MusicTables& music, Visit visit) {
    const uint32_t chunks = ReadU32(buffer + music.stco.offset + Stco::kEntryCount);
    const uint32_t entries = ReadU32(buffer + music.stsc.offset + Stsc::kEntryCount);
    const uint8_t* stsc = buffer + music.stsc.offset + Stsc::kEntries;
    auto firstChunkOf = [stsc](uint32_t entry) { return ReadU32(stsc + Stsc::kEntrySize * entry + Stsc::kFirstChunk); };
    if (chunks != 0 && (entries == 0 || firstChunkOf(0) != 1)) return false;
    uint32_t entry = 0;
    uint64_t sample = 0;
    for (uint32_t chunk = 1; chunk <= chunks; ++chunk) {
        for (; entry + 1 < entries && firstChunkOf(entry + 1) <= chunk; ++entry) {
            if (firstChunkOf(entry + 1) <= firstChunkOf(entry)) return false;
        }
        const uint32_t samples = ReadU32(stsc + Stsc::kEntrySize * entry + Stsc::kSamplesPerChunk);
        if (sample + samples > music.sampleCount) return false;
        visit(chunk - 1, static_cast<uint32_t>(sample), samples);
        sample += samples;
    }
    return sample == music.sampleCount && entry + 1 >= entries;
}

enum class SamplePlacement { BackToBack, Apart, Unusable };

// One-second chunks need the samples one after the other: each chunk beginning
// where the one before it ended.
SamplePlacement SamplesLie(const uint8_t* buffer, const MusicTables& music) {
    const uint8_t* offsets = buffer + music.stco.offset + Stco::kEntries;
    const uint8_t* sizes = buffer + music.stsz.offset + Stsz::kEntries;
    uint64_t end = 0;
    bool apart = false;
    const bool wellFormed = ForEachInputChunk(buffer, music, [&](uint32_t chunk, uint32_t first, uint32_t samples) {
        const uint32_t start = ReadU32(offsets + Stco::kEntrySize * chunk);
        apart = apart || (chunk != 0 && start != end);
        end = start;
        for (uint32_t i = 0; i < samples; ++i) end += ReadU32(sizes + Stsz::kEntrySize * (first + i));
    });
    if (!wellFormed || end > UINT32_MAX) return SamplePlacement::Unusable;
    return apart ? SamplePlacement::Apart : SamplePlacement::BackToBack;
}

bool TablesFitTableArea(MusicTables& music) {
    music.chunkCount = CountPieces(music.clock, music.sampleCount);
    const uint64_t chunks = music.chunkCount;
    const uint64_t size = uint64_t{music.stsd.size} + music.stts.size + music.stsz.size + Stsc::kEntries +
                          Stsc::kEntrySize * chunks + 2 * (Stco::kEntries + Stco::kEntrySize * chunks);
    return size <= kWorkBufferSize - kTableAreaOffset;
}

// Reads the music track's clock and tables; a track whose tables can't be
// followed, or whose samples lie apart, keeps its own chunks.
ChunkLayout ChooseLayout(const ConditionerContext& context, uint32_t size, MovieBoxPlan& plan) {
    const uint8_t* buffer = context.buffer;
    MusicTables& music = plan.music;
    plan.clockRead = ReadTimescale(buffer, music) && ReadTimeToSample(buffer, context, music);
    if (!plan.clockRead || !ReadSampleTables(buffer, music)) return ChunkLayout::KeptTablesUnusable;
    switch (SamplesLie(buffer, music)) {
        case SamplePlacement::Unusable: return ChunkLayout::KeptTablesUnusable;
        case SamplePlacement::Apart: return ChunkLayout::KeptSamplesApart;
        case SamplePlacement::BackToBack: break;
    }
    return size <= kTableAreaOffset && TablesFitTableArea(music) ? ChunkLayout::Rebuilt : ChunkLayout::KeptTablesUnusable;
}

// ---- The new sample table ----

// Appends a box copied from the movie box to the table area.
uint8_t* CopyBox(uint8_t* to, const uint8_t* buffer, Span from) {
    std::memcpy(to, buffer + from.offset, from.size);
    return to + from.size;
}

// A table of stsc's, stco's or stss's layout: version 0, flags 0, the entry count.
uint8_t* StartTable(uint8_t* to, uint32_t size, const char (&type)[5], uint32_t entries) {
    box::WriteHeader(to, size, type);
    WriteU32(to + FullBox::kVersionAndFlags, 0);
    WriteU32(to + Stco::kEntryCount, entries);
    return to + Stco::kEntries;
}

// Calls visit(chunk, samples) for each one-second chunk, chunks numbered from 1.
template <class Visit>
void ForEachNewChunk(const ConditionerContext& context, const MusicTables& music, Visit visit) {
    uint32_t taken = 0;
    for (uint32_t chunk = 1; taken < music.sampleCount; ++chunk) {
        const uint32_t samples = CutOneSecond(context.clock, chunk, taken, music.sampleCount);
        visit(chunk, samples);
        taken += samples;
    }
}

// The new sample-to-chunk table: one entry (first chunk, samples, description 1) per chunk.
uint8_t* BuildSampleToChunk(uint8_t* to, const ConditionerContext& context, const MusicTables& music) {
    uint8_t* entry = StartTable(to, StscSize(music.chunkCount), "stsc", music.chunkCount);
    ForEachNewChunk(context, music, [&entry](uint32_t chunk, uint32_t samples) {
        WriteU32(entry + Stsc::kFirstChunk, chunk);
        WriteU32(entry + Stsc::kSamplesPerChunk, samples);
        WriteU32(entry + Stsc::kDescriptionIndex, 1);
        entry += Stsc::kEntrySize;
    });
    return entry;
}

// The chunk offsets as input positions (moved to the output when written), and
// the sync sample table: each chunk's first sample. The samples lie one after
// the other from the input's first chunk offset on.
uint8_t* BuildChunkTables(uint8_t* to, const ConditionerContext& context, const MusicTables& music) {
    uint8_t* chunkOffsets = StartTable(to, ChunkTableSize(music.chunkCount), "stco", music.chunkCount);
    uint8_t* syncSamples = StartTable(chunkOffsets + Stco::kEntrySize * music.chunkCount,
                                      ChunkTableSize(music.chunkCount), "stss", music.chunkCount);
    uint32_t offset = music.sampleCount ? ReadU32(context.buffer + music.stco.offset + Stco::kEntries) : 0;
    uint32_t sample = 0;
    ForEachNewChunk(context, music, [&](uint32_t chunk, uint32_t samples) {
        WriteU32(chunkOffsets + Stco::kEntrySize * (chunk - 1), offset);
        WriteU32(syncSamples + Stss::kEntrySize * (chunk - 1), sample + 1);
        for (uint32_t i = 0; i < samples; ++i) offset += context.sampleSizes[sample + i];
        sample += samples;
    });
    return syncSamples + Stss::kEntrySize * music.chunkCount;
}

void ReadSampleSizes(ConditionerContext& context, Span stsz, uint32_t count) {
    context.sampleSizes.resize(count);
    const uint8_t* sizes = context.buffer + stsz.offset + Stsz::kEntries;
    for (uint32_t i = 0; i < count; ++i) context.sampleSizes[i] = ReadU32(sizes + Stsz::kEntrySize * i);
}

// Builds stsd, stts, stsc, stsz, stco and stss in the table area; returns their
// size and where the new stco's entries start.
uint32_t BuildSampleTables(ConditionerContext& context, const MusicTables& music, uint32_t* chunkOffsetsAt) {
    uint8_t* buffer = context.buffer;
    uint8_t* tables = buffer + kTableAreaOffset;
    uint8_t* to = CopyBox(tables, buffer, music.stsd);
    to = CopyBox(to, buffer, music.stts);
    to = BuildSampleToChunk(to, context, music);
    to = CopyBox(to, buffer, music.stsz);
    ReadSampleSizes(context, music.stsz, music.sampleCount);
    *chunkOffsetsAt = static_cast<uint32_t>(to - buffer) + Stco::kEntries;
    to = BuildChunkTables(to, context, music);
    return static_cast<uint32_t>(to - tables);
}

// ---- Offsets ----

void AddChunkOffsets(const uint8_t* buffer, Span table, FieldWidth width, MovieBoxPlan& plan) {
    const uint32_t entrySize = width == FieldWidth::Unsigned64 ? Co64::kEntrySize : Stco::kEntrySize;
    if (!DeclaredEntriesFit(buffer, table, Stco::kEntryCount, Stco::kEntries, entrySize)) {
        plan.offsetsReadable = false;
        return;
    }
    const uint32_t entries = ReadU32(buffer + table.offset + Stco::kEntryCount);
    for (uint32_t i = 0; i < entries; ++i)
        plan.offsets.push_back(OffsetField{table.offset + Stco::kEntries + entrySize * i, width});
}

// Every chunk offset the movie box will hold: each entry of every track's
// chunk offset tables, the new table's instead of the music track's own when
// it is rebuilt.
void CollectChunkOffsets(const uint8_t* buffer, uint32_t size, uint32_t newChunkOffsetsAt, MovieBoxPlan& plan) {
    const bool rebuilt = plan.layout == ChunkLayout::Rebuilt;
    box::ChildWalk traks(buffer, Span{0, size});
    while (traks.Next()) {
        if (!traks.CurrentIs("trak") || (rebuilt && traks.Current().offset == plan.music.track.trak.offset)) continue;
        box::ChildWalk tables(buffer, TrackBoxesOf(buffer, traks.Current()).stbl);
        while (tables.Next()) {
            if (tables.CurrentIs("stco")) AddChunkOffsets(buffer, tables.Current(), FieldWidth::Unsigned32, plan);
            if (tables.CurrentIs("co64")) AddChunkOffsets(buffer, tables.Current(), FieldWidth::Unsigned64, plan);
        }
    }
    for (uint32_t chunk = 0; rebuilt && chunk < plan.music.chunkCount; ++chunk)
        plan.offsets.push_back(OffsetField{newChunkOffsetsAt + Stco::kEntrySize * chunk, FieldWidth::Unsigned32});
}

// ---- Clips ----

void LocateClipsInNewChunks(ConditionerContext& context, const MusicTables& music) {
    const uint32_t boxOffset = context.OutputOffset();
    uint32_t first = 0;
    ForEachNewChunk(context, music, [&](uint32_t chunk, uint32_t samples) {
        LocateClips(context, PiecePlace{boxOffset, 1, chunk, PieceKind::Chunk}, first, samples);
        first += samples;
    });
}

void LocateClipsInInputChunks(ConditionerContext& context, const MusicTables& music) {
    const uint32_t boxOffset = context.OutputOffset();
    ForEachInputChunk(context.buffer, music, [&](uint32_t chunk, uint32_t first, uint32_t samples) {
        LocateClips(context, PiecePlace{boxOffset, 1, chunk + 1, PieceKind::Chunk}, first, samples);
    });
}

void GrowContainers(uint8_t* buffer, const TrackBoxes& track, uint32_t growth) {
    box::AddU32(buffer, growth);
    for (Span container : {track.trak, track.mdia, track.minf, track.stbl}) box::AddU32(buffer + container.offset, growth);
}

// Everything up to the music track's stbl header, the new tables, then all that
// follows the old stbl (boxes behind it in minf and mdia, other tracks, the rest).
void WriteRebuilt(uint8_t* buffer, OutputFile& output, uint32_t size, const MovieBoxPlan& plan) {
    const Span stbl = plan.music.track.stbl;
    GrowContainers(buffer, plan.music.track, plan.outputSize - size);
    const uint32_t head = stbl.offset + box::kHeaderSize;
    const uint32_t tail = size - stbl.End();
    assert(head + plan.tablesSize + tail == ReadU32(buffer) && "written movie box differs from its declared size");
    output.Write(buffer, head);
    output.Write(buffer + kTableAreaOffset, plan.tablesSize);
    output.Write(buffer + stbl.End(), tail);
}

TrackNotice NoticeFor(ChunkLayout layout) {
    return layout == ChunkLayout::KeptSamplesApart     ? TrackNotice::SamplesApart
           : layout == ChunkLayout::KeptTablesUnusable ? TrackNotice::TablesUnusable
                                                       : TrackNotice::NoMusicTrack;
}

}  // namespace

MovieBoxPlan PlanMovieBox(ConditionerContext& context, uint32_t size) {
    MovieBoxPlan plan;
    plan.outputSize = size;
    plan.music.track = FindMusicTrack(context.buffer, Span{0, size});
    context.musicTrackId = box::Found(plan.music.track.trak) ? TrackIdOf(context.buffer, plan.music.track.trak) : 0;
    context.trackDefaults = ReadTrackDefaults(context.buffer, Span{0, size});
    if (box::Found(plan.music.track.trak)) plan.layout = ChooseLayout(context, size, plan);
    if (plan.clockRead) context.clock = plan.music.clock;
    uint32_t newChunkOffsetsAt = 0;
    if (plan.layout == ChunkLayout::Rebuilt) {
        plan.tablesSize = BuildSampleTables(context, plan.music, &newChunkOffsetsAt);
        plan.outputSize = size - plan.music.track.stbl.size + box::kHeaderSize + plan.tablesSize;
    } else {
        context.Notice(NoticeFor(plan.layout));
    }
    plan.holdsPieces = plan.layout == ChunkLayout::Rebuilt ? plan.music.chunkCount != 0
                                                            : plan.layout == ChunkLayout::KeptSamplesApart;
    CollectChunkOffsets(context.buffer, size, newChunkOffsetsAt, plan);
    return plan;
}

void WriteMovieBox(ConditionerContext& context, OutputFile& output, uint32_t size, const MovieBoxPlan& plan,
                   const OffsetMap& map) {
    uint8_t* buffer = context.buffer;
    const bool rebuilt = plan.layout == ChunkLayout::Rebuilt;
    const bool musicRead = rebuilt || plan.layout == ChunkLayout::KeptSamplesApart;
    // A rebuilt track is written with the copy of its stsd in the table area.
    const Span stsd = rebuilt ? Span{kTableAreaOffset, plan.music.stsd.size} : plan.music.stsd;
    if (musicRead) {
        if (const auto declared = CamouflageBitrates(buffer, stsd, context.options.camouflageBitrate))
            context.events.push_back(*declared);
    }
    if (rebuilt) LocateClipsInNewChunks(context, plan.music);
    if (plan.layout == ChunkLayout::KeptSamplesApart) LocateClipsInInputChunks(context, plan.music);
    if (plan.clockRead) {
        context.runningTime += plan.music.duration;
        context.samplesBefore += plan.music.sampleCount;
    }
    for (const OffsetField& field : plan.offsets) {
        const bool moved = MoveField(buffer, field, map);
        assert(moved && "an offset the plan checked did not move");
        (void)moved;
    }
    if (rebuilt) WriteRebuilt(buffer, output, size, plan);
    else output.Write(buffer, size);
    if (musicRead && plan.music.sampleCount == 0) context.events.push_back(TrackClock{context.clock.timescale, context.emptyMovieSampleDelta});
    else if (musicRead) context.events.push_back(context.clock);
}
