#include "tests/tools/track_reader.h"

#include <cstring>

namespace testtrack {
namespace {

constexpr uint32_t kIoedSlotsAt = 41;
constexpr uint32_t kSlotSize = 51;

// A bounded view of some bytes of the track: reads past its end yield 0 and mark it broken.
class Cursor {
public:
    Cursor(const std::vector<uint8_t>& bytes, uint32_t begin, uint32_t end) : bytes_(bytes), at_(begin), end_(end) {}

    uint32_t position() const { return at_; }
    uint32_t left() const { return at_ <= end_ ? end_ - at_ : 0; }
    bool broken() const { return broken_; }
    void skip(uint32_t count) {
        if (count > left()) broken_ = true;
        at_ = count > left() ? end_ : at_ + count;
    }
    uint32_t u8() { return take(1); }
    uint32_t u16() { return take(2); }
    uint32_t u24() { return take(3); }
    uint32_t u32() { return take(4); }
    uint64_t u64() {
        uint64_t high = take(4);
        return (high << 32) | take(4);
    }

private:
    uint32_t take(uint32_t count) {
        if (count > left()) {
            broken_ = true;
            at_ = end_;
            return 0;
        }
        uint32_t value = 0;
        for (uint32_t i = 0; i < count; ++i) value = (value << 8) | bytes_[at_ + i];
        at_ += count;
        return value;
    }

