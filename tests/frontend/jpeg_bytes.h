// JPEG images of our own making, segment by segment, for the image probe and the survey.
#pragma once

#include <cstdint>

#include "tests/tools/testkit.h"

namespace jpeg_bytes {

using testkit::Bytes;

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Bytes Segment(uint8_t marker, const Bytes& payload) {
    const auto length = static_cast<uint32_t>(payload.size() + 2);
    return Bytes{0xFF, marker, uint8_t(length >> 8), uint8_t(length)} + payload;
}
inline Bytes FrameHeader(uint16_t width, uint16_t height, uint8_t marker = 0xC0) {
    return Segment(marker, {8, uint8_t(height >> 8), uint8_t(height), uint8_t(width >> 8), uint8_t(width), 1, 1, 0x11, 0});
}
inline Bytes StartOfImage() { return {0xFF, 0xD8}; }
inline Bytes ImageTail() { return Segment(0xC4, Bytes(20)) + Segment(0xDA, Bytes(8)) + Bytes(64) + Bytes{0xFF, 0xD9}; }
// An APP0 segment that makes the next marker start at `nextMarker` when it starts at 2.
inline Bytes PaddingUpTo(std::size_t nextMarker) { return Segment(0xE0, Bytes(nextMarker - 6)); }

// A baseline JPEG of `width` x `height`, padded by an APP0 segment to `total` bytes.
inline Bytes Jpeg(uint16_t width, uint16_t height, std::size_t total = 0) {
    const Bytes frame = FrameHeader(width, height) + ImageTail();
    return StartOfImage() + (total ? PaddingUpTo(total - frame.size()) : Bytes{}) + frame;
}

}  // namespace jpeg_bytes
