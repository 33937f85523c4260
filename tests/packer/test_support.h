// The packer tests' view of the shared test files helpers: folders addressed
// with "/", and whole files as text.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tests/tools/test_files.h"

namespace packertest {

class TempFolder : public testenv::TempFolder {
public:
    TempFolder() : testenv::TempFolder("tessaryn-test") {}
    std::string operator/(const std::string& name) const { return file(name); }
};

inline void writeFile(const std::string& path, const std::string& bytes) { testenv::writeFile(path, bytes); }

// Anything at the path: a file, a folder or a device.
inline bool fileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

// The whole file as text; empty when there is no such file.
inline std::string readFile(const std::string& path) {
    if (!testenv::fileExists(path)) return std::string();
    std::vector<uint8_t> bytes = testenv::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// index.txt of the worked example: all five members, the track conditioned to 300,072 bytes.
inline const char kWorkedExampleIndexText[] =
    "KDDIMU01\r\n"
    "config.txt,0       ,60,text/plain\r\n"
    "music.3g2,1024    ,300072,audio/3gpp2\r\n"
    "jacket.jpg,302080  ,10000,image/jpeg\r\n"
    "description.txt,312832  ,200,text/plain\r\n"
    "wallpaper.jpg,313856  ,20000,image/jpeg\r\n";

}  // namespace packertest
