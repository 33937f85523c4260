// Box conventions of the ISO base media file format, as both programs read them:
// a 32-bit big-endian size that counts the 8-byte header, a four-character type,
// big-endian integers inside. Every walk here stays inside the bytes it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/box_fields.h"

namespace box {

constexpr uint32_t kHeaderSize = 8;

inline uint32_t ReadU32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

inline uint64_t ReadU64(const uint8_t* p) { return uint64_t{ReadU32(p)} << 32 | ReadU32(p + 4); }

inline void WriteU32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}

// Writes a box header (size, then type) at `to`; returns where its body starts.
inline uint8_t* WriteHeader(uint8_t* to, uint32_t size, const char (&type)[5]) {
    WriteU32(to, size);
    std::memcpy(to + 4, type, 4);
    return to + kHeaderSize;
}

inline void AddU32(uint8_t* p, uint32_t delta) { WriteU32(p, ReadU32(p) + delta); }

inline bool TypeIs(const uint8_t* typeField, const char (&type)[5]) { return std::memcmp(typeField, type, 4) == 0; }

// A box inside a buffer: where it starts and how long it says it is.
struct Span {
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t End() const { return offset + size; }
};

// The children of a container whose whole bytes lie in `buffer`. The walk starts
// `headerSize` bytes into the container and stops at the first child that is
// shorter than a box header or that runs past the container's end, so a child it
// yields always lies wholly inside its parent.
class ChildWalk {
public:
    ChildWalk(const uint8_t* buffer, Span container, uint32_t headerSize = kHeaderSize)
        : buffer_(buffer), container_(container), next_(container.offset + headerSize) {
        if (headerSize > container.size) next_ = container.End();
    }

    // Moves to the next child; false when there is none.
    bool Next() {
        uint32_t end = container_.End();
        if (next_ >= end || end - next_ < kHeaderSize) return false;
        uint32_t size = ReadU32(buffer_ + next_);
        if (size < kHeaderSize || size > end - next_) return false;
        current_ = Span{next_, size};
        next_ += size;
        return true;
    }

    Span Current() const { return current_; }
    bool CurrentIs(const char (&type)[5]) const { return TypeIs(buffer_ + current_.offset + 4, type); }

private:
    const uint8_t* buffer_;
    Span container_;
    uint32_t next_;
    Span current_{};
};

// The first child of the given type, or a span of size 0 when there is none.
inline Span FindChild(const uint8_t* buffer, Span container, const char (&type)[5]) {
    ChildWalk walk(buffer, container);
    while (walk.Next()) {
        if (walk.CurrentIs(type)) return walk.Current();
    }
    return Span{};
}

inline bool Found(Span span) { return span.size != 0; }

// The 24 flag bits of a full box (version and flags follow its header).
inline uint32_t FlagsOf(const uint8_t* buffer, Span fullBox) {
    return ReadU32(buffer + fullBox.offset + FullBox::kVersionAndFlags) & 0xFFFFFF;
}

// The entries a table declares (its count at `countAt`, its entries from
// `entriesAt`, each `entrySize` bytes) all lie inside the table box.
inline bool DeclaredEntriesFit(const uint8_t* buffer, Span table, uint32_t countAt, uint32_t entriesAt,
                               uint32_t entrySize) {
    if (table.size < entriesAt || table.size < countAt + 4) return false;
    const uint64_t entries = ReadU32(buffer + table.offset + countAt);
    return entries * entrySize <= table.size - entriesAt;
}

// Whether the top-level boxes of `length` bytes can be taken apart one by one:
// each at least a header and at most `largest` bytes long, and inside the bytes;
// fewer bytes than a header may trail the last box. `sizeAt(position, &size)`
// reads the size of the box at a position and is false when it can't.
template <class ReadSize>
bool TopLevelBoxesFit(uint64_t length, uint32_t largest, ReadSize sizeAt) {
    uint64_t position = 0;
    while (length - position >= kHeaderSize) {
        uint32_t size = 0;
        if (!sizeAt(position, &size)) return false;
        if (size < kHeaderSize || size > largest || size > length - position) return false;
        position += size;
    }
    return true;
}

}  // namespace box