    const std::vector<uint8_t>& bytes_;
    uint32_t at_;
    uint32_t end_;
    bool broken_ = false;
};

struct Span {
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t end() const { return offset + size; }
    bool found() const { return size != 0; }
};

std::string typeAt(const std::vector<uint8_t>& bytes, uint32_t offset) {
    return std::string(reinterpret_cast<const char*>(bytes.data() + offset + 4), 4);
}

uint32_t u32At(const std::vector<uint8_t>& bytes, uint32_t offset) {
    Cursor cursor(bytes, offset, static_cast<uint32_t>(bytes.size()));
    return cursor.u32();
}

// The children of a box (header of `headerSize` bytes), each lying wholly inside it.
std::vector<Span> childrenOf(const std::vector<uint8_t>& bytes, Span parent, uint32_t headerSize = 8) {
    std::vector<Span> children;
    uint32_t at = parent.offset + headerSize;
    while (at < parent.end() && parent.end() - at >= 8) {
        uint32_t size = u32At(bytes, at);
        if (size < 8 || size > parent.end() - at) break;
        children.push_back(Span{at, size});
        at += size;
    }
    return children;
}

Span childOf(const std::vector<uint8_t>& bytes, Span parent, const std::string& type) {
    for (Span child : childrenOf(bytes, parent)) {
        if (typeAt(bytes, child.offset) == type) return child;
    }
    return Span{};
}

// A full box's payload after version and flags.
Cursor fullBoxBody(const std::vector<uint8_t>& bytes, Span box, uint32_t& flags) {
    Cursor cursor(bytes, box.offset + 8, box.end());
    flags = cursor.u32() & 0xFFFFFF;
    return cursor;
}

// An MPEG-4 descriptor length: up to four bytes of seven bits each.
uint32_t descriptorLength(Cursor& cursor) {
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t byte = cursor.u8();
        length = (length << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0) break;
    }
    return length;
}

void readBitrates(const std::vector<uint8_t>& bytes, Span stsd, MovieBox& movie) {
    Span entry{stsd.offset + 16, stsd.size >= 16 ? stsd.size - 16 : 0};
    if (!entry.found() || u32At(bytes, entry.offset) > entry.size) return;
    entry.size = u32At(bytes, entry.offset);
    Span esds = {};
    for (Span child : childrenOf(bytes, entry, 36)) {
        if (typeAt(bytes, child.offset) == "esds") esds = child;
    }
    if (!esds.found()) return;
    uint32_t flags = 0;
    Cursor cursor = fullBoxBody(bytes, esds, flags);
    if (cursor.u8() != 0x03) return;
    descriptorLength(cursor);
    cursor.u16();
    uint32_t streamFlags = cursor.u8();
    if (streamFlags & 0x80) cursor.u16();
    if (streamFlags & 0x40) cursor.skip(cursor.u8());
    if (streamFlags & 0x20) cursor.u16();
    if (cursor.u8() != 0x04) return;
    descriptorLength(cursor);
    cursor.skip(5);  // object type, stream type, buffer size
    movie.maxBitrate = cursor.u32();
    movie.avgBitrate = cursor.u32();
    movie.bitratesFound = !cursor.broken();
}

void readSampleTable(const std::vector<uint8_t>& bytes, Span stbl, MovieBox& movie, std::vector<std::string>& problems) {
    for (Span child : childrenOf(bytes, stbl)) {
        std::string type = typeAt(bytes, child.offset);
        movie.sampleTableChildren.push_back(type);
        uint32_t flags = 0;
        Cursor cursor = fullBoxBody(bytes, child, flags);
        if (type == "stsd") {
            readBitrates(bytes, child, movie);
            continue;
        }
        if (type != "stts" && type != "stsc" && type != "stco" && type != "stss" && type != "stsz") continue;
        uint32_t constantSize = type == "stsz" ? cursor.u32() : 0;
        uint32_t count = cursor.u32();
        uint32_t entrySize = type == "stts" ? 8 : type == "stsc" ? 12 : 4;
        if (type == "stsz" && constantSize != 0) entrySize = 0;
        if (uint64_t{count} * entrySize > cursor.left()) {
            problems.push_back(type + " declares " + std::to_string(count) + " entries, its box holds fewer");
            continue;
        }
        if (type == "stss") movie.syncSamples.emplace();
        for (uint32_t i = 0; i < count; ++i) {
            if (type == "stts") {
                uint32_t samples = cursor.u32();
                movie.timeToSample.emplace_back(samples, cursor.u32());
            } else if (type == "stsc") {
                ChunkRun run;
                run.firstChunk = cursor.u32();
                run.samplesPerChunk = cursor.u32();
                run.descriptionIndex = cursor.u32();
                movie.sampleToChunk.push_back(run);
            } else if (type == "stco") {
                movie.chunkOffsets.push_back(cursor.u32());
            } else if (type == "stss") {
                movie.syncSamples->push_back(cursor.u32());
            } else {
                movie.sampleSizes.push_back(constantSize != 0 ? constantSize : cursor.u32());
            }
        }
        if (cursor.left() != 0) problems.push_back(type + " holds " + std::to_string(cursor.left()) + " bytes after its entries");
    }
}

MovieBox readMovie(const std::vector<uint8_t>& bytes, Span moov, std::vector<std::string>& problems) {
    MovieBox movie;
    movie.offset = moov.offset;
    movie.size = moov.size;
    Span trak = childOf(bytes, moov, "trak");
    Span mdia = trak.found() ? childOf(bytes, trak, "mdia") : Span{};
    Span mdhd = mdia.found() ? childOf(bytes, mdia, "mdhd") : Span{};
    Span minf = mdia.found() ? childOf(bytes, mdia, "minf") : Span{};
    Span stbl = minf.found() ? childOf(bytes, minf, "stbl") : Span{};
    if (!stbl.found()) {
        problems.push_back("the movie box has no trak/mdia/minf/stbl");
        return movie;
    }
    if (mdhd.found()) movie.timescale = u32At(bytes, mdhd.offset + 20);
    readSampleTable(bytes, stbl, movie, problems);
    return movie;
}

FragmentRun readRun(const std::vector<uint8_t>& bytes, Span trun, std::vector<std::string>& problems) {
    FragmentRun run;
    Cursor cursor = fullBoxBody(bytes, trun, run.flags);
    run.sampleCount = cursor.u32();
    if (run.flags & 0x000001) run.dataOffset = static_cast<int32_t>(cursor.u32());
    if (run.flags & 0x000004) cursor.u32();
    uint32_t perSample = 4 * (((run.flags & 0x100) != 0) + ((run.flags & 0x200) != 0) + ((run.flags & 0x400) != 0) +
                              ((run.flags & 0x800) != 0));
    if (uint64_t{run.sampleCount} * perSample > cursor.left()) {
        problems.push_back("trun at " + std::to_string(trun.offset) + " declares more samples than it holds");
        return run;
    }
    for (uint32_t i = 0; i < run.sampleCount; ++i) {
        if (run.flags & 0x100) cursor.u32();
        if (run.flags & 0x200) run.sampleSizes.push_back(cursor.u32());
        if (run.flags & 0x400) cursor.u32();
        if (run.flags & 0x800) cursor.u32();
    }
    if (cursor.left() != 0) problems.push_back("trun at " + std::to_string(trun.offset) + " has bytes after its samples");
    return run;
}

Fragment readFragment(const std::vector<uint8_t>& bytes, Span moof, std::vector<std::string>& problems) {
    Fragment fragment;
    fragment.offset = moof.offset;
    fragment.size = moof.size;
    Span traf{};
    for (Span child : childrenOf(bytes, moof)) {
        if (typeAt(bytes, child.offset) != "traf") continue;
        if (fragment.trafCount++ == 0) traf = child;
    }
    if (!traf.found()) return fragment;
    for (Span child : childrenOf(bytes, traf)) {
        std::string type = typeAt(bytes, child.offset);
        if (type == "tfhd") {
            Cursor cursor = fullBoxBody(bytes, child, fragment.headerFlags);
            cursor.u32();  // track id
            if (fragment.headerFlags & 0x000001) fragment.baseDataOffset = cursor.u64();
        } else if (type == "trun") {
            fragment.runs.push_back(readRun(bytes, child, problems));
        }
    }
    return fragment;
}

uint32_t readIndexNumber(Cursor& cursor, uint32_t lengthCode) { return lengthCode == 0 ? cursor.u8() : lengthCode == 1 ? cursor.u16() : lengthCode == 2 ? cursor.u24() : cursor.u32(); }

FragmentIndex readIndex(const std::vector<uint8_t>& bytes, Span mfra, std::vector<std::string>& problems) {
    FragmentIndex index;
    index.offset = mfra.offset;
    index.size = mfra.size;
    Span tfra = childOf(bytes, mfra, "tfra");
    Span mfro = childOf(bytes, mfra, "mfro");
    if (mfro.found()) index.closingSize = u32At(bytes, mfro.offset + 12);
    if (!tfra.found()) {
        problems.push_back("mfra at " + std::to_string(mfra.offset) + " has no tfra");
        return index;
    }
    Cursor cursor(bytes, tfra.offset + 8, tfra.end());
    uint32_t version = cursor.u8();
    cursor.u24();
    index.trackId = cursor.u32();
    uint32_t lengths = cursor.u32();
    uint32_t count = cursor.u32();
    for (uint32_t i = 0; i < count && !cursor.broken(); ++i) {
        IndexEntry entry;
        entry.time = version == 1 ? static_cast<uint32_t>(cursor.u64()) : cursor.u32();
        entry.moofOffset = version == 1 ? static_cast<uint32_t>(cursor.u64()) : cursor.u32();
        entry.fragmentNumber = readIndexNumber(cursor, (lengths >> 4) & 3);
        entry.runNumber = readIndexNumber(cursor, (lengths >> 2) & 3);
        entry.sampleNumber = readIndexNumber(cursor, lengths & 3);
        if (!cursor.broken()) index.entries.push_back(entry);
    }
    if (cursor.broken()) problems.push_back("tfra declares " + std::to_string(count) + " entries, its box holds fewer");
    if (cursor.left() != 0) problems.push_back("tfra has " + std::to_string(cursor.left()) + " bytes after its entries");
    return index;
}

ClipSlot readSlot(const std::vector<uint8_t>& bytes, uint32_t at) {
    ClipSlot slot;
    const char* name = reinterpret_cast<const char*>(bytes.data() + at);
    slot.name.assign(name, strnlen(name, 32));
    Cursor cursor(bytes, at + 32, at + kSlotSize);
    slot.boxOffset = cursor.u32();
    slot.fragmentNumber = static_cast<uint8_t>(cursor.u8());
    slot.runNumber = static_cast<uint8_t>(cursor.u8());
    slot.sampleNumber = static_cast<uint8_t>(cursor.u8());
    slot.length = cursor.u32();
    slot.constant1 = cursor.u32();
    slot.constant2 = cursor.u32();
    uint8_t empty[kSlotSize] = {};
    empty[46] = 1;
    empty[50] = 65;
    slot.untouched = std::memcmp(bytes.data() + at, empty, kSlotSize) == 0;
    return slot;
}

IoedBox readIoed(const std::vector<uint8_t>& bytes, Span box) {
    IoedBox ioed;
    ioed.offset = box.offset;
    ioed.size = box.size;
    Cursor cursor(bytes, box.offset + 24, box.end());
    ioed.flagWord1 = cursor.u32();
    ioed.flagWord2 = cursor.u32();
    cursor.skip(8);
    ioed.slotCount = static_cast<uint8_t>(cursor.u8());
    for (uint32_t at = box.offset + kIoedSlotsAt; at + kSlotSize <= box.end(); at += kSlotSize) ioed.slots.push_back(readSlot(bytes, at));
    return ioed;
}

void readBox(Track& track, const TopBox& top) {
    Span span{top.offset, top.size};
    if (top.type == "moov" && !track.movie) track.movie = readMovie(track.bytes, span, track.problems);
    if (top.type == "moof") track.fragments.push_back(readFragment(track.bytes, span, track.problems));
    if (top.type == "mfra") track.index = readIndex(track.bytes, span, track.problems);
    if (top.type == "uuid" && top.uuidType == "ioed" && !track.ioed) track.ioed = readIoed(track.bytes, span);
}

}  // namespace

