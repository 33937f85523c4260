#include "common/fragment_samples.h"

#include <bitset>

using box::FlagsOf;
using box::ReadU32;
using box::Span;

namespace {

constexpr uint32_t kPerSampleFields = Trun::kSampleDurationsPresent | Trun::kSampleSizesPresent |
                                      Trun::kSampleFlagsPresent | Trun::kCompositionOffsetsPresent;

std::optional<uint32_t> NonZero(uint32_t duration) {
    return duration ? std::optional<uint32_t>(duration) : std::nullopt;
}

uint32_t FieldsAnnounced(uint32_t flags, uint32_t mask) { return static_cast<uint32_t>(std::bitset<32>(flags & mask).count()); }

// The tfhd's base data offset and defaults (over the trex's); false when the
// box is shorter than the fields its flags announce.
bool ReadTfhd(const uint8_t* moof, Span tfhd, const SampleDefaults& trex, std::optional<uint64_t>* base,
              SampleDefaults* defaults) {
    if (tfhd.size < Tfhd::kBaseDataOffset) return false;
    const uint32_t flags = FlagsOf(moof, tfhd);
    const uint32_t defaultFields = Tfhd::kDefaultDurationPresent | Tfhd::kDefaultSizePresent | Tfhd::kDefaultFlagsPresent;
    const uint32_t needed = Tfhd::kBaseDataOffset + (flags & Tfhd::kBaseDataOffsetPresent ? Tfhd::kBaseDataOffsetSize : 0) +
                            4 * FieldsAnnounced(flags, Tfhd::kDescriptionIndexPresent | defaultFields);
    if (tfhd.size < needed) return false;
    const uint8_t* field = moof + tfhd.offset + Tfhd::kBaseDataOffset;
    if (flags & Tfhd::kBaseDataOffsetPresent) *base = box::ReadU64(field), field += Tfhd::kBaseDataOffsetSize;
    if (flags & Tfhd::kDescriptionIndexPresent) field += 4;
    *defaults = trex;
    if (flags & Tfhd::kDefaultDurationPresent) {
        if (ReadU32(field) != 0) defaults->duration = ReadU32(field);  // 0: none, the trex's stands
        field += 4;
    }
    if (flags & Tfhd::kDefaultSizePresent) defaults->size = ReadU32(field), field += 4;
    if (flags & Tfhd::kDefaultFlagsPresent) defaults->flags = ReadU32(field);
    return true;
}

// The defaults of the trex of the tfhd's track; none when it has no trex.
SampleDefaults TrexOf(const uint8_t* moof, Span tfhd, const std::vector<TrackDefaults>& tracks) {
    if (tfhd.size < Tfhd::kTrackId + 4) return SampleDefaults{};
    const uint32_t trackId = ReadU32(moof + tfhd.offset + Tfhd::kTrackId);
    for (const TrackDefaults& track : tracks) {
        if (track.trackId == trackId) return track.defaults;
    }
    return SampleDefaults{};
}

std::optional<uint64_t> DecodeTimeOf(const uint8_t* moof, Span tfdt) {
    const bool wide = box::Found(tfdt) && moof[tfdt.offset + FullBox::kVersion] == 1;
    if (tfdt.size < Tfdt::kDecodeTime + (wide ? 8 : 4)) return std::nullopt;
    const uint8_t* time = moof + tfdt.offset + Tfdt::kDecodeTime;
    return wide ? box::ReadU64(time) : ReadU32(time);
}

// Where the next run's samples start when it gives no data offset, and how
// far the samples read so far agree with one another.
struct RunCursor {
    int64_t base = 0;
    int64_t next = 0;
    bool first = true;
    bool compositionOffsetsSeen = false;
    FragmentReading reading = FragmentReading::Read;
};

FragmentSample SampleAt(const uint8_t* fields, uint32_t runFlags, std::optional<uint32_t> firstFlags,
                        const TrackFragmentSamples& read, uint32_t unknownDuration) {
    const SampleDefaults& defaults = read.defaults;
    FragmentSample sample;
    sample.duration = defaults.duration.value_or(unknownDuration);
    sample.size = defaults.size.value_or(0);
    sample.flags = defaults.flags.value_or(0);
    std::optional<uint32_t> ownFlags = firstFlags;
    if (runFlags & Trun::kSampleDurationsPresent) {
        sample.duration = ReadU32(fields), fields += 4;
        sample.durationIsDefault = sample.duration == defaults.duration;
    }
    if (runFlags & Trun::kSampleSizesPresent) sample.size = ReadU32(fields), fields += 4;
    if (runFlags & Trun::kSampleFlagsPresent) ownFlags = ReadU32(fields), fields += 4;
    if (runFlags & Trun::kCompositionOffsetsPresent) sample.compositionOffset = ReadU32(fields);
    if (ownFlags) {
        sample.flags = *ownFlags;
        sample.flagsAreDefault = sample.flags == defaults.flags;
    }
    return sample;
}

FragmentReading ReadRun(const uint8_t* moof, Span run, uint32_t unknownDuration, RunCursor& cursor,
                        TrackFragmentSamples& read) {
    const uint32_t flags = FlagsOf(moof, run);
    const uint32_t fieldsAt = Trun::kDataOffset + 4 * FieldsAnnounced(flags, Trun::kDataOffsetPresent | Trun::kFirstSampleFlagsPresent);
    const uint32_t perSample = 4 * FieldsAnnounced(flags, kPerSampleFields);
    if (run.size < fieldsAt) return FragmentReading::Unreadable;
    const uint8_t* bytes = moof + run.offset;
    const uint32_t count = ReadU32(bytes + Trun::kSampleCount);
    if (uint64_t{count} * perSample > run.size - fieldsAt) return FragmentReading::Unreadable;
    if (read.samples.size() + count > kMostFragmentSamples) return FragmentReading::TooManySamples;
    if (!(flags & Trun::kSampleSizesPresent) && !read.defaults.size) return FragmentReading::Unreadable;
    if (flags & Trun::kCompositionOffsetsPresent) {
        // Version 1 signs the offsets: runs that read them apart can't be merged.
        const uint32_t version = bytes[FullBox::kVersion];
        if (cursor.compositionOffsetsSeen && read.compositionVersion != version) return FragmentReading::Unreadable;
        read.compositionVersion = version;
        cursor.compositionOffsetsSeen = true;
    }
    if (!(flags & Trun::kSampleDurationsPresent) && !read.defaults.duration && count != 0) read.durationsKnown = false;
    int64_t start = cursor.next;
    if (flags & Trun::kDataOffsetPresent)
        start = cursor.base + static_cast<int32_t>(ReadU32(bytes + Trun::kDataOffset));
    if (start < 0) return FragmentReading::Unreadable;
    if (cursor.first) read.dataStart = static_cast<uint64_t>(start);
    if (!cursor.first && start != cursor.next) cursor.reading = FragmentReading::SamplesApart;
    std::optional<uint32_t> firstFlags;
    if (flags & Trun::kFirstSampleFlagsPresent) firstFlags = ReadU32(bytes + fieldsAt - 4);
    read.samples.reserve(read.samples.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        read.samples.push_back(SampleAt(bytes + fieldsAt + perSample * i, flags, i == 0 ? firstFlags : std::nullopt, read,
                                        unknownDuration));
        start += read.samples.back().size;
    }
    read.runSamples.push_back(count);
    cursor.next = start;
    cursor.first = false;
    return FragmentReading::Read;
}

}  // namespace

