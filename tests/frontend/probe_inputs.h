// Byte builders for the frontend's probe tests: boxes, music files, JPEG segments.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace probe_inputs {

using Bytes = std::vector<uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes u16(uint32_t v) { return {uint8_t(v >> 8), uint8_t(v)}; }
inline Bytes u32(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }
inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes zeros(std::size_t n) { return Bytes(n, 0); }

// ---- Boxes ----

inline Bytes header(uint32_t size, const char* type) { return u32(size) + text(type); }
inline Bytes box(const char* type, const Bytes& body) { return header(uint32_t(8 + body.size()), type) + body; }
inline Bytes fullBox(const char* type, uint8_t version, uint32_t flags, const Bytes& body) {
    return box(type, Bytes{version, uint8_t(flags >> 16), uint8_t(flags >> 8), uint8_t(flags)} + body);
}
inline Bytes filler(std::size_t total) { return box("free", zeros(total - 8)); }  // a box of `total` bytes

inline Bytes ftyp() { return box("ftyp", text("3g2a") + u32(0x10000) + text("3g2a") + text("mp42")); }  // 24 bytes
inline Bytes mdat(std::size_t payload) { return box("mdat", zeros(payload)); }

using Timing = std::vector<std::pair<uint32_t, uint32_t>>;  // stts entries: sample count, delta

struct Movie {
    uint32_t timescale = 48000;
    uint32_t avgBitrate = 64000;
    Timing timing = Timing(1, {1, 1024});  // one sample of 1024
    uint8_t mdhdVersion = 0;
    bool paddedLengths = false;          // descriptor lengths as 80 80 80 nn
    std::size_t fillerBeforeTiming = 0;  // a box of this many bytes in front of stts
    const char* handler = "soun";        // the track's hdlr type; none when null
};

// A descriptor's tag and length, the length in one byte or padded to four.
inline Bytes descriptor(uint8_t tag, std::size_t length, bool padded) {
    return padded ? Bytes{tag, 0x80, 0x80, 0x80, uint8_t(length)} : Bytes{tag, uint8_t(length)};
}

inline Bytes esds(uint32_t avgBitrate, bool padded) {
    const Bytes decoderSpecific = descriptor(0x05, 2, padded) + Bytes{0x11, 0x90};
    const Bytes decoder = Bytes{0x40, 0x15, 0, 3, 0} + u32(128000) + u32(avgBitrate) + decoderSpecific;
    const Bytes stream =
        Bytes{0, 1, 0} + descriptor(0x04, decoder.size(), padded) + decoder + descriptor(0x06, 1, padded) + Bytes{0x02};
    return fullBox("esds", 0, 0, descriptor(0x03, stream.size(), padded) + stream);
}

inline Bytes moov(const Movie& m) {
    const Bytes sampleEntry = box("mp4a", zeros(6) + u16(1) + zeros(8) + u16(1) + u16(16) + zeros(4) +
                                              u32(m.timescale << 16) + esds(m.avgBitrate, m.paddedLengths));
    Bytes timing = u32(uint32_t(m.timing.size()));
    for (const auto& entry : m.timing) timing = timing + u32(entry.first) + u32(entry.second);
    const Bytes stbl = box("stbl", fullBox("stsd", 0, 0, u32(1) + sampleEntry) +
                                       (m.fillerBeforeTiming ? filler(m.fillerBeforeTiming) : Bytes{}) +
                                       fullBox("stts", 0, 0, timing) +
                                       fullBox("stsc", 0, 0, u32(1) + u32(1) + u32(1) + u32(1)));
    const Bytes times = m.mdhdVersion == 1 ? zeros(16) + u32(m.timescale) + zeros(8)  // creation, modification: 64 bits
                                           : zeros(8) + u32(m.timescale) + zeros(4);
    const Bytes mdhd = fullBox("mdhd", m.mdhdVersion, 0, times + u16(0x55C4) + u16(0));
    const Bytes hdlr = m.handler ? fullBox("hdlr", 0, 0, u32(0) + text(m.handler) + zeros(13)) : Bytes{};
    return box("moov", box("trak", box("mdia", mdhd + hdlr + box("minf", stbl))));
}

// One track fragment per entry of `runs`, each with one run of that many samples
// (trun flags 0x000201: data offset and sample sizes).
inline Bytes moof(const std::vector<uint32_t>& runs) {
    Bytes fragments;
    for (uint32_t samples : runs) {
        const Bytes trun = fullBox("trun", 0, 0x000201, u32(samples) + u32(0) + zeros(4u * samples));
        fragments = fragments + box("traf", fullBox("tfhd", 0, 0, u32(1)) + trun);
    }
    return box("moof", fullBox("mfhd", 0, 0, u32(1)) + fragments);
}
inline Bytes fragment(uint32_t samples) { return moof({samples}) + mdat(16); }

// ---- JPEG ----

inline Bytes segment(uint8_t marker, const Bytes& payload) {
    return Bytes{0xFF, marker} + u16(uint32_t(payload.size() + 2)) + payload;
}
inline Bytes frameHeader(uint16_t width, uint16_t height, uint8_t marker = 0xC0) {
    return segment(marker, Bytes{8} + u16(height) + u16(width) + Bytes{1, 1, 0x11, 0});
}
inline Bytes startOfImage() { return {0xFF, 0xD8}; }
inline Bytes imageTail() { return segment(0xC4, zeros(20)) + segment(0xDA, zeros(8)) + zeros(64) + Bytes{0xFF, 0xD9}; }
// An APP0 segment that makes the next marker start at `nextMarker` when it starts at 2.
inline Bytes paddingUpTo(std::size_t nextMarker) { return segment(0xE0, zeros(nextMarker - 6)); }

}  // namespace probe_inputs