uint32_t MovieBox::sampleCount() const { return static_cast<uint32_t>(sampleSizes.size()); }

std::vector<uint32_t> MovieBox::samplesPerChunk() const {
    std::vector<uint32_t> counts;
    for (std::size_t chunk = 1; chunk <= chunkOffsets.size(); ++chunk) {
        uint32_t perChunk = 0;
        for (const ChunkRun& run : sampleToChunk) {
            if (run.firstChunk <= chunk) perChunk = run.samplesPerChunk;
        }
        counts.push_back(perChunk);
    }
    return counts;
}

uint32_t Fragment::sampleCount() const {
    uint32_t total = 0;
    for (const FragmentRun& run : runs) total += run.sampleCount;
    return total;
}

std::vector<std::string> Track::boxTypes() const {
    std::vector<std::string> types;
    for (const TopBox& box : boxes) types.push_back(box.uuidType.empty() ? box.type : box.type + ":" + box.uuidType);
    return types;
}

std::string Track::report() const {
    std::string text;
    for (const std::string& problem : problems) text += problem + "\n";
    return text;
}

Track readTrack(const std::vector<uint8_t>& bytes) {
    Track track;
    track.bytes = bytes;
    uint32_t at = 0;
    const uint32_t end = static_cast<uint32_t>(bytes.size());
    while (end - at >= 8) {
        uint32_t size = u32At(bytes, at);
        if (size < 8 || size > end - at) {
            track.problems.push_back("top-level box at " + std::to_string(at) + " has size " + std::to_string(size));
            break;
        }
        TopBox top;
        top.type = typeAt(bytes, at);
        top.offset = at;
        top.size = size;
        if (top.type == "uuid" && size >= 24) top.uuidType = std::string(reinterpret_cast<const char*>(bytes.data() + at + 8), 4);
        track.boxes.push_back(top);
        readBox(track, top);
        at += size;
    }
    track.trailing.assign(bytes.begin() + at, bytes.end());
    return track;
}

}  // namespace testtrack
