// A builder of 3GPP2 music tracks in the layouts the packer expects, for tests
// and for the example song: a movie box whose sample table describes the first
// samples, optionally followed by movie fragments that carry the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testtrack {

struct AacStream {
    uint32_t sampleRate = 22050;
    uint8_t channels = 1;
    std::vector<uint8_t> audioSpecificConfig;        // 2 bytes for AAC-LC
    std::vector<std::vector<uint8_t>> frames;        // raw AAC frames (no ADTS header)
};

// Real AAC frames: ffmpeg encodes a synthetic tone (lavfi sine) to ADTS in workDir
// (reused when already there), parsed into frames. Throws std::runtime_error when
// ffmpeg fails or its output can't be parsed.
AacStream encodeTone(uint32_t sampleRate, double seconds, const std::string& workDir);
// Placeholder frames of varying sizes (deterministic from the seed) for structure tests that need no decoder.
AacStream fakeFrames(uint32_t sampleRate, std::size_t count, uint32_t seed = 1);

struct TrackLayout {
    uint32_t moovSamples = 0;                        // samples described by the movie box; their mdat follows the moov
    std::vector<std::vector<uint32_t>> fragments;    // one moof+mdat per entry: the sample counts of its runs
    uint32_t sampleDelta = 1024;
    bool ftyp = true;                                // an ftyp box first (brand 3g2a)
    bool foreignUuid = false;                        // a uuid box of another extended type before the moov
    bool ownIoed = false;                            // a uuid box of extended type ioed before the moov
    bool mediaDataFirst = false;                     // the moov's mdat before the moov
    bool mfraAtEnd = false;                          // an mfra box (tfra+mfro) at the end, indexing the input's fragments
    uint32_t maxBitrate = 128000;
    uint32_t avgBitrate = 32000;
};

// The whole track. Throws std::invalid_argument when the layout asks for more
// samples than the stream holds.
std::vector<uint8_t> buildTrack(const AacStream& stream, const TrackLayout& layout);
// Where buildTrack put things, for checks: the input offset of each moof, and of each sample's bytes.
struct TrackMap { std::vector<uint32_t> moofOffsets; std::vector<uint32_t> sampleOffsets; };
TrackMap mapTrack(const AacStream& stream, const TrackLayout& layout);

// The number of samples a layout takes from the stream: the movie box's, then every run's.
uint32_t samplesUsed(const TrackLayout& layout);
// The frames a layout takes, in track order.
std::vector<std::vector<uint8_t>> framesUsed(const AacStream& stream, const TrackLayout& layout);

}  // namespace testtrack
