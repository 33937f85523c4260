// Buffered binary files with explicit positioning, as the packer uses them.
// Failures are sticky: after the first failed read or write the file reports
// failed() and does nothing more, so callers may check once after a batch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

// What makes two paths the same file: device and inode, or volume and file index.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

std::optional<FileIdentity> identityOfPath(const std::string& path);

// True for a regular file; folders and devices opened by name are not.
bool isRegularFile(std::FILE* file);

// The same for a path, without opening it: opening a named pipe waits for a writer.
bool isRegularFileAt(const std::string& path);

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens a regular file for binary reading; folders, devices and named pipes
    // are refused, pipes before they are opened, so a pipe never blocks the run.
    bool open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }
    uint64_t length() const { return length_; }
    bool seek(uint64_t position);
    // Reads exactly count bytes; a short read is a failure.
    bool read(void* destination, std::size_t count);
    bool skip(uint64_t count);
    bool failed() const { return failed_; }
    std::optional<FileIdentity> identity() const;
    void close();

private:
    bool fail();
    std::FILE* file_ = nullptr;
    uint64_t length_ = 0;
    bool failed_ = false;
};

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file, or empties an existing one, for binary reading and writing.
    bool create(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }
    bool seek(uint64_t position);
    uint64_t position();
    bool write(const void* source, std::size_t count);
    bool writeZeros(std::size_t count);
    // Cuts the file to the given length (flushes first).
    bool truncate(uint64_t length);
    bool failed() const { return failed_; }
    bool isRegularFile() const;
    std::optional<FileIdentity> identity() const;
    // Flushes and closes; false when anything written was not stored.
    bool close();

private:
    bool fail();
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

bool removeFile(const std::string& path);
