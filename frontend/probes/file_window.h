// A piece of a file held in memory: up to `capacity` bytes read from an
// absolute position. The probes walk files through one of these, so every
// position they use is a 64-bit file position and every byte they look at is
// one a read delivered.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/file.h"

class FileWindow {
public:
    FileWindow(framework::File& file, uint32_t capacity);
    ~FileWindow();
    FileWindow(const FileWindow&) = delete;
    FileWindow& operator=(const FileWindow&) = delete;

    // Reads the window anew: up to `count` bytes (the whole capacity when 0 or
    // larger) from `position`. Returns the bytes now held, 0 when the seek or the
    // read fails or at the end of the file.
    uint32_t Load(uint64_t position, uint32_t count = 0);

    // True when the `count` bytes from `position` are all held.
    bool Holds(uint64_t position, uint32_t count) const;
    // Makes sure the `count` bytes from `position` are held, loading the window
    // from `position` when they are not; false when the file has fewer.
    bool Bring(uint64_t position, uint32_t count);

    // The held byte at `position`; only for positions that Holds() accepts.
    const uint8_t* At(uint64_t position) const { return bytes_.get() + (position - start_); }

    uint64_t Start() const { return start_; }
    uint32_t Held() const { return held_; }
    const uint8_t* Bytes() const { return bytes_.get(); }

private:
    framework::File& file_;
    std::unique_ptr<uint8_t[]> bytes_;
    uint32_t capacity_;
    uint64_t start_ = 0;
    uint32_t held_ = 0;
};
