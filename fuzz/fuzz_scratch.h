// A scratch folder for fuzz targets that must hand their bytes over as files,
// the text a report writes, caught in memory, and the track check's verdict.
#pragma once

#include <stdio.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "packer/inspect/track_check.h"

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

// The track check's last line: "ok", or the first problem it met.
inline std::string trackVerdict(const std::vector<uint8_t>& track) {
    std::string lines = writtenText([&track](FILE* out) {
        CheckReport report(out);
        CheckMusicTrack(track, report);
        report.Finish();
    });
    lines.pop_back();
    return lines.substr(lines.rfind('\n') + 1);
}

}  // namespace fuzz
