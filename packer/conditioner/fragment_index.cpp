#include "packer/conditioner/fragment_index.h"

using box::writeU32;

namespace {

constexpr uint32_t kEntrySize = 11;
constexpr uint32_t kIndexFrameSize = 48;  // mfra and tfra headers, tfra fields, mfro

uint8_t* putEntry(uint8_t* to, const IndexEntry& entry) {
    writeU32(to, entry.time);
    writeU32(to + 4, entry.moofOffset);
    to[8] = entry.trackFragment;
    to[9] = entry.runNumber;
    to[10] = entry.sampleNumber;
    return to + kEntrySize;
}

}  // namespace

std::vector<uint8_t> BuildFragmentIndex(const std::vector<IndexEntry>& entries) {
    const uint32_t count = static_cast<uint32_t>(entries.size());
    const uint32_t indexSize = count * kEntrySize + kIndexFrameSize;
    std::vector<uint8_t> bytes(indexSize);
    uint8_t* to = box::writeHeader(bytes.data(), indexSize, "mfra");
    to = box::writeHeader(to, count * kEntrySize + 24, "tfra");
    writeU32(to, 0);       // version 0, flags 0
    writeU32(to + 4, 1);   // track 1
    writeU32(to + 8, 0);   // time and offset of 32 bits, one-byte numbers
    writeU32(to + 12, count);
    to += 16;
    for (const IndexEntry& entry : entries) to = putEntry(to, entry);
    to = box::writeHeader(to, 16, "mfro");
    writeU32(to, 0);
    writeU32(to + 4, indexSize);
    return bytes;
}

uint32_t WriteFragmentIndex(OutputFile& output, const std::vector<IndexEntry>& entries) {
    const std::vector<uint8_t> bytes = BuildFragmentIndex(entries);
    output.write(bytes.data(), bytes.size());
    return static_cast<uint32_t>(bytes.size());
}
