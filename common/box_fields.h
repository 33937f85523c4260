// Where the fields of the standard boxes lie that the packer edits and both
// programs read, counted from the box's first byte (its size). Where version 1
// of a box widens its times to 64 bits, the fields after them have a place for
// each version. Offsets inside a table entry are counted from the entry.
#pragma once

#include <cstdint>

// Every full box: a version byte, then 24 flag bits, after the header.
namespace FullBox {
constexpr uint32_t kVersion = 8;
constexpr uint32_t kVersionAndFlags = 8;  // one 32-bit word
constexpr uint32_t kBody = 12;
}  // namespace FullBox

// tkhd: creation and modification times, then the track's ID.
namespace Tkhd {
constexpr uint32_t kTrackIdV0 = 20;
constexpr uint32_t kTrackIdV1 = 28;
}  // namespace Tkhd

// mdhd: creation and modification times, then the media's timescale.
namespace Mdhd {
constexpr uint32_t kTimescaleV0 = 20;
constexpr uint32_t kTimescaleV1 = 28;
}  // namespace Mdhd

// hdlr: a pre-defined word, then the handler type (soun, text, vide ...).
namespace Hdlr {
constexpr uint32_t kHandlerType = 16;
}  // namespace Hdlr

// stsd: the entry count, then the sample entries, each a box of its own.
namespace Stsd {
constexpr uint32_t kFirstEntry = 16;
constexpr uint32_t kFirstEntryType = 20;
}  // namespace Stsd

// stts: entries of a sample count and the duration of each of those samples.
namespace Stts {
constexpr uint32_t kEntryCount = 12;
constexpr uint32_t kEntries = 16;
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kSampleCount = 0;
constexpr uint32_t kSampleDelta = 4;
}  // namespace Stts

// stsc: entries of the first chunk they cover, its samples per chunk and the
// sample description index.
namespace Stsc {
constexpr uint32_t kEntryCount = 12;
constexpr uint32_t kEntries = 16;
constexpr uint32_t kEntrySize = 12;
constexpr uint32_t kFirstChunk = 0;
constexpr uint32_t kSamplesPerChunk = 4;
constexpr uint32_t kDescriptionIndex = 8;
}  // namespace Stsc

// stsz: one size for every sample (0: each has its own), the sample count,
// then the sizes.
namespace Stsz {
constexpr uint32_t kSampleSize = 12;
constexpr uint32_t kSampleCount = 16;
constexpr uint32_t kEntries = 20;
constexpr uint32_t kEntrySize = 4;
}  // namespace Stsz

// stco: 32-bit chunk offsets after their count.
namespace Stco {
constexpr uint32_t kEntryCount = 12;
constexpr uint32_t kEntries = 16;
constexpr uint32_t kEntrySize = 4;
}  // namespace Stco

// co64: laid out as stco, with 64-bit offsets.
namespace Co64 {
constexpr uint32_t kEntrySize = 8;
}  // namespace Co64

// stss: the numbers of the sync samples, laid out as stco.
namespace Stss {
constexpr uint32_t kEntrySize = 4;
}  // namespace Stss

// elst: edits of a segment duration, a media time (-1: an empty edit) and a
// rate; version 1 has a 64-bit duration and media time.
namespace Elst {
constexpr uint32_t kEntryCount = 12;
constexpr uint32_t kEntries = 16;
constexpr uint32_t kEntrySizeV0 = 12;
constexpr uint32_t kEntrySizeV1 = 20;
constexpr uint32_t kMediaTimeV0 = 4;
constexpr uint32_t kMediaTimeV1 = 8;
}  // namespace Elst

// tfhd: the track's ID, then the fields its flags announce, the 64-bit base
// data offset first.
namespace Tfhd {
constexpr uint32_t kTrackId = 12;
constexpr uint32_t kBaseDataOffset = 16;
constexpr uint32_t kBaseDataOffsetPresent = 0x000001;  // flag
constexpr uint32_t kDefaultBaseIsMoof = 0x020000;      // flag
}  // namespace Tfhd

// trun: the sample count, then the fields its flags announce: the signed data
// offset, the first sample's flags, then 4 bytes per sample for each of
// duration, size, flags and composition time offset.
namespace Trun {
constexpr uint32_t kSampleCount = 12;
constexpr uint32_t kDataOffset = 16;
constexpr uint32_t kDataOffsetPresent = 0x000001;        // flag
constexpr uint32_t kFirstSampleFlagsPresent = 0x000004;  // flag
constexpr uint32_t kSampleDurationsPresent = 0x000100;   // flag
constexpr uint32_t kSampleSizesPresent = 0x000200;       // flag
constexpr uint32_t kCompositionOffsetsPresent = 0x000800;  // flag, the last per-sample field
constexpr uint32_t kPerSampleFieldSize = 4;
}  // namespace Trun

// tfra: the track's ID, the byte lengths of the three numbers of an entry, the
// entry count, then the entries: time and moof offset (32 bits each, 64 in
// version 1), then the track fragment, run and sample numbers.
namespace Tfra {
constexpr uint32_t kTrackId = 12;
constexpr uint32_t kLengthSizes = 16;
constexpr uint32_t kEntryCount = 20;
constexpr uint32_t kFirstEntry = 24;
constexpr uint32_t kEntryTime = 0;
constexpr uint32_t kEntryMoofOffsetV0 = 4;
constexpr uint32_t kEntryNumbersV0 = 8;
}  // namespace Tfra

// mfro: the size of the mfra box it closes.
namespace Mfro {
constexpr uint32_t kMfraSize = 12;
constexpr uint32_t kBoxSize = 16;
}  // namespace Mfro
