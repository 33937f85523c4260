// Appends big-endian integers and boxes to a byte vector; a box's size is
// filled in when it is closed, so nested boxes are written front to back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testtrack {

class ByteWriter {
public:
    void u8(uint8_t value) { bytes_.push_back(value); }
    void u16(uint16_t value) {
        u8(static_cast<uint8_t>(value >> 8));
        u8(static_cast<uint8_t>(value));
    }
    void u24(uint32_t value) {
        u8(static_cast<uint8_t>(value >> 16));
        u16(static_cast<uint16_t>(value));
    }
    void u32(uint32_t value) {
        u16(static_cast<uint16_t>(value >> 16));
        u16(static_cast<uint16_t>(value));
    }
    void u64(uint64_t value) {
        u32(static_cast<uint32_t>(value >> 32));
        u32(static_cast<uint32_t>(value));
    }
    void zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    void text(const std::string& characters) { bytes_.insert(bytes_.end(), characters.begin(), characters.end()); }
    void append(const std::vector<uint8_t>& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }

    // Opens a box: writes a size placeholder and the type; returns where it starts.
    std::size_t open(const char (&type)[5]) {
        std::size_t start = bytes_.size();
        u32(0);
        text(std::string(type, 4));
        return start;
    }
    // A full box: its header, then version 0 and the 24-bit flags.
    std::size_t openFull(const char (&type)[5], uint32_t flags) {
        std::size_t start = open(type);
        u8(0);
        u24(flags);
        return start;
    }
    // Patches the size of the box opened at `start` to reach the current end.
    void close(std::size_t start) { patchU32(start, static_cast<uint32_t>(bytes_.size() - start)); }

    void patchU32(std::size_t at, uint32_t value) {
        bytes_[at] = static_cast<uint8_t>(value >> 24);
        bytes_[at + 1] = static_cast<uint8_t>(value >> 16);
        bytes_[at + 2] = static_cast<uint8_t>(value >> 8);
        bytes_[at + 3] = static_cast<uint8_t>(value);
    }

    std::size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace testtrack
