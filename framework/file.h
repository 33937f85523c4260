// Files the frontend reads: one small interface with a file on disk behind it,
// or bytes in memory (tests and fuzzing feed the probes that way).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace framework {

// Paths are narrow strings (CP932 on Windows) of at most this many bytes; a
// longer one is treated as a file that cannot be opened, so no fixed buffer of
// the program's ever receives it.
constexpr std::size_t kMaxPathBytes = 1536;

class File {
public:
    virtual ~File() = default;
    virtual bool isOpen() const = 0;
    virtual uint64_t size() const = 0;
    // Reads up to `count` bytes at the current position; returns how many were
    // delivered, 0 at the end of the file or on failure.
    virtual uint32_t read(void* buffer, uint32_t count) = 0;
    // Moves to an absolute position; a position past the end is allowed (reads there deliver 0).
    virtual bool seekTo(uint64_t position) = 0;
};

// A file on disk opened for reading while others may still read and write it.
// Closed by the destructor.
class DiskFile final : public File {
public:
    explicit DiskFile(const std::string& path);
    ~DiskFile() override;
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;

    bool isOpen() const override { return handle_ != kClosed; }
    uint64_t size() const override;
    uint32_t read(void* buffer, uint32_t count) override;
    bool seekTo(uint64_t position) override;

private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;  // a HANDLE on Windows, a file descriptor elsewhere
};

// True when the file system has an entry named `path` (a file or a folder),
// whether or not it can be opened, as reading its attributes tells; false for
// a path longer than kMaxPathBytes.
bool PathExists(const std::string& path);

// Gives the file at `path` the contents `bytes` without ever leaving it
// half-written: the bytes go whole to a new file in the same folder, which then
// takes the old file's place. False when any step fails (a full disk, a folder
// that can't be written, a read-only file); the old file, if any, is then as it
// was and no new file is left behind.
bool ReplaceFileContents(const std::string& path, const std::string& bytes);

class MemoryFile final : public File {
public:
    explicit MemoryFile(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    bool isOpen() const override { return true; }
    uint64_t size() const override { return bytes_.size(); }
    uint32_t read(void* buffer, uint32_t count) override;
    bool seekTo(uint64_t position) override;

private:
    std::vector<uint8_t> bytes_;
    uint64_t position_ = 0;
};

}  // namespace framework
