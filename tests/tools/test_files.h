// Files for tests: temporary folders that clean up after themselves, whole-file
// reads and writes, and hashes of bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testenv {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "tessaryn-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    // The path of a file inside the folder.
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The whole file; throws std::runtime_error when it can't be read.
std::vector<uint8_t> readFile(const std::string& path);
bool fileExists(const std::string& path);
// Writes (creating folders as needed); throws std::runtime_error on failure.
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
void writeFile(const std::string& path, const std::string& text);
// Creates a folder and its parents; fine when it exists.
void makeFolders(const std::string& path);

std::vector<uint8_t> bytesOf(const std::string& text);
// Hex digests computed by sha256sum / md5sum; throw std::runtime_error when those fail.
std::string sha256Hex(const std::vector<uint8_t>& bytes);
std::string md5Hex(const std::vector<uint8_t>& bytes);

// Where two byte strings first differ, for failure messages ("" when equal).
std::string firstDifference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual);

}  // namespace testenv
