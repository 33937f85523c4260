#include "packer/conditioner/movie_box.h"

#include <cassert>
#include <cstdio>
#include <cstring>

#include "packer/conditioner/bitrate_camouflage.h"
#include "packer/conditioner/pieces.h"
#include "packer/run_state.h"

using box::declaredEntriesFit;
using box::readU32;
using box::Span;
using box::writeU32;

namespace {

uint32_t stscSize(uint32_t chunks) { return 16 + 12 * chunks; }
uint32_t chunkTableSize(uint32_t chunks) { return 16 + 4 * chunks; }  // stco and stss alike

// ---- Reading the music track ----

bool readTimescale(const uint8_t* buffer, MusicTables& music) {
    Span mdhd = box::findChild(buffer, music.track.mdia, "mdhd");
    if (!box::found(mdhd) || mdhd.size < 24 || buffer[mdhd.offset + 8] != 0) return false;  // version 0 only
    music.timescale = readU32(buffer + mdhd.offset + 20);
    return music.timescale != 0;
}

// The samples the movie box holds are those of every time-to-sample entry:
// encoders write a shorter last frame as an entry of its own. The chunk cut
// and the clips use the first entry's duration.
bool readTimeToSample(const uint8_t* buffer, const ConditionerContext& context, MusicTables& music) {
    music.stts = box::findChild(buffer, music.track.stbl, "stts");
    if (!box::found(music.stts) || !declaredEntriesFit(buffer, music.stts, 12, 16, 8)) return false;
    const uint32_t entries = readU32(buffer + music.stts.offset + 12);
    music.sampleDelta = context.sampleDelta;
    music.sampleCount = 0;
    if (entries == 0) return true;
    music.sampleDelta = readU32(buffer + music.stts.offset + 20);
    if (music.sampleDelta == 0) return false;
    uint64_t samples = 0;
    for (uint32_t i = 0; i < entries; ++i) samples += readU32(buffer + music.stts.offset + 16 + 8 * i);
    if (samples > UINT32_MAX) return false;
    music.sampleCount = static_cast<uint32_t>(samples);
    return true;
}

bool readSampleTables(const uint8_t* buffer, MusicTables& music) {
    const Span stbl = music.track.stbl;
    music.stsd = box::findChild(buffer, stbl, "stsd");
    music.stsc = box::findChild(buffer, stbl, "stsc");
    music.stsz = box::findChild(buffer, stbl, "stsz");
    music.stco = box::findChild(buffer, stbl, "stco");
    if (!box::found(music.stsd) || !box::found(music.stsc) || !box::found(music.stsz) || !box::found(music.stco))
        return false;

    // One size per sample (no constant size), exactly as many as stts counts.
    if (!declaredEntriesFit(buffer, music.stsz, 16, 20, 4) || readU32(buffer + music.stsz.offset + 12) != 0) return false;
    if (readU32(buffer + music.stsz.offset + 16) != music.sampleCount) return false;

    if (!declaredEntriesFit(buffer, music.stsc, 12, 16, 12) || !declaredEntriesFit(buffer, music.stco, 12, 16, 4))
        return false;
    return music.sampleCount == 0 || readU32(buffer + music.stco.offset + 12) >= 1;
}

// Calls visit(chunk, first sample, samples) for each chunk of the input, its
// samples taken from the sample-to-chunk table. False when that table is not
// well formed or does not account for exactly the samples the track holds.
template <class Visit>
bool ForEachInputChunk(const uint8_t* buffer, const MusicTables& music, Visit visit) {
    const uint32_t chunks = readU32(buffer + music.stco.offset + 12);
    const uint32_t entries = readU32(buffer + music.stsc.offset + 12);
    const uint8_t* stsc = buffer + music.stsc.offset + 16;
    auto firstChunkOf = [stsc](uint32_t entry) { return readU32(stsc + 12 * entry); };
    if (chunks != 0 && (entries == 0 || firstChunkOf(0) != 1)) return false;
    uint32_t entry = 0;
    uint64_t sample = 0;
    for (uint32_t chunk = 1; chunk <= chunks; ++chunk) {
        for (; entry + 1 < entries && firstChunkOf(entry + 1) <= chunk; ++entry) {
            if (firstChunkOf(entry + 1) <= firstChunkOf(entry)) return false;
        }
        const uint32_t samples = readU32(stsc + 12 * entry + 4);
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
    const uint8_t* offsets = buffer + music.stco.offset + 16;
    const uint8_t* sizes = buffer + music.stsz.offset + 20;
    uint64_t end = 0;
    bool apart = false;
    const bool wellFormed = ForEachInputChunk(buffer, music, [&](uint32_t chunk, uint32_t first, uint32_t samples) {
        const uint32_t start = readU32(offsets + 4 * chunk);
        apart = apart || (chunk != 0 && start != end);
        end = start;
        for (uint32_t i = 0; i < samples; ++i) end += readU32(sizes + 4 * (first + i));
    });
    if (!wellFormed || end > UINT32_MAX) return SamplePlacement::Unusable;
    return apart ? SamplePlacement::Apart : SamplePlacement::BackToBack;
}

bool tablesFitTableArea(MusicTables& music) {
    music.chunkCount = CountPieces(PieceClock{music.timescale, music.sampleDelta}, music.sampleCount);
    uint64_t size = uint64_t{music.stsd.size} + music.stts.size + music.stsz.size + 16 + 12 * uint64_t{music.chunkCount} +
                    2 * (16 + 4 * uint64_t{music.chunkCount});
    return size <= kWorkBufferSize - kTableAreaOffset;
}

// Reads the music track's clock and tables; a track whose tables can't be
// followed, or whose samples lie apart, keeps its own chunks.
ChunkLayout ChooseLayout(const ConditionerContext& context, uint32_t size, MovieBoxPlan& plan) {
    const uint8_t* buffer = context.buffer;
    MusicTables& music = plan.music;
    plan.clockRead = readTimescale(buffer, music) && readTimeToSample(buffer, context, music);
    if (!plan.clockRead || !readSampleTables(buffer, music)) return ChunkLayout::KeptTablesUnusable;
    switch (SamplesLie(buffer, music)) {
        case SamplePlacement::Unusable: return ChunkLayout::KeptTablesUnusable;
        case SamplePlacement::Apart: return ChunkLayout::KeptSamplesApart;
        case SamplePlacement::BackToBack: break;
    }
    return size <= kTableAreaOffset && tablesFitTableArea(music) ? ChunkLayout::Rebuilt : ChunkLayout::KeptTablesUnusable;
}

// ---- The new sample table ----

// Appends a box copied from the movie box to the table area.
uint8_t* copyBox(uint8_t* to, const uint8_t* buffer, Span from) {
    std::memcpy(to, buffer + from.offset, from.size);
    return to + from.size;
}

uint8_t* startFullBox(uint8_t* to, uint32_t size, const char (&type)[5], uint32_t entries) {
    to = box::writeHeader(to, size, type);
    writeU32(to, 0);  // version 0, flags 0
    writeU32(to + 4, entries);
    return to + 8;
}

// Calls visit(chunk, samples) for each one-second chunk, chunks numbered from 1.
template <class Visit>
void ForEachNewChunk(const ConditionerContext& context, const MusicTables& music, Visit visit) {
    uint32_t taken = 0;
    for (uint32_t chunk = 1; taken < music.sampleCount; ++chunk) {
        const uint32_t samples = CutOneSecond(clockOf(context), chunk, taken, music.sampleCount);
        visit(chunk, samples);
        taken += samples;
    }
}

// The new sample-to-chunk table: one entry (first chunk, samples, description 1) per chunk.
uint8_t* buildSampleToChunk(uint8_t* to, const ConditionerContext& context, const MusicTables& music) {
    uint8_t* entry = startFullBox(to, stscSize(music.chunkCount), "stsc", music.chunkCount);
    ForEachNewChunk(context, music, [&entry](uint32_t chunk, uint32_t samples) {
        writeU32(entry, chunk);
        writeU32(entry + 4, samples);
        writeU32(entry + 8, 1);
        entry += 12;
    });
    return entry;
}

// The chunk offsets as input positions (moved to the output when written), and
// the sync sample table: each chunk's first sample. The samples lie one after
// the other from the input's first chunk offset on.
uint8_t* buildChunkTables(uint8_t* to, const ConditionerContext& context, const MusicTables& music) {
    uint8_t* chunkOffsets = startFullBox(to, chunkTableSize(music.chunkCount), "stco", music.chunkCount);
    uint8_t* syncSamples =
        startFullBox(chunkOffsets + 4 * music.chunkCount, chunkTableSize(music.chunkCount), "stss", music.chunkCount);
    uint32_t offset = music.sampleCount ? readU32(context.buffer + music.stco.offset + 16) : 0;
    uint32_t sample = 0;
    ForEachNewChunk(context, music, [&](uint32_t chunk, uint32_t samples) {
        writeU32(chunkOffsets + 4 * (chunk - 1), offset);
        writeU32(syncSamples + 4 * (chunk - 1), sample + 1);
        for (uint32_t i = 0; i < samples; ++i) offset += context.sampleSizes[sample + i];
        sample += samples;
    });
    return syncSamples + 4 * music.chunkCount;
}

void readSampleSizes(ConditionerContext& context, Span stsz, uint32_t count) {
    context.sampleSizes.resize(count);
    const uint8_t* sizes = context.buffer + stsz.offset + 20;
    for (uint32_t i = 0; i < count; ++i) context.sampleSizes[i] = readU32(sizes + 4 * i);
}

// Builds stsd, stts, stsc, stsz, stco and stss in the table area; returns their
// size and where the new stco's entries start.
uint32_t buildSampleTables(ConditionerContext& context, const MusicTables& music, uint32_t* chunkOffsetsAt) {
    uint8_t* buffer = context.buffer;
    uint8_t* tables = buffer + kTableAreaOffset;
    uint8_t* to = copyBox(tables, buffer, music.stsd);
    to = copyBox(to, buffer, music.stts);
    to = buildSampleToChunk(to, context, music);
    to = copyBox(to, buffer, music.stsz);
    readSampleSizes(context, music.stsz, music.sampleCount);
    *chunkOffsetsAt = static_cast<uint32_t>(to - buffer) + 16;
    to = buildChunkTables(to, context, music);
    return static_cast<uint32_t>(to - tables);
}

// ---- Offsets ----

void AddChunkOffsets(const uint8_t* buffer, Span table, FieldWidth width, MovieBoxPlan& plan) {
    const uint32_t entrySize = width == FieldWidth::Unsigned64 ? 8 : 4;
    if (!declaredEntriesFit(buffer, table, 12, 16, entrySize)) {
        plan.offsetsReadable = false;
        return;
    }
    const uint32_t entries = readU32(buffer + table.offset + 12);
    for (uint32_t i = 0; i < entries; ++i) plan.offsets.push_back(OffsetField{table.offset + 16 + entrySize * i, width});
}

// Every chunk offset the movie box will hold: each entry of every track's
// chunk offset tables, the new table's instead of the music track's own when
// it is rebuilt.
void CollectChunkOffsets(const uint8_t* buffer, uint32_t size, uint32_t newChunkOffsetsAt, MovieBoxPlan& plan) {
    const bool rebuilt = plan.layout == ChunkLayout::Rebuilt;
    box::ChildWalk traks(buffer, Span{0, size});
    while (traks.next()) {
        if (!traks.currentIs("trak") || (rebuilt && traks.current().offset == plan.music.track.trak.offset)) continue;
        box::ChildWalk tables(buffer, TrackBoxesOf(buffer, traks.current()).stbl);
        while (tables.next()) {
            if (tables.currentIs("stco")) AddChunkOffsets(buffer, tables.current(), FieldWidth::Unsigned32, plan);
            if (tables.currentIs("co64")) AddChunkOffsets(buffer, tables.current(), FieldWidth::Unsigned64, plan);
        }
    }
    for (uint32_t chunk = 0; rebuilt && chunk < plan.music.chunkCount; ++chunk)
        plan.offsets.push_back(OffsetField{newChunkOffsetsAt + 4 * chunk, FieldWidth::Unsigned32});
}

// ---- Clips ----

void LocateClipsInNewChunks(const ConditionerContext& context, const MusicTables& music) {
    const uint32_t boxOffset = context.outputOffset();
    uint32_t time = 0;
    ForEachNewChunk(context, music, [&](uint32_t chunk, uint32_t samples) {
        LocateClips(context, PiecePlace{boxOffset, 1, chunk, PiecePlace::Kind::Chunk}, time, samples);
        time += samples * context.sampleDelta;
    });
}

void LocateClipsInInputChunks(const ConditionerContext& context, const MusicTables& music) {
    const uint32_t boxOffset = context.outputOffset();
    ForEachInputChunk(context.buffer, music, [&](uint32_t chunk, uint32_t first, uint32_t samples) {
        LocateClips(context, PiecePlace{boxOffset, 1, chunk + 1, PiecePlace::Kind::Chunk}, first * context.sampleDelta,
                    samples);
    });
}

void growContainers(uint8_t* buffer, const TrackBoxes& track, uint32_t growth) {
    box::addU32(buffer, growth);
    for (Span container : {track.trak, track.mdia, track.minf, track.stbl}) box::addU32(buffer + container.offset, growth);
}

// Everything up to the music track's stbl header, the new tables, then all that
// follows the old stbl (boxes behind it in minf and mdia, other tracks, the rest).
void WriteRebuilt(uint8_t* buffer, OutputFile& output, uint32_t size, const MovieBoxPlan& plan) {
    const Span stbl = plan.music.track.stbl;
    growContainers(buffer, plan.music.track, plan.outputSize - size);
    const uint32_t head = stbl.offset + box::kHeaderSize;
    const uint32_t tail = size - stbl.end();
    assert(head + plan.tablesSize + tail == readU32(buffer) && "written movie box differs from its declared size");
    output.write(buffer, head);
    output.write(buffer + kTableAreaOffset, plan.tablesSize);
    output.write(buffer + stbl.end(), tail);
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
    context.musicTrackId = box::found(plan.music.track.trak) ? TrackIdOf(context.buffer, plan.music.track.trak) : 0;
    if (box::found(plan.music.track.trak)) plan.layout = ChooseLayout(context, size, plan);
    if (plan.clockRead) {
        context.timescale = plan.music.timescale;
        context.sampleDelta = plan.music.sampleDelta;
    }
    uint32_t newChunkOffsetsAt = 0;
    if (plan.layout == ChunkLayout::Rebuilt) {
        plan.tablesSize = buildSampleTables(context, plan.music, &newChunkOffsetsAt);
        plan.outputSize = size - plan.music.track.stbl.size + box::kHeaderSize + plan.tablesSize;
    } else {
        context.Notice(NoticeFor(plan.layout));
    }
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
    if (musicRead) CamouflageBitrates(buffer, stsd, g_run.camouflageBitrate);
    if (rebuilt) LocateClipsInNewChunks(context, plan.music);
    if (plan.layout == ChunkLayout::KeptSamplesApart) LocateClipsInInputChunks(context, plan.music);
    if (plan.clockRead) context.runningTime += context.sampleDelta * plan.music.sampleCount;
    for (const OffsetField& field : plan.offsets) {
        const bool moved = MoveField(buffer, field, map);
        assert(moved && "an offset the plan checked did not move");
        (void)moved;
    }
    if (rebuilt) WriteRebuilt(buffer, output, size, plan);
    else output.write(buffer, size);
    if (musicRead)
        std::printf("%luHz (%lusamples)\n", static_cast<unsigned long>(context.timescale),
                    static_cast<unsigned long>(context.sampleDelta));
}
