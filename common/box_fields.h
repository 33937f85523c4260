// Where the fields of the standard boxes lie that the packer edits and both
// programs read, counted from the box's first byte (its size). Where version 1
// of a box widens its times to 64 bits, the fields after them have a place for
// each version. Offsets inside a table entry are counted from the entry.
#pragma once

#include <cstdint>

// Every full box: a version byte, then 24 flag bits, after the header.
namespace FullBox {
constexpr uint32_t kVersion = 8, kVersionAndFlags = 8, kBody = 12;  // version and flags: one 32-bit word
}  // namespace FullBox

// tkhd: creation and modification times, then the track's ID.
namespace Tkhd {
constexpr uint32_t kTrackIdV0 = 20, kTrackIdV1 = 28;
}  // namespace Tkhd

// mdhd: creation and modification times, then the media's timescale, its
// duration and language; the whole box of each version.
namespace Mdhd {
constexpr uint32_t kTimescaleV0 = 20, kTimescaleV1 = 28;
constexpr uint32_t kSizeV0 = 32, kSizeV1 = 44;
}  // namespace Mdhd

// hdlr: a pre-defined word, then the handler type (soun, text, vide ...).
namespace Hdlr {
constexpr uint32_t kHandlerType = 16;
}  // namespace Hdlr

// stsd: the entry count, then the sample entries, each a box of its own.
namespace Stsd {
constexpr uint32_t kFirstEntry = 16, kFirstEntryType = 20;
}  // namespace Stsd

// stts: entries of a sample count and the duration of each of those samples.
namespace Stts {
constexpr uint32_t kEntryCount = 12, kEntries = 16, kEntrySize = 8;
constexpr uint32_t kSampleCount = 0, kSampleDelta = 4;  // in an entry
}  // namespace Stts

// stsc: entries of the first chunk they cover, its samples per chunk and the
// sample description index.
namespace Stsc {
constexpr uint32_t kEntryCount = 12, kEntries = 16, kEntrySize = 12;
constexpr uint32_t kFirstChunk = 0, kSamplesPerChunk = 4, kDescriptionIndex = 8;  // in an entry
}  // namespace Stsc

// stsz: one size for every sample (0: each has its own), the sample count,
// then the sizes.
namespace Stsz {
constexpr uint32_t kSampleSize = 12, kSampleCount = 16, kEntries = 20, kEntrySize = 4;
}  // namespace Stsz

// stco: 32-bit chunk offsets after their count; co64 is laid out alike with
// 64-bit offsets, stss with the numbers of the sync samples.
namespace Stco {
constexpr uint32_t kEntryCount = 12, kEntries = 16, kEntrySize = 4;
}  // namespace Stco
namespace Co64 {
constexpr uint32_t kEntrySize = 8;
}  // namespace Co64
namespace Stss {
constexpr uint32_t kEntrySize = 4;
}  // namespace Stss

// elst: edits of a segment duration, a media time (-1: an empty edit) and a
// rate; version 1 has a 64-bit duration and media time.
namespace Elst {
constexpr uint32_t kEntryCount = 12, kEntries = 16, kEntrySizeV0 = 12, kEntrySizeV1 = 20;
constexpr uint32_t kMediaTimeV0 = 4, kMediaTimeV1 = 8;  // in an entry
}  // namespace Elst

// trex (in mvex): a track's ID and the defaults its fragments' samples take:
// description index, duration, size and flags.
namespace Trex {
constexpr uint32_t kTrackId = 12, kDefaultDuration = 20, kDefaultSize = 24, kDefaultFlags = 28, kBoxSize = 32;
}  // namespace Trex

// tfhd: the track's ID, then the fields its flags announce, in this order: the
// 64-bit base data offset, the sample description index, and the default
// duration, size and flags of a sample (4 bytes each).
namespace Tfhd {
constexpr uint32_t kTrackId = 12, kBaseDataOffset = 16, kBaseDataOffsetSize = 8;
constexpr uint32_t kBaseDataOffsetPresent = 0x000001, kDescriptionIndexPresent = 0x000002;  // flags
constexpr uint32_t kDefaultDurationPresent = 0x000008, kDefaultSizePresent = 0x000010, kDefaultFlagsPresent = 0x000020;
constexpr uint32_t kDefaultBaseIsMoof = 0x020000;
}  // namespace Tfhd

// tfdt: the decode time of the track fragment's first sample, 64 bits in version 1.
namespace Tfdt {
constexpr uint32_t kDecodeTime = 12;
}  // namespace Tfdt

// trun: the sample count, then the fields its flags announce: the signed data
// offset, the first sample's flags, then 4 bytes per sample for each of
// duration, size, flags and composition time offset (the last per-sample field).
namespace Trun {
constexpr uint32_t kSampleCount = 12, kDataOffset = 16, kPerSampleFieldSize = 4;
constexpr uint32_t kDataOffsetPresent = 0x000001, kFirstSampleFlagsPresent = 0x000004;  // flags
constexpr uint32_t kSampleDurationsPresent = 0x000100, kSampleSizesPresent = 0x000200, kSampleFlagsPresent = 0x000400;
constexpr uint32_t kCompositionOffsetsPresent = 0x000800;
}  // namespace Trun

// sidx: the reference ID, the timescale, the earliest presentation time and the
// offset of the first referenced byte from the end of the sidx (32 bits each,
// 64 in version 1), 16 reserved bits and the reference count, then the
// references: a type bit (1: another sidx) with the 31-bit referenced size,
// the subsegment's duration and its stream access point. The count is 16 bits.
namespace Sidx {
constexpr uint32_t kFirstOffsetV0 = 24, kReferenceCountV0 = 30, kReferencesV0 = 32;
constexpr uint32_t kFirstOffsetV1 = 28, kReferenceCountV1 = 38, kReferencesV1 = 40;
constexpr uint32_t kReferenceSize = 12, kReferencedSizeMask = 0x7FFFFFFF;
}  // namespace Sidx

// tfra: the track's ID, the byte lengths of the three numbers of an entry, the
// entry count, then the entries: time and moof offset (32 bits each, 64 in
// version 1), then the track fragment, run and sample numbers.
namespace Tfra {
constexpr uint32_t kTrackId = 12, kLengthSizes = 16, kEntryCount = 20, kFirstEntry = 24;
constexpr uint32_t kEntryTime = 0, kEntryMoofOffsetV0 = 4, kEntryNumbersV0 = 8;  // in an entry
constexpr uint32_t kEntryMoofOffsetV1 = 8, kEntryNumbersV1 = 16;
}  // namespace Tfra

// mfro: the size of the mfra box it closes.
namespace Mfro {
constexpr uint32_t kMfraSize = 12, kBoxSize = 16;
}  // namespace Mfro
