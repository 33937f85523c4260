// AAC streams for test tracks: real frames that ffmpeg encodes from a synthetic
// tone (an ADTS file taken apart into raw frames), or placeholder frames.
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "tests/tools/process.h"
#include "tests/tools/test_files.h"
#include "tests/tools/track_builder.h"

namespace testtrack {
namespace {

constexpr uint32_t kSampleRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};
constexpr uint8_t kAacLowComplexity = 2;

uint8_t sampleRateIndex(uint32_t sampleRate) {
    for (uint8_t i = 0; i < sizeof kSampleRates / sizeof kSampleRates[0]; ++i) {
        if (kSampleRates[i] == sampleRate) return i;
    }
    throw std::invalid_argument("no AAC sampling frequency index for " + std::to_string(sampleRate) + " Hz");
}

std::vector<uint8_t> audioSpecificConfig(uint8_t objectType, uint8_t rateIndex, uint8_t channels) {
    uint16_t bits = static_cast<uint16_t>((objectType << 11) | (rateIndex << 7) | (channels << 3));
    return {static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
}

std::string cachedTonePath(uint32_t sampleRate, double seconds, const std::string& workDir) {
    char name[96];
    std::snprintf(name, sizeof name, "tone-%u-%.3f.aac", static_cast<unsigned>(sampleRate), seconds);
    return workDir + "/" + name;
}

void encodeToneWithFfmpeg(uint32_t sampleRate, double seconds, const std::string& target) {
    char source[128];
    std::snprintf(source, sizeof source, "sine=frequency=440:beep_factor=3:sample_rate=%u:duration=%.3f",
                  static_cast<unsigned>(sampleRate), seconds);
    // A private name first, then a rename: tests running side by side never see half a file.
    std::string partial = target + ".part" + std::to_string(::getpid());
    testenv::ProcessResult result = testenv::runProcess({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", source,
                                                         "-ac", "1", "-c:a", "aac", "-b:a", "32k", "-fflags", "+bitexact",
                                                         "-flags:a", "+bitexact", "-f", "adts", partial});
    if (result.exitCode != 0) {
        std::remove(partial.c_str());
        throw std::runtime_error("ffmpeg could not encode a tone: " + result.err);
    }
    if (std::rename(partial.c_str(), target.c_str()) != 0) throw std::runtime_error("cannot rename " + partial);
}

// Takes an ADTS stream apart: header fields into the stream's configuration, payloads into frames.
AacStream parseAdts(const std::vector<uint8_t>& adts, uint32_t sampleRate) {
    AacStream stream;
    stream.sampleRate = sampleRate;
    std::size_t at = 0;
    while (at + 7 <= adts.size()) {
        const uint8_t* h = adts.data() + at;
        if (h[0] != 0xFF || (h[1] & 0xF0) != 0xF0) throw std::runtime_error("ADTS sync lost at byte " + std::to_string(at));
        bool hasCrc = (h[1] & 0x01) == 0;
        uint8_t objectType = static_cast<uint8_t>((h[2] >> 6) + 1);
        uint8_t rateIndex = static_cast<uint8_t>((h[2] >> 2) & 0x0F);
        uint8_t channels = static_cast<uint8_t>(((h[2] & 0x01) << 2) | (h[3] >> 6));
        std::size_t frameLength = (std::size_t{h[3] & 0x03u} << 11) | (std::size_t{h[4]} << 3) | (h[5] >> 5);
        std::size_t headerLength = hasCrc ? 9 : 7;
        if (frameLength <= headerLength || at + frameLength > adts.size()) {
            throw std::runtime_error("ADTS frame at byte " + std::to_string(at) + " is cut short");
        }
        if (stream.frames.empty()) {
            stream.channels = channels;
            stream.audioSpecificConfig = audioSpecificConfig(objectType, rateIndex, channels);
        }
        stream.frames.emplace_back(h + headerLength, h + frameLength);
        at += frameLength;
    }
    if (stream.frames.empty()) throw std::runtime_error("no ADTS frames");
    return stream;
}

}  // namespace

AacStream encodeTone(uint32_t sampleRate, double seconds, const std::string& workDir) {
    sampleRateIndex(sampleRate);
    testenv::makeFolders(workDir);
    std::string path = cachedTonePath(sampleRate, seconds, workDir);
    if (!testenv::fileExists(path)) encodeToneWithFfmpeg(sampleRate, seconds, path);
    return parseAdts(testenv::readFile(path), sampleRate);
}

AacStream fakeFrames(uint32_t sampleRate, std::size_t count, uint32_t seed) {
    AacStream stream;
    stream.sampleRate = sampleRate;
    stream.channels = 1;
    stream.audioSpecificConfig = audioSpecificConfig(kAacLowComplexity, sampleRateIndex(sampleRate), 1);
    uint32_t state = seed * 2654435761u + 1;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (std::size_t i = 0; i < count; ++i) {
        std::vector<uint8_t> frame(40 + next() % 360);
        for (uint8_t& byte : frame) byte = static_cast<uint8_t>(next());
        stream.frames.push_back(std::move(frame));
    }
    return stream;
}

}  // namespace testtrack