std::vector<TrackDefaults> ReadTrackDefaults(const uint8_t* buffer, Span moov) {
    std::vector<TrackDefaults> tracks;
    const Span mvex = box::FindChild(buffer, moov, "mvex");
    box::ChildWalk walk(buffer, mvex);
    while (box::Found(mvex) && walk.Next()) {
        const Span trex = walk.Current();
        if (!walk.CurrentIs("trex") || trex.size < Trex::kBoxSize) continue;
        const uint8_t* bytes = buffer + trex.offset;
        tracks.push_back(TrackDefaults{ReadU32(bytes + Trex::kTrackId),
                                       SampleDefaults{NonZero(ReadU32(bytes + Trex::kDefaultDuration)),
                                                      ReadU32(bytes + Trex::kDefaultSize), ReadU32(bytes + Trex::kDefaultFlags)}});
    }
    return tracks;
}

FragmentReading ReadTrackFragment(const uint8_t* moof, Span traf, uint64_t moofAt, const std::vector<TrackDefaults>& tracks,
                                  uint32_t unknownDuration, TrackFragmentSamples& read) {
    read.tfhd = box::FindChild(moof, traf, "tfhd");
    read.decodeTime = DecodeTimeOf(moof, box::FindChild(moof, traf, "tfdt"));
    std::optional<uint64_t> base;
    if (!box::Found(read.tfhd) || !ReadTfhd(moof, read.tfhd, TrexOf(moof, read.tfhd, tracks), &base, &read.defaults))
        return FragmentReading::Unreadable;
    const uint64_t origin = base.value_or(moofAt);
    if (origin > UINT32_MAX) return FragmentReading::Unreadable;  // no byte of a track the packer takes
    RunCursor cursor;
    cursor.base = cursor.next = static_cast<int64_t>(origin);
    box::ChildWalk walk(moof, traf);
    while (walk.Next()) {
        if (!walk.CurrentIs("trun")) continue;
        const Span run = walk.Current();
        if (box::Found(read.lastRun) && run.offset != read.lastRun.End()) cursor.reading = FragmentReading::BoxBetweenRuns;
        if (!box::Found(read.firstRun)) read.firstRun = run;
        read.lastRun = run;
        const FragmentReading runRead = ReadRun(moof, run, unknownDuration, cursor, read);
        if (runRead != FragmentReading::Read) return runRead;
    }
    if (box::Found(read.firstRun) && read.firstRun.offset < read.tfhd.offset) return FragmentReading::Unreadable;
    return cursor.reading;
}
