// A scratch folder for fuzz targets that must hand their bytes over as files,
// and the text a report writes, caught in memory.
#pragma once

#include <stdio.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzz {

inline const std::string& scratchFolder() {
    static const std::string folder = [] {
        std::string pattern = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + std::string("/tessaryn-fuzz-XXXXXX");
        if (!mkdtemp(&pattern[0])) std::abort();
        return pattern;
    }();
    return folder;
}

inline std::string writeScratchFile(const char* name, const uint8_t* data, size_t size) {
    std::string path = scratchFolder() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
    return path;
}

inline std::string readWholeFile(const std::string& path) {
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[65536];
        for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, got);
        std::fclose(file);
    }
    return bytes;
}

template <class Write>
std::string writtenText(Write write) {
    char* text = nullptr;
    size_t length = 0;
    FILE* out = open_memstream(&text, &length);
    if (!out) std::abort();
    write(out);
    if (std::fclose(out) != 0) std::abort();
    std::string written(text, length);
    std::free(text);
    return written;
}

}  // namespace fuzz
