// Lays out a 3GPP2 track: ftyp, optional uuid boxes, moov (with mvex when
// fragments follow), the movie box's mdat, then moof+mdat pairs and an optional
// mfra. Everything is written front to back; the only value known late, the
// movie box's chunk offset, is patched once its mdat has a position.
#include "tests/tools/track_builder.h"

#include <optional>
#include <stdexcept>

#include "tests/tools/byte_writer.h"

namespace testtrack {
namespace {

constexpr uint8_t kUuidTail[12] = {0xA8, 0x8C, 0x11, 0xD4, 0x81, 0x97, 0x00, 0x90, 0x27, 0x08, 0x77, 0x03};
constexpr uint32_t kTrackId = 1;
constexpr uint32_t kRunFlags = 0x000201;         // data offset and per-sample sizes present
constexpr uint32_t kBaseDataOffsetFlag = 0x000001;

struct Built {
    std::vector<uint8_t> bytes;
    TrackMap map;
};

void writeMatrix(ByteWriter& w) {
    const uint32_t unity[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
    for (uint32_t value : unity) w.u32(value);
}

void writeFileType(ByteWriter& w) {
    std::size_t box = w.open("ftyp");
    w.text("3g2a");
    w.u32(0x00010000);
    w.text("3g2a");
    w.text("mp42");
    w.close(box);
}

void writeUuid(ByteWriter& w, const char (&extension)[5], const std::vector<uint8_t>& payload) {
    std::size_t box = w.open("uuid");
    w.text(std::string(extension, 4));
    for (uint8_t byte : kUuidTail) w.u8(byte);
    w.append(payload);
    w.close(box);
}

void writeForeignUuid(ByteWriter& w) {
    writeUuid(w, "tsry", std::vector<uint8_t>{'n', 'o', 't', ' ', 'f', 'o', 'r', ' ', 't', 'h', 'e', ' ', 'h', 'a', 'n', 'd', 's', 'e', 't'});
}

// The no-clip form a handset track already carries: two flag words, 8 zero bytes, no slots.
void writeOwnIoed(ByteWriter& w) {
    std::vector<uint8_t> payload = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    writeUuid(w, "ioed", payload);
}

void writeDescriptorHeader(ByteWriter& w, uint8_t tag, uint32_t length) {
    // Lengths padded to four bytes, as handset tracks write them.
    w.u8(tag);
    w.u8(0x80);
    w.u8(0x80);
    w.u8(0x80);
    w.u8(static_cast<uint8_t>(length & 0x7F));
}

void writeEsds(ByteWriter& w, const AacStream& stream, const TrackLayout& layout) {
    const uint32_t configSize = static_cast<uint32_t>(stream.audioSpecificConfig.size());
    const uint32_t specificInfoTotal = 5 + configSize;
    const uint32_t decoderConfigPayload = 13 + specificInfoTotal;
    const uint32_t slConfigTotal = 5 + 1;
    const uint32_t streamPayload = 3 + 5 + decoderConfigPayload + slConfigTotal;

    std::size_t box = w.openFull("esds", 0);
    writeDescriptorHeader(w, 0x03, streamPayload);
    w.u16(0);  // ES_ID
    w.u8(0);   // no dependence, URL or OCR stream
    writeDescriptorHeader(w, 0x04, decoderConfigPayload);
    w.u8(0x40);                   // MPEG-4 audio
    w.u8((0x05 << 2) | 0x01);     // audio stream, upstream 0, reserved 1
    w.u24(768u * stream.channels);  // decoder buffer size
    w.u32(layout.maxBitrate);
    w.u32(layout.avgBitrate);
    writeDescriptorHeader(w, 0x05, configSize);
    w.append(stream.audioSpecificConfig);
    writeDescriptorHeader(w, 0x06, 1);
    w.u8(0x02);  // predefined SL configuration for MP4 files
    w.close(box);
}

void writeSampleDescription(ByteWriter& w, const AacStream& stream, const TrackLayout& layout) {
    std::size_t stsd = w.openFull("stsd", 0);
    w.u32(1);
    std::size_t mp4a = w.open("mp4a");
    w.zeros(6);
    w.u16(1);  // data reference index
    w.zeros(8);
    w.u16(stream.channels);
    w.u16(16);
    w.u16(0);
    w.u16(0);
    w.u32(stream.sampleRate << 16);
    writeEsds(w, stream, layout);
    w.close(mp4a);
    w.close(stsd);
}

// Writes the sample table; returns where the one chunk offset lies (none without samples).
std::optional<std::size_t> writeSampleTable(ByteWriter& w, const AacStream& stream, const TrackLayout& layout) {
    std::size_t stbl = w.open("stbl");
    writeSampleDescription(w, stream, layout);

    std::size_t stts = w.openFull("stts", 0);
    w.u32(1);
    w.u32(layout.moovSamples);
    w.u32(layout.sampleDelta);
    w.close(stts);

    const bool hasSamples = layout.moovSamples > 0;
    std::size_t stsc = w.openFull("stsc", 0);
    w.u32(hasSamples ? 1 : 0);
    if (hasSamples) {
        w.u32(1);
        w.u32(layout.moovSamples);
        w.u32(1);
    }
    w.close(stsc);

    std::size_t stsz = w.openFull("stsz", 0);
    w.u32(0);
    w.u32(layout.moovSamples);
    for (uint32_t i = 0; i < layout.moovSamples; ++i) w.u32(static_cast<uint32_t>(stream.frames[i].size()));
    w.close(stsz);

    std::optional<std::size_t> chunkOffsetAt;
    std::size_t stco = w.openFull("stco", 0);
    w.u32(hasSamples ? 1 : 0);
    if (hasSamples) {
        chunkOffsetAt = w.size();
        w.u32(0);
    }
    w.close(stco);
    w.close(stbl);
    return chunkOffsetAt;
}

std::optional<std::size_t> writeMediaInformation(ByteWriter& w, const AacStream& stream, const TrackLayout& layout) {
    std::size_t minf = w.open("minf");
    std::size_t smhd = w.openFull("smhd", 0);
    w.u32(0);
    w.close(smhd);
    std::size_t dinf = w.open("dinf");
    std::size_t dref = w.openFull("dref", 0);
    w.u32(1);
    std::size_t url = w.openFull("url ", 1);  // media data in this file
    w.close(url);
    w.close(dref);
    w.close(dinf);
    std::optional<std::size_t> chunkOffsetAt = writeSampleTable(w, stream, layout);
    w.close(minf);
    return chunkOffsetAt;
}

std::optional<std::size_t> writeMedia(ByteWriter& w, const AacStream& stream, const TrackLayout& layout, uint32_t duration) {
    std::size_t mdia = w.open("mdia");
    std::size_t mdhd = w.openFull("mdhd", 0);
    w.u32(0);
    w.u32(0);
    w.u32(stream.sampleRate);
    w.u32(duration);
    w.u16(0x55C4);  // language "und"
    w.u16(0);
    w.close(mdhd);

    std::size_t hdlr = w.openFull("hdlr", 0);
    w.u32(0);
    w.text("soun");
    w.zeros(12);
    w.text("SoundHandler");
    w.u8(0);
    w.close(hdlr);

    std::optional<std::size_t> chunkOffsetAt = writeMediaInformation(w, stream, layout);
    w.close(mdia);
    return chunkOffsetAt;
}

std::optional<std::size_t> writeTrackBox(ByteWriter& w, const AacStream& stream, const TrackLayout& layout, uint32_t duration) {
    std::size_t trak = w.open("trak");
    std::size_t tkhd = w.openFull("tkhd", 0x000007);  // enabled, in movie, in preview
    w.u32(0);
    w.u32(0);
    w.u32(kTrackId);
    w.u32(0);
    w.u32(duration);
    w.zeros(8);
    w.u16(0);       // layer
    w.u16(0);       // alternate group
    w.u16(0x0100);  // full volume
    w.u16(0);
    writeMatrix(w);
    w.u32(0);
    w.u32(0);
    w.close(tkhd);
    std::optional<std::size_t> chunkOffsetAt = writeMedia(w, stream, layout, duration);
    w.close(trak);
    return chunkOffsetAt;
}

std::optional<std::size_t> writeMovieBox(ByteWriter& w, const AacStream& stream, const TrackLayout& layout) {
    const uint32_t duration = layout.moovSamples * layout.sampleDelta;
    std::size_t moov = w.open("moov");
    std::size_t mvhd = w.openFull("mvhd", 0);
    w.u32(0);
    w.u32(0);
    w.u32(stream.sampleRate);
    w.u32(duration);
    w.u32(0x00010000);  // rate 1.0
    w.u16(0x0100);      // volume 1.0
    w.zeros(10);
    writeMatrix(w);
    w.zeros(24);
    w.u32(kTrackId + 1);
    w.close(mvhd);

    std::optional<std::size_t> chunkOffsetAt = writeTrackBox(w, stream, layout, duration);

    if (!layout.fragments.empty()) {
        std::size_t mvex = w.open("mvex");
        std::size_t trex = w.openFull("trex", 0);
        w.u32(kTrackId);
        w.u32(1);  // sample description index
        w.u32(layout.sampleDelta);
        w.u32(0);
        w.u32(0);  // sync samples
        w.close(trex);
        w.close(mvex);
    }
    w.close(moov);
    return chunkOffsetAt;
}

// Writes an mdat with the frames [first, first + count); records each sample's offset.
void writeMediaData(ByteWriter& w, const AacStream& stream, uint32_t first, uint32_t count, TrackMap& map) {
    std::size_t mdat = w.open("mdat");
    for (uint32_t i = first; i < first + count; ++i) {
        map.sampleOffsets.push_back(static_cast<uint32_t>(w.size()));
        w.append(stream.frames[i]);
    }
    w.close(mdat);
}

uint32_t sumOf(const std::vector<uint32_t>& counts) {
    uint32_t total = 0;
    for (uint32_t count : counts) total += count;
    return total;
}

// One moof+mdat; the base data offset names the first byte of the mdat's payload.
void writeFragment(ByteWriter& w, const AacStream& stream, const std::vector<uint32_t>& runs, uint32_t sequence,
                   uint32_t firstSample, TrackMap& map) {
    map.moofOffsets.push_back(static_cast<uint32_t>(w.size()));
    std::size_t moof = w.open("moof");
    std::size_t mfhd = w.openFull("mfhd", 0);
    w.u32(sequence);
    w.close(mfhd);
    std::size_t traf = w.open("traf");
    std::size_t tfhd = w.openFull("tfhd", kBaseDataOffsetFlag);
    w.u32(kTrackId);
    std::size_t baseAt = w.size();
    w.u64(0);
    w.close(tfhd);

    uint32_t sample = firstSample;
    uint32_t dataOffset = 0;
    for (uint32_t count : runs) {
        std::size_t trun = w.openFull("trun", kRunFlags);
        w.u32(count);
        w.u32(dataOffset);
        for (uint32_t i = 0; i < count; ++i, ++sample) {
            uint32_t size = static_cast<uint32_t>(stream.frames[sample].size());
            w.u32(size);
            dataOffset += size;
        }
        w.close(trun);
    }
    w.close(traf);
    w.close(moof);

    w.patchU32(baseAt + 4, static_cast<uint32_t>(w.size() + 8));
    writeMediaData(w, stream, firstSample, sumOf(runs), map);
}

struct IndexedFragment {
    uint32_t time;
    uint32_t moofOffset;
};

void writeFragmentIndex(ByteWriter& w, const std::vector<IndexedFragment>& entries) {
    std::size_t mfra = w.open("mfra");
    std::size_t tfra = w.openFull("tfra", 0);
    w.u32(kTrackId);
    w.u32(0);  // one byte each for the fragment, run and sample numbers
    w.u32(static_cast<uint32_t>(entries.size()));
    for (const IndexedFragment& entry : entries) {
        w.u32(entry.time);
        w.u32(entry.moofOffset);
        w.u8(1);
        w.u8(1);
        w.u8(1);
    }
    w.close(tfra);
    std::size_t mfro = w.openFull("mfro", 0);
    w.u32(0);
    w.close(mfro);
    w.patchU32(mfro + 12, static_cast<uint32_t>(w.size() - mfra));
    w.close(mfra);
}

Built layOut(const AacStream& stream, const TrackLayout& layout) {
    if (samplesUsed(layout) > stream.frames.size()) {
        throw std::invalid_argument("track layout needs " + std::to_string(samplesUsed(layout)) + " samples, the stream holds " +
                                    std::to_string(stream.frames.size()));
    }
    Built built;
    ByteWriter w;
    if (layout.ftyp) writeFileType(w);
    if (layout.foreignUuid) writeForeignUuid(w);
    if (layout.ownIoed) writeOwnIoed(w);

    std::optional<std::size_t> chunkOffsetAt;
    uint32_t movieDataStart = 0;
    if (layout.mediaDataFirst) {
        movieDataStart = static_cast<uint32_t>(w.size() + 8);
        writeMediaData(w, stream, 0, layout.moovSamples, built.map);
        chunkOffsetAt = writeMovieBox(w, stream, layout);
    } else {
        chunkOffsetAt = writeMovieBox(w, stream, layout);
        movieDataStart = static_cast<uint32_t>(w.size() + 8);
        writeMediaData(w, stream, 0, layout.moovSamples, built.map);
    }
    if (chunkOffsetAt) w.patchU32(*chunkOffsetAt, movieDataStart);

    std::vector<IndexedFragment> index;
    uint32_t sample = layout.moovSamples;
    uint32_t sequence = 1;
    for (const std::vector<uint32_t>& runs : layout.fragments) {
        index.push_back(IndexedFragment{sample * layout.sampleDelta, static_cast<uint32_t>(w.size())});
        writeFragment(w, stream, runs, sequence++, sample, built.map);
        sample += sumOf(runs);
    }
    if (layout.mfraAtEnd) writeFragmentIndex(w, index);

    built.bytes = w.take();
    return built;
}

}  // namespace

uint32_t samplesUsed(const TrackLayout& layout) {
    uint32_t total = layout.moovSamples;
    for (const std::vector<uint32_t>& runs : layout.fragments) total += sumOf(runs);
    return total;
}

std::vector<std::vector<uint8_t>> framesUsed(const AacStream& stream, const TrackLayout& layout) {
    uint32_t count = samplesUsed(layout);
    if (count > stream.frames.size()) throw std::invalid_argument("track layout needs more samples than the stream holds");
    return std::vector<std::vector<uint8_t>>(stream.frames.begin(), stream.frames.begin() + count);
}

std::vector<uint8_t> buildTrack(const AacStream& stream, const TrackLayout& layout) { return layOut(stream, layout).bytes; }

TrackMap mapTrack(const AacStream& stream, const TrackLayout& layout) { return layOut(stream, layout).map; }

}  // namespace testtrack
