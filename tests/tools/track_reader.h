// Our own reader of a 3GPP2 track, written apart from the packer so it can judge
// the packer's output: the top-level boxes, the ioed box and its clip slots, the
// movie box's sample table, every fragment's runs, and the fragment index. It
// reads any track (input or conditioned); it never reads outside the bytes held,
// and it collects what it can't make sense of as problems.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testtrack {

struct TopBox {
    std::string type;       // "moov", "uuid", ...
    std::string uuidType;   // first four bytes of a uuid box's extended type ("cpgd", "ioed"), else empty
    uint32_t offset = 0;
    uint32_t size = 0;
};

struct ClipSlot {
    std::string name;        // the text of the 32-byte name field, up to its first zero byte
    uint32_t boxOffset = 0;
    uint8_t fragmentNumber = 0;
    uint8_t runNumber = 0;
    uint8_t sampleNumber = 0;
    uint32_t length = 0;
    uint32_t constant1 = 0;  // 1 in every slot
    uint32_t constant2 = 0;  // 65 in every slot
    bool untouched = false;  // all bytes as in the empty template slot
};

struct IoedBox {
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t flagWord1 = 0;
    uint32_t flagWord2 = 0;
    uint8_t slotCount = 0;
    std::vector<ClipSlot> slots;  // the 51-byte slots the box holds
};

struct ChunkRun {
    uint32_t firstChunk = 0;
    uint32_t samplesPerChunk = 0;
    uint32_t descriptionIndex = 0;
};

struct MovieBox {
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t timescale = 0;
    bool bitratesFound = false;
    uint32_t maxBitrate = 0;
    uint32_t avgBitrate = 0;
    std::vector<std::string> sampleTableChildren;              // types in order
    std::vector<std::pair<uint32_t, uint32_t>> timeToSample;  // (count, delta)
    std::vector<ChunkRun> sampleToChunk;
    std::vector<uint32_t> chunkOffsets;
    std::optional<std::vector<uint32_t>> syncSamples;          // none without an stss box
    std::vector<uint32_t> sampleSizes;

    uint32_t sampleCount() const;
    // Samples per chunk, one number per chunk offset.
    std::vector<uint32_t> samplesPerChunk() const;
};

struct FragmentRun {
    uint32_t flags = 0;
    int32_t dataOffset = 0;
    uint32_t sampleCount = 0;
    std::vector<uint32_t> sampleSizes;  // one per sample when the run lists sizes
};

struct Fragment {
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t headerFlags = 0;        // tfhd flags
    uint64_t baseDataOffset = 0;     // 0 unless the tfhd carries one
    uint32_t trafCount = 0;
    std::vector<FragmentRun> runs;

    uint32_t sampleCount() const;
};

struct IndexEntry {
    uint32_t time = 0;
    uint32_t moofOffset = 0;
    uint32_t fragmentNumber = 0;
    uint32_t runNumber = 0;
    uint32_t sampleNumber = 0;
};

struct FragmentIndex {
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t trackId = 0;
    uint32_t closingSize = 0;  // what the mfro box says the index measures
    std::vector<IndexEntry> entries;
};

struct Track {
    std::vector<uint8_t> bytes;
    std::vector<TopBox> boxes;
    std::vector<uint8_t> trailing;       // bytes after the last whole box
    std::optional<IoedBox> ioed;         // the first uuid box of type ioed
    std::optional<MovieBox> movie;       // the first moov
    std::vector<Fragment> fragments;     // every moof, in order
    std::optional<FragmentIndex> index;  // the last mfra
    std::vector<std::string> problems;

    // Types of the top-level boxes, uuid boxes written as "uuid:cpgd".
    std::vector<std::string> boxTypes() const;
    std::string report() const;
};

Track readTrack(const std::vector<uint8_t>& bytes);

}  // namespace testtrack
