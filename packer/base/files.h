// Buffered binary files with explicit positioning, as the packer uses them.
// Failures are sticky: after the first failed read or write the file reports
// Failed() and does nothing more, so callers may check once after a batch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What makes two paths the same file: device and inode, or volume and file index.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

std::optional<FileIdentity> IdentityOfPath(const std::string& path);

// True for a regular file; folders and devices opened by name are not.
bool IsRegularFile(std::FILE* file);

// The same for a path, without opening it: opening a named pipe waits for a writer.
bool IsRegularFileAt(const std::string& path);

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens a regular file for binary reading; folders, devices and named pipes
    // are refused, pipes before they are opened, so a pipe never blocks the run.
    bool Open(const std::string& path);
    uint64_t Length() const { return length_; }
    bool Seek(uint64_t position);
    // Reads exactly count bytes; a short read is a failure.
    bool Read(void* destination, std::size_t count);
    bool Skip(uint64_t count);
    // The whole file, read-only, until it is closed: mapped into memory where
    // the system allows, so that its bytes are neither copied nor given fresh
    // pages, else read into memory. Null when it can't be read whole.
    const uint8_t* Whole();
    bool Failed() const { return failed_; }
    std::optional<FileIdentity> Identity() const;
    void Close();

private:
    bool Fail();
    std::FILE* file_ = nullptr;
    uint64_t length_ = 0;
    bool failed_ = false;
    void* mapped_ = nullptr;
    std::vector<uint8_t> copy_;  // the whole file, where it isn't mapped
};

// Writes go through a buffer of this size, so that a track of many small
// boxes is written in a few large pieces.
constexpr std::size_t kOutputBufferSize = 0x40000;

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file, or empties an existing one, for binary reading and writing.
    bool Create(const std::string& path);
    bool Seek(uint64_t position);
    uint64_t Position();
    bool Write(const void* source, std::size_t count);
    bool WriteZeros(std::size_t count);
    // Cuts the file to the given length (flushes first).
    bool Truncate(uint64_t length);
    bool Failed() const { return failed_; }
    bool IsRegularFile() const;
    std::optional<FileIdentity> Identity() const;
    // Flushes and closes; false when anything written was not stored.
    bool Close();

private:
    bool Fail();
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;  // kOutputBufferSize bytes, while the file is open
    bool failed_ = false;
};

bool RemoveFile(const std::string& path);
