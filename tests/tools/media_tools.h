// The real peers our end-to-end tests consult: ffmpeg decodes tracks, GNU tar
// lists and extracts packages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testenv {

// Empty when ffmpeg and GNU tar are on the PATH, else a sentence that says what is missing.
std::string missingPeers();

struct DecodedAudio {
    bool ok = false;
    std::string error;          // ffmpeg's complaints (with -v error), also when ok
    std::vector<uint8_t> pcm;   // interleaved signed 16-bit little-endian samples
};
// `ffmpeg -v error -i path -f s16le -`.
DecodedAudio decodeToPcm(const std::string& path);

struct TarListing {
    bool ok = false;
    std::string error;
    std::vector<std::string> lines;  // one `tar -tvf` line per member
};
// `tar -tvf` with TZ=UTC, so listed times don't depend on the machine.
TarListing listWithTar(const std::string& archive);
// `tar -xf archive -C folder`; returns tar's complaints ("" on success).
std::string extractWithTar(const std::string& archive, const std::string& folder);

}  // namespace testenv
