#include "packer/conditioner/movie_box.h"

#include <cassert>
#include <cstdio>
#include <cstring>

#include "packer/conditioner/pieces.h"
#include "packer/run_state.h"

using box::declaredEntriesFit;
using box::readU32;
using box::Span;
using box::writeU32;

namespace {

// Everything the rebuild needs, found and checked before anything is changed.
struct SampleTablePlan {
    Span trak, mdia, minf, stbl, stsd, stts, stsz, stco;
    uint32_t timescale = 0;
    uint32_t sampleDelta = 0;
    uint32_t sampleCount = 0;  // N: the samples the movie box holds
    uint32_t chunkCount = 0;   // K: the one-second chunks they are cut into
};

uint32_t stscSize(uint32_t chunks) { return 16 + 12 * chunks; }
uint32_t chunkTableSize(uint32_t chunks) { return 16 + 4 * chunks; }  // stco and stss alike

bool findTrackBoxes(const uint8_t* buffer, uint32_t size, SampleTablePlan& plan) {
    plan.trak = box::findChild(buffer, Span{0, size}, "trak");
    if (!box::found(plan.trak)) return false;
    plan.mdia = box::findChild(buffer, plan.trak, "mdia");
    if (!box::found(plan.mdia)) return false;
    plan.minf = box::findChild(buffer, plan.mdia, "minf");
    if (!box::found(plan.minf)) return false;
    plan.stbl = box::findChild(buffer, plan.minf, "stbl");
    return box::found(plan.stbl);
}

bool readTimescale(const uint8_t* buffer, Span mdia, SampleTablePlan& plan) {
    Span mdhd = box::findChild(buffer, mdia, "mdhd");
    if (!box::found(mdhd) || mdhd.size < 24 || buffer[mdhd.offset + 8] != 0) return false;  // version 0 only
    plan.timescale = readU32(buffer + mdhd.offset + 20);
    return plan.timescale != 0;
}

// The samples the movie box holds are those of every time-to-sample entry:
// encoders write a shorter last frame as an entry of its own. The chunk cut
// and the clips use the first entry's duration.
bool readTimeToSample(const uint8_t* buffer, const ConditionerContext& context, SampleTablePlan& plan) {
    if (!declaredEntriesFit(buffer, plan.stts, 12, 16, 8)) return false;
    const uint32_t entries = readU32(buffer + plan.stts.offset + 12);
    plan.sampleDelta = context.sampleDelta;
    plan.sampleCount = 0;
    if (entries == 0) return true;
    plan.sampleDelta = readU32(buffer + plan.stts.offset + 20);
    if (plan.sampleDelta == 0) return false;
    uint64_t samples = 0;
    for (uint32_t i = 0; i < entries; ++i) samples += readU32(buffer + plan.stts.offset + 16 + 8 * i);
    if (samples > UINT32_MAX) return false;
    plan.sampleCount = static_cast<uint32_t>(samples);
    return true;
}

bool readSampleTables(const uint8_t* buffer, const ConditionerContext& context, SampleTablePlan& plan) {
    plan.stsd = box::findChild(buffer, plan.stbl, "stsd");
    plan.stts = box::findChild(buffer, plan.stbl, "stts");
    plan.stsz = box::findChild(buffer, plan.stbl, "stsz");
    plan.stco = box::findChild(buffer, plan.stbl, "stco");
    if (!box::found(plan.stsd) || !box::found(plan.stts) || !box::found(plan.stsz) || !box::found(plan.stco))
        return false;

    if (!readTimeToSample(buffer, context, plan)) return false;

    // One size per sample (no constant size), exactly as many as stts counts.
    if (!declaredEntriesFit(buffer, plan.stsz, 16, 20, 4) || readU32(buffer + plan.stsz.offset + 12) != 0) return false;
    if (readU32(buffer + plan.stsz.offset + 16) != plan.sampleCount) return false;

    if (!declaredEntriesFit(buffer, plan.stco, 12, 16, 4)) return false;
    return plan.sampleCount == 0 || readU32(buffer + plan.stco.offset + 12) >= 1;
}

bool tablesFitTableArea(SampleTablePlan& plan) {
    plan.chunkCount = CountPieces(PieceClock{plan.timescale, plan.sampleDelta}, plan.sampleCount);
    uint64_t size = uint64_t{plan.stsd.size} + plan.stts.size + plan.stsz.size + 16 + 12 * uint64_t{plan.chunkCount} +
                    2 * (16 + 4 * uint64_t{plan.chunkCount});
    return size <= kWorkBufferSize - kTableAreaOffset;
}

// Finds and checks every box the rebuild reads. A movie box that fails any check
// is written unchanged and leaves the context as it was.
bool planRebuild(const ConditionerContext& context, uint32_t size, SampleTablePlan& plan) {
    const uint8_t* buffer = context.buffer;
    return size <= kTableAreaOffset && findTrackBoxes(buffer, size, plan) && readTimescale(buffer, plan.mdia, plan) &&
           readSampleTables(buffer, context, plan) && tablesFitTableArea(plan);
}

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

// The new sample-to-chunk table: one entry (first chunk, samples, description 1)
// per chunk. Locates the clips that start in each chunk on the way.
uint8_t* buildSampleToChunk(uint8_t* to, ConditionerContext& context, const SampleTablePlan& plan) {
    uint8_t* entry = startFullBox(to, stscSize(plan.chunkCount), "stsc", plan.chunkCount);
    const uint32_t boxOffset = context.outputOffset();
    uint32_t taken = 0;
    uint32_t time = 0;
    for (uint32_t chunk = 1; taken < plan.sampleCount; ++chunk, entry += 12) {
        uint32_t samples = CutOneSecond(clockOf(context), chunk, taken, plan.sampleCount);
        writeU32(entry, chunk);
        writeU32(entry + 4, samples);
        writeU32(entry + 8, 1);
        LocateClips(context, boxOffset, chunk, time, samples);
        taken += samples;
        time += samples * context.sampleDelta;
    }
    return entry;
}

uint32_t samplesOfChunk(const uint8_t* stsc, uint32_t chunk) { return readU32(stsc + 16 + 12 * chunk + 4); }

// The chunk offsets as input positions (made output positions once the growth
// is known), and the sync sample table: each chunk's first sample.
uint8_t* buildChunkTables(uint8_t* to, const ConditionerContext& context, const SampleTablePlan& plan,
                          const uint8_t* stsc, uint8_t** chunkOffsets) {
    *chunkOffsets = startFullBox(to, chunkTableSize(plan.chunkCount), "stco", plan.chunkCount);
    uint8_t* syncSamples =
        startFullBox(*chunkOffsets + 4 * plan.chunkCount, chunkTableSize(plan.chunkCount), "stss", plan.chunkCount);
    // The samples lie one after the other from the input's first chunk offset on.
    uint32_t offset = plan.sampleCount ? readU32(context.buffer + plan.stco.offset + 16) : 0;
    uint32_t sample = 0;
    for (uint32_t chunk = 0; chunk < plan.chunkCount; ++chunk) {
        writeU32(*chunkOffsets + 4 * chunk, offset);
        writeU32(syncSamples + 4 * chunk, sample + 1);
        const uint32_t samples = samplesOfChunk(stsc, chunk);
        for (uint32_t i = 0; i < samples; ++i) offset += context.sampleSizes[sample + i];
        sample += samples;
    }
    return syncSamples + 4 * plan.chunkCount;
}

// Media data behind the movie box moves with the shift after it; media data in
// front of it (written before the movie box grew) with the shift before it.
void moveChunkOffsetsToOutput(uint8_t* chunkOffsets, uint32_t chunks, const ConditionerContext& context,
                              int32_t shiftBefore) {
    for (uint32_t chunk = 0; chunk < chunks; ++chunk) {
        uint8_t* entry = chunkOffsets + 4 * chunk;
        uint32_t inputPosition = readU32(entry);
        int32_t shift = inputPosition < context.inputOffset ? shiftBefore : context.shift;
        writeU32(entry, inputPosition + static_cast<uint32_t>(shift));
    }
}

void readSampleSizes(ConditionerContext& context, Span stsz, uint32_t count) {
    context.sampleSizes.resize(count);
    const uint8_t* sizes = context.buffer + stsz.offset + 20;
    for (uint32_t i = 0; i < count; ++i) context.sampleSizes[i] = readU32(sizes + 4 * i);
}

// Builds stsd, stts, stsc, stsz, stco and stss in the table area; returns their size.
uint32_t buildSampleTables(ConditionerContext& context, const SampleTablePlan& plan, uint8_t** chunkOffsets) {
    uint8_t* buffer = context.buffer;
    uint8_t* tables = buffer + kTableAreaOffset;
    uint8_t* to = copyBox(tables, buffer, plan.stsd);

    context.sampleDelta = plan.sampleDelta;
    ConvertClipRanges(context.sampleDelta, context.timescale);
    context.runningTime += context.sampleDelta * plan.sampleCount;
    to = copyBox(to, buffer, plan.stts);

    const uint8_t* stsc = to;
    to = buildSampleToChunk(to, context, plan);

    to = copyBox(to, buffer, plan.stsz);
    readSampleSizes(context, plan.stsz, plan.sampleCount);

    to = buildChunkTables(to, context, plan, stsc, chunkOffsets);
    return static_cast<uint32_t>(to - tables);
}

void growContainers(uint8_t* buffer, const SampleTablePlan& plan, uint32_t growth) {
    box::addU32(buffer, growth);
    for (Span container : {plan.trak, plan.mdia, plan.minf, plan.stbl}) box::addU32(buffer + container.offset, growth);
}

void rebuildMovieBox(ConditionerContext& context, OutputFile& output, uint32_t size, const SampleTablePlan& plan) {
    uint8_t* buffer = context.buffer;
    context.timescale = plan.timescale;
    CamouflageBitrates(buffer, plan.stsd, g_run.camouflageBitrate);

    uint8_t* chunkOffsets = nullptr;
    const uint32_t tablesSize = buildSampleTables(context, plan, &chunkOffsets);
    const uint32_t growth = box::kHeaderSize + tablesSize - plan.stbl.size;
    const int32_t shiftBefore = context.shift;
    context.shift += static_cast<int32_t>(growth);
    moveChunkOffsetsToOutput(chunkOffsets, plan.chunkCount, context, shiftBefore);
    growContainers(buffer, plan, growth);

    // Everything up to the stbl header, the new tables, then all that follows
    // the old stbl (boxes behind it in minf and mdia, the track and movie tails).
    const uint32_t head = plan.stbl.offset + box::kHeaderSize;
    const uint32_t tail = size - plan.stbl.end();
    assert(head + tablesSize + tail == readU32(buffer) && "written movie box differs from its declared size");
    output.write(buffer, head);
    output.write(buffer + kTableAreaOffset, tablesSize);
    output.write(buffer + plan.stbl.end(), tail);
    std::printf("%luHz (%lusamples)\n", static_cast<unsigned long>(context.timescale),
                static_cast<unsigned long>(context.sampleDelta));
}

// Where the esds box's type field stands inside stsd, or 0 when there is none.
uint32_t findEsdsType(const uint8_t* buffer, Span stsd) {
    for (uint32_t at = stsd.offset + 8; at + 4 <= stsd.end(); ++at) {
        if (box::typeIs(buffer + at, "esds")) return at;
    }
    return 0;
}

// Reads the descriptors of an esds box by their own rules, never past its end.
// Every step fails (returns false) on a layout it doesn't understand.
class DescriptorReader {
public:
    DescriptorReader(const uint8_t* buffer, uint32_t at, uint32_t end) : buffer_(buffer), at_(at), end_(end) {}

