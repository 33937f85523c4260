#include "packer/conditioner/fragment_index.h"

#include <algorithm>

using box::WriteU32;

namespace {

// The mfra header, the tfra before its entries and the mfro.
constexpr uint32_t kIndexFrameSize = box::kHeaderSize + Tfra::kFirstEntry + Mfro::kBoxSize;

// One byte for each number while every value fits one, as the handset
// expects, else the smallest of two or four that holds the largest.
uint32_t WidthFor(uint32_t largest) {
    if (largest <= 0xFF) return 1;
    if (largest <= 0xFFFF) return 2;
    return 4;
}

IndexNumberWidths WidthsFor(const std::vector<IndexEntry>& entries) {
    uint32_t trackFragment = 0, run = 0, sample = 0;
    for (const IndexEntry& entry : entries) {
        trackFragment = std::max(trackFragment, entry.trackFragment);
        run = std::max(run, entry.runNumber);
        sample = std::max(sample, entry.sampleNumber);
    }
    return IndexNumberWidths{WidthFor(trackFragment), WidthFor(run), WidthFor(sample)};
}

uint8_t* PutNumber(uint8_t* to, uint32_t value, uint32_t width) {
    for (uint32_t i = width; i-- > 0;) *to++ = static_cast<uint8_t>(value >> (8 * i));
    return to;
}

// Version 0, as the handset expects, while every time fits 32 bits; else
// version 1, whose times and moof offsets are 64 bits.
uint32_t VersionFor(const std::vector<IndexEntry>& entries) {
    for (const IndexEntry& entry : entries) {
        if (entry.time > UINT32_MAX) return 1;
    }
    return 0;
}

uint8_t* PutEntry(uint8_t* to, const IndexEntry& entry, const IndexNumberWidths& widths, uint32_t version) {
    if (version == 1) {
        to = PutNumber(to + Tfra::kEntryTime, static_cast<uint32_t>(entry.time >> 32), 4);
        to = PutNumber(to, static_cast<uint32_t>(entry.time), 4);
        to = PutNumber(to, 0, 4);
        to = PutNumber(to, entry.moofOffset, 4);
    } else {
        to = PutNumber(to + Tfra::kEntryTime, static_cast<uint32_t>(entry.time), 4);
        to = PutNumber(to, entry.moofOffset, 4);
    }
    to = PutNumber(to, entry.trackFragment, widths.trackFragment);
    to = PutNumber(to, entry.runNumber, widths.run);
    return PutNumber(to, entry.sampleNumber, widths.sample);
}

}  // namespace

std::vector<uint8_t> BuildFragmentIndex(const std::vector<IndexEntry>& entries) {
    const IndexNumberWidths widths = WidthsFor(entries);
    const uint32_t version = VersionFor(entries);
    const uint32_t count = static_cast<uint32_t>(entries.size());
    const uint32_t entriesSize = count * widths.EntrySize(version);
    const uint32_t indexSize = entriesSize + kIndexFrameSize;
    std::vector<uint8_t> bytes(indexSize);
    uint8_t* tfra = box::WriteHeader(bytes.data(), indexSize, "mfra");
    box::WriteHeader(tfra, Tfra::kFirstEntry + entriesSize, "tfra");
    WriteU32(tfra + FullBox::kVersionAndFlags, version << 24);
    WriteU32(tfra + Tfra::kTrackId, 1);
    WriteU32(tfra + Tfra::kLengthSizes, widths.LengthSizeWord());
    WriteU32(tfra + Tfra::kEntryCount, count);
    uint8_t* to = tfra + Tfra::kFirstEntry;
    for (const IndexEntry& entry : entries) to = PutEntry(to, entry, widths, version);
    box::WriteHeader(to, Mfro::kBoxSize, "mfro");
    WriteU32(to + FullBox::kVersionAndFlags, 0);
    WriteU32(to + Mfro::kMfraSize, indexSize);
    return bytes;
}

uint32_t WriteFragmentIndex(OutputFile& output, const std::vector<IndexEntry>& entries) {
    const std::vector<uint8_t> bytes = BuildFragmentIndex(entries);
    output.Write(bytes.data(), bytes.size());
    return static_cast<uint32_t>(bytes.size());
}
