// Test media made by ffmpeg from a synthetic tone, and ffmpeg's verdict on tracks.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "tests/tools/testkit.h"

namespace testkit {

std::string ffmpegTone(uint32_t rate, int channels, double seconds, const std::vector<std::string>& muxOptions,
                       const std::string& cacheDir, const std::vector<std::string>& moreInputs) {
    char name[64];
    std::snprintf(name, sizeof name, "tone-%u-%d-%.3f", static_cast<unsigned>(rate), channels, seconds);
    std::string path = cacheDir + "/" + name;
    std::vector<std::string> options;  // other inputs by their file name
    for (const std::string& input : moreInputs) options.push_back(std::filesystem::path(input).filename().string());
    options.insert(options.end(), muxOptions.begin(), muxOptions.end());
    for (const std::string& option : options)
        for (char c : option) path += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    if (exists(path)) return path;
    std::filesystem::create_directories(cacheDir);
    std::snprintf(name, sizeof name, "sine=frequency=440:beep_factor=3:sample_rate=%u:duration=%.3f", static_cast<unsigned>(rate), seconds);
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", name};
    argv.insert(argv.end(), moreInputs.begin(), moreInputs.end());
    argv.insert(argv.end(), {"-ac", std::to_string(channels), "-c:a", "aac", "-b:a", "32k", "-fflags", "+bitexact", "-flags:a", "+bitexact"});
    argv.insert(argv.end(), muxOptions.begin(), muxOptions.end());
    // A private name, then a rename: tests running side by side never see half a file.
    const std::string partial = path + ".part" + std::to_string(::getpid());
    argv.push_back(partial);
    Ran ran = run(Run{argv});
    if (ran.exitCode != 0 || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        throw std::runtime_error("ffmpeg could not make " + path + ": " + ran.err);
    }
    return path;
}

// ADTS taken apart: the first header gives the configuration, each payload a frame.
AacStream encodeTone(uint32_t rate, double seconds, const std::string& cacheDir, int channels) {
    const Bytes adts = readFile(ffmpegTone(rate, channels, seconds, {"-f", "adts"}, cacheDir));
    AacStream stream;
    stream.rate = rate;
    for (std::size_t at = 0; at + 7 <= adts.size();) {
        const uint8_t* h = &adts[at];
        const std::size_t length = (std::size_t{h[3] & 3u} << 11) | (std::size_t{h[4]} << 3) | (h[5] >> 5);
        const std::size_t header = (h[1] & 1) ? 7 : 9;
        if (h[0] != 0xFF || (h[1] & 0xF0) != 0xF0 || length <= header || at + length > adts.size())
            throw std::runtime_error("ADTS frame at byte " + std::to_string(at) + " is broken");
        if (stream.frames.empty()) {
            stream.channels = static_cast<uint8_t>((h[2] & 1) << 2 | h[3] >> 6);
            const uint32_t bits = ((h[2] >> 6) + 1u) << 11 | ((h[2] >> 2) & 15u) << 7 | uint32_t{stream.channels} << 3;
            stream.config = {static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
        }
        stream.frames.emplace_back(h + header, h + length);
        at += length;
    }
    if (stream.frames.empty()) throw std::runtime_error("ffmpeg wrote no ADTS frames");
    return stream;
}

namespace {

Bytes ffmpegOut(std::vector<std::string> argv, std::string& error) {
    Ran ran = run(Run{argv});
    error = ran.exitCode == 0 ? ran.err : "ffmpeg exited with " + std::to_string(ran.exitCode) + ": " + ran.err;
    return bytesOf(ran.out);
}

}  // namespace

Bytes decodeToPcm(const std::string& path, std::string& error) {
    return ffmpegOut({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "s16le", "-"}, error);
}

Bytes audioPackets(const std::string& path, std::string& error) {
    return ffmpegOut({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a", "-c", "copy", "-f", "data", "-"}, error);
}

}  // namespace testkit