    // A descriptor's tag and its length of 1 to 4 bytes, 7 bits each, the high
    // bit saying that another byte follows.
    bool enter(uint8_t tag) {
        if (!has(1) || buffer_[at_++] != tag) return false;
        for (int i = 0; i < 4; ++i) {
            if (!has(1)) return false;
            if ((buffer_[at_++] & 0x80) == 0) return true;
        }
        return false;
    }

    bool skip(uint32_t count) {
        if (!has(count)) return false;
        at_ += count;
        return true;
    }

    bool readByte(uint8_t* value) {
        if (!has(1)) return false;
        *value = buffer_[at_++];
        return true;
    }

    uint32_t position() const { return at_; }
    bool has(uint32_t count) const { return at_ <= end_ && end_ - at_ >= count; }

private:
    const uint8_t* buffer_;
    uint32_t at_;
    uint32_t end_;
};

constexpr uint8_t kElementaryStreamTag = 0x03;
constexpr uint8_t kDecoderConfigTag = 0x04;
constexpr uint8_t kDependsOnStream = 0x80;
constexpr uint8_t kHasUrl = 0x40;
constexpr uint8_t kHasClockStream = 0x20;

// Steps over the stream descriptor's id, flags and the optional fields they announce.
bool skipStreamFields(DescriptorReader& reader) {
    uint8_t flags = 0;
    if (!reader.skip(2) || !reader.readByte(&flags)) return false;
    if ((flags & kDependsOnStream) && !reader.skip(2)) return false;
    uint8_t urlLength = 0;
    if ((flags & kHasUrl) && (!reader.readByte(&urlLength) || !reader.skip(urlLength))) return false;
    return !(flags & kHasClockStream) || reader.skip(2);
}

// Where the decoder configuration's maximum bitrate stands (the average
// follows it), or 0 when the esds box isn't laid out as understood here.
uint32_t findDeclaredBitrates(const uint8_t* buffer, Span stsd) {
    const uint32_t type = findEsdsType(buffer, stsd);
    if (type == 0) return 0;
    const uint32_t esds = type - 4;
    const uint32_t declared = readU32(buffer + esds);
    if (declared < box::kHeaderSize + 4 || declared > stsd.end() - esds) return 0;
    DescriptorReader reader(buffer, esds + box::kHeaderSize + 4, esds + declared);  // past version and flags
    // Object type, stream type and the three-byte buffer size come before the bitrates.
    if (!reader.enter(kElementaryStreamTag) || !skipStreamFields(reader) || !reader.enter(kDecoderConfigTag) ||
        !reader.skip(5) || !reader.has(8))
        return 0;
    return reader.position();
}

}  // namespace

void CamouflageBitrates(uint8_t* buffer, Span stsd, uint32_t cap) {
    if (cap == 0) return;
    const uint32_t at = findDeclaredBitrates(buffer, stsd);
    if (at == 0) return;
    uint8_t* maxBitrate = buffer + at;
    uint8_t* avgBitrate = buffer + at + 4;
    std::printf("max.%lubps ", static_cast<unsigned long>(readU32(maxBitrate)));
    if (readU32(maxBitrate) > cap) writeU32(maxBitrate, cap);
    std::printf("typ.%lubps\n", static_cast<unsigned long>(readU32(avgBitrate)));
    if (readU32(avgBitrate) > cap) writeU32(avgBitrate, cap);
}

void ConditionMovieBox(ConditionerContext& context, OutputFile& output, uint32_t size) {
    SampleTablePlan plan;
    if (!planRebuild(context, size, plan)) {
        output.write(context.buffer, size);
        return;
    }
    rebuildMovieBox(context, output, size, plan);
}
