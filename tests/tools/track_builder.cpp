// Lays out a 3GPP2 track as the packer expects one: ftyp, optional uuid boxes, the movie box (with mvex when
// fragments follow) and its mdat, then moof+mdat pairs whose tfhd carries a base data offset and whose runs
// have flags 0x000201 (or in the layout of a FragmentStyle), and an optional mfra. Written front to back;
// sizes and offsets are patched as boxes close.
#include <stdexcept>

#include "tests/tools/testkit.h"

namespace testkit {
namespace {

const Bytes kUuidTail = {0xA8, 0x8C, 0x11, 0xD4, 0x81, 0x97, 0x00, 0x90, 0x27, 0x08, 0x77, 0x03};

struct Writer {
    Bytes b;
    void u8(uint32_t v) { b.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v) { u8(v >> 8), u8(v); }
    void u24(uint32_t v) { u8(v >> 16), u16(v); }
    void u32(uint32_t v) { u16(v >> 16), u16(v); }
    void u64(uint64_t v) { u32(static_cast<uint32_t>(v >> 32)), u32(static_cast<uint32_t>(v)); }
    void zeros(std::size_t n) { b.insert(b.end(), n, 0); }
    void text(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
    void bytes(const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
    void matrix() {
        for (uint32_t v : {0x10000u, 0u, 0u, 0u, 0x10000u, 0u, 0u, 0u, 0x40000000u}) u32(v);
    }
    template <class Body>
    void box(const char* type, Body body) {
        const std::size_t start = b.size();
        u32(0);
        for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(type[i]));
        body();
        putU32(b, start, static_cast<uint32_t>(b.size() - start));
    }
    template <class Body>
    void full(const char* type, uint32_t flags, Body body) {
        box(type, [&] { u32(flags), body(); });
    }
};

// Descriptor lengths padded to four bytes, as handset tracks write them.
void descriptor(Writer& w, uint8_t tag, uint32_t length) {
    w.u8(tag), w.u8(0x80), w.u8(0x80), w.u8(0x80), w.u8(length & 0x7F);
}

Bytes defaultEsds(const AacStream& stream) {
    Writer w;
    const uint32_t config = static_cast<uint32_t>(stream.config.size());
    descriptor(w, 0x03, 3 + 5 + 13 + 5 + config + 6);
    w.u16(0), w.u8(0);  // ES_ID; no dependence, URL or clock stream
    descriptor(w, 0x04, 13 + 5 + config);
    w.u8(0x40), w.u8(0x15), w.u24(768u * stream.channels);  // MPEG-4 audio, audio stream, buffer size
    w.u32(128000), w.u32(32000);
    descriptor(w, 0x05, config);
    w.bytes(stream.config);
    descriptor(w, 0x06, 1);
    w.u8(0x02);
    return w.b;
}

// A timed-text track (3GPP text, as handsets show lyrics), one sample per
// chunk; where its chunk offsets go is noted for the caller to fill.
void textTrack(Writer& w, uint32_t samples, std::vector<std::size_t>& chunkOffsetsAt) {
    w.box("trak", [&] {
        w.full("tkhd", 3, [&] { w.zeros(8), w.u32(2), w.zeros(68); });
        w.box("mdia", [&] {
            w.full("mdhd", 0, [&] { w.zeros(8), w.u32(1000), w.u32(samples * 1000), w.u16(0x55C4), w.u16(0); });
            w.full("hdlr", 0, [&] { w.u32(0), w.text("text"), w.zeros(12), w.u8(0); });
            w.box("minf", [&] {
                w.box("stbl", [&] {
                    w.full("stsd", 0, [&] { w.u32(1), w.box("tx3g", [&] { w.zeros(6), w.u16(1), w.zeros(30); }); });
                    w.full("stts", 0, [&] { w.u32(1), w.u32(samples), w.u32(1000); });
                    w.full("stsc", 0, [&] { w.u32(1), w.u32(1), w.u32(1), w.u32(1); });
                    w.full("stsz", 0, [&] { w.u32(4), w.u32(samples); });
                    w.full("stco", 0, [&] {
                        w.u32(samples);
                        for (uint32_t i = 0; i < samples; ++i) chunkOffsetsAt.push_back(w.b.size()), w.u32(0);
                    });
                });
            });
        });
    });
}

void movieBox(Writer& w, const AacStream& stream, const TrackLayout& layout, std::size_t& chunkOffsetAt,
              std::vector<std::size_t>& textOffsetsAt) {
    const uint32_t n = layout.moovSamples, delta = layout.sampleDelta;
    const bool split = layout.lastDelta != 0 && n > 1;
    const uint32_t duration = split ? (n - 1) * delta + layout.lastDelta : n * delta;
    w.box("moov", [&] {
        w.full("mvhd", 0, [&] { w.zeros(8), w.u32(stream.rate), w.u32(duration), w.u32(0x10000), w.u16(0x100), w.zeros(10); w.matrix();
                                w.zeros(24), w.u32(2); });
        if (layout.textSamples && layout.textFirst) textTrack(w, layout.textSamples, textOffsetsAt);
        w.box("trak", [&] {
            w.full("tkhd", 7, [&] { w.zeros(8), w.u32(1), w.u32(0), w.u32(duration), w.zeros(12), w.u16(0x100), w.u16(0); w.matrix();
                                    w.zeros(8); });
            w.box("mdia", [&] {
                w.full("mdhd", 0, [&] { w.zeros(8), w.u32(stream.rate), w.u32(duration), w.u16(0x55C4), w.u16(0); });
                w.full("hdlr", 0, [&] { w.u32(0), w.text("soun"), w.zeros(12), w.text("SoundHandler"), w.u8(0); });
                w.box("minf", [&] {
                    w.full("smhd", 0, [&] { w.u32(0); });
                    w.box("dinf", [&] { w.full("dref", 0, [&] { w.u32(1), w.full("url ", 1, [] {}); }); });
                    w.box("stbl", [&] {
                        w.full("stsd", 0, [&] {
                            w.u32(1);
                            w.box("mp4a", [&] {
                                w.zeros(6), w.u16(1), w.zeros(8), w.u16(stream.channels), w.u16(16), w.u32(0), w.u32(stream.rate << 16);
                                w.full("esds", 0, [&] { w.bytes(layout.esds.empty() ? defaultEsds(stream) : layout.esds); });
                            });
                        });
                        w.full("stts", 0, [&] {
                            if (split) w.u32(2), w.u32(n - 1), w.u32(delta), w.u32(1), w.u32(layout.lastDelta);
                            else if (n) w.u32(1), w.u32(n), w.u32(delta);
                            else w.u32(0);
                        });
                        const uint32_t gap = layout.gapAfterSample;
                        w.full("stsc", 0, [&] {
                            if (gap) w.u32(2), w.u32(1), w.u32(gap), w.u32(1), w.u32(2), w.u32(n - gap), w.u32(1);
                            else n ? (w.u32(1), w.u32(1), w.u32(n), w.u32(1)) : w.u32(0);
                        });
                        w.full("stsz", 0, [&] {
                            w.u32(0), w.u32(n);
                            for (uint32_t i = 0; i < n; ++i) w.u32(static_cast<uint32_t>(stream.frames[i].size()));
                        });
                        w.full("stco", 0, [&] { n ? (w.u32(gap ? 2 : 1), chunkOffsetAt = w.b.size(), w.zeros(gap ? 8 : 4)) : w.u32(0); });
                    });
                });
            });
        });
        if (layout.textSamples && !layout.textFirst) textTrack(w, layout.textSamples, textOffsetsAt);
        if (!layout.fragments.empty())
            w.box("mvex", [&] { w.full("trex", 0, [&] { w.u32(1), w.u32(1), w.u32(delta), w.u32(0), w.u32(0); }); });
    });
}

// An mdat with the given frames between the layout's boxes before and behind
// media data; returns where its first frame lies.
std::size_t mediaData(Writer& w, const AacStream& stream, uint32_t first, uint32_t count, const TrackLayout& layout,
                      uint32_t gapAfter = 0) {
    w.bytes(layout.beforeMediaData);
    const std::size_t data = w.b.size() + 8;
    w.box("mdat", [&] {
        for (uint32_t i = first; i < first + count; ++i) {
            if (gapAfter && i == first + gapAfter) w.text("gap!");
            w.bytes(stream.frames[i]);
        }
    });
    w.bytes(layout.afterMediaData);
    return data;
}

}  // namespace

TrackLayout layoutOf(uint32_t moov, std::vector<std::vector<uint32_t>> fragments, void (*change)(TrackLayout&)) {
    TrackLayout layout;
    layout.moovSamples = moov, layout.fragments = std::move(fragments);
    if (change) change(layout);
    return layout;
}

uint32_t samplesUsed(const TrackLayout& layout) {
    uint32_t total = layout.moovSamples;
    for (const auto& runs : layout.fragments)
        for (uint32_t count : runs) total += count;
    return total;
}

Bytes buildTrack(const AacStream& stream, const TrackLayout& layout) {
    if (samplesUsed(layout) > stream.frames.size())
        throw std::invalid_argument("the layout needs " + std::to_string(samplesUsed(layout)) + " frames, the stream has " +
                                    std::to_string(stream.frames.size()));
    Writer w;
    auto uuid = [&](const std::string& kind, const Bytes& payload) {
        w.box("uuid", [&] { w.text(kind), w.bytes(kUuidTail), w.bytes(payload); });
    };
    if (layout.ftyp) w.box("ftyp", [&] { w.text("3g2a"), w.u32(0x10000), w.text("3g2a"), w.text("mp42"); });
    if (layout.foreignUuid) uuid("tsry", bytesOf("not for the handset"));
    if (layout.ownIoed) uuid("ioed", Bytes{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // no clip slots

    std::size_t chunkOffsetAt = 0, movieData = 0;
    std::vector<std::size_t> textOffsetsAt;
    if (layout.mediaDataFirst) movieData = mediaData(w, stream, 0, layout.moovSamples, layout, layout.gapAfterSample);
    movieBox(w, stream, layout, chunkOffsetAt, textOffsetsAt);
    if (!layout.mediaDataFirst) movieData = mediaData(w, stream, 0, layout.moovSamples, layout, layout.gapAfterSample);
    if (chunkOffsetAt) putU32(w.b, chunkOffsetAt, static_cast<uint32_t>(movieData));
    if (layout.gapAfterSample) {
        std::size_t second = movieData + 4;
        for (uint32_t i = 0; i < layout.gapAfterSample; ++i) second += stream.frames[i].size();
        putU32(w.b, chunkOffsetAt + 4, static_cast<uint32_t>(second));
    }
    if (!textOffsetsAt.empty()) {
        w.box("mdat", [&] {
            for (uint32_t i = 0; i < layout.textSamples; ++i) {  // each a 16-bit length and two letters
                putU32(w.b, textOffsetsAt[i], static_cast<uint32_t>(w.b.size()));
                w.bytes({0, 2, 'L', static_cast<uint8_t>('a' + i % 26)});
            }
        });
    }

    std::vector<RunEntry> index;  // the input's own index: one entry per fragment
    const FragmentStyle& style = layout.style;
    std::size_t sidxAt = w.b.size();
    if (style.segmentIndex)  // one reference per fragment, its size filled in below
        w.full("sidx", 0, [&] { w.u32(1), w.u32(stream.rate), w.u32(0), w.u32(0), w.u32(static_cast<uint32_t>(layout.fragments.size()));
                                for (std::size_t i = 0; i < layout.fragments.size(); ++i) w.u32(0), w.u32(0), w.u32(0x90000000); });
    uint32_t sample = layout.moovSamples, sequence = 0;
    for (const std::vector<uint32_t>& runs : layout.fragments) {
        const std::size_t moofAt = w.b.size();
        index.push_back({sample * layout.sampleDelta, static_cast<uint32_t>(moofAt), 1});
        std::vector<std::size_t> offsetsAt;  // the base data offset, or each run's offset from the moof
        uint32_t offset = 0, first = sample, last = first;
        for (uint32_t count : runs) last += count;
        w.box("moof", [&] {
            w.full("mfhd", 0, [&] { w.u32(++sequence); });
            w.box("traf", [&] {
                if (style.moofRelative) w.full("tfhd", 0x020000, [&] { w.u32(1); });
                else w.full("tfhd", 1, [&] { w.u32(1), offsetsAt.push_back(w.b.size() + 4), w.u64(0); });
                const uint64_t time = uint64_t{first} * layout.sampleDelta + style.tfdtShift;
                if (style.tfdtVersion == 0) w.full("tfdt", 0, [&] { w.u32(static_cast<uint32_t>(time)); });
                if (style.tfdtVersion == 1) w.full("tfdt", 0x01000000, [&] { w.u64(time); });
                for (uint32_t count : runs) {
                    w.full("trun", style.lastDelta ? 0x000301 : 0x000201, [&] {
                        if (style.moofRelative) offsetsAt.push_back(w.b.size() + 4);
                        w.u32(count), w.u32(offset);
                        for (uint32_t i = 0; i < count; ++i, ++sample) {
                            if (style.lastDelta) w.u32(sample + 1 == last ? style.lastDelta : layout.sampleDelta);
                            w.u32(static_cast<uint32_t>(stream.frames[sample].size()));
                            offset += static_cast<uint32_t>(stream.frames[sample].size());
                        }
                    });
                }
                w.bytes(style.behindRuns);
            });
        });
        // Offsets count from the mdat's first byte: from the base data offset, or from the moof.
        const uint32_t data = static_cast<uint32_t>(w.b.size() + layout.beforeMediaData.size() + 8);
        for (std::size_t at : offsetsAt) putU32(w.b, at, u32(w.b, at) + (style.moofRelative ? data - static_cast<uint32_t>(moofAt) : data));
        mediaData(w, stream, first, sample - first, layout);
        if (style.segmentIndex) putU32(w.b, sidxAt + 32 + 12 * (sequence - 1), static_cast<uint32_t>(w.b.size() - moofAt));
    }
    if (layout.mfraAtEnd) w.bytes(fragmentIndex(index, 1));
    return w.b;
}

Bytes fragmentIndex(const std::vector<RunEntry>& entries, uint32_t runBytes) {
    Writer w;
    w.box("mfra", [&] {
        w.full("tfra", 0, [&] {
            w.u32(1), w.u32(runBytes == 1 ? 0 : runBytes == 2 ? 1 << 2 : 3 << 2), w.u32(static_cast<uint32_t>(entries.size()));
            for (const RunEntry& entry : entries) {
                w.u32(entry.time), w.u32(entry.moofOffset), w.u8(1);
                runBytes == 1 ? w.u8(entry.run) : runBytes == 2 ? w.u16(entry.run) : w.u32(entry.run);
                w.u8(1);
            }
        });
        w.full("mfro", 0, [&] { w.u32(static_cast<uint32_t>(w.b.size() + 4)); });
    });
    return w.b;
}

AacStream fakeFrames(uint32_t rate, std::size_t count, uint32_t seed) {
    AacStream stream;
    stream.rate = rate;
    stream.config = {0x13, 0x88};  // AAC-LC, mono; the rate is not looked at
    uint32_t state = seed * 2654435761u + 1;
    auto next = [&state] { return (state = state * 1664525u + 1013904223u) >> 8; };
    for (std::size_t i = 0; i < count; ++i) {
        Bytes frame(40 + next() % 360);
        for (uint8_t& byte : frame) byte = static_cast<uint8_t>(next());
        stream.frames.push_back(frame);
    }
    return stream;
}

}  // namespace testkit
