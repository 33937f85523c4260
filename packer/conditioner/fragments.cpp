#include "packer/conditioner/fragments.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <optional>

#include "packer/conditioner/pieces.h"

using box::ChildWalk;
using box::FlagsOf;
using box::ReadU32;
using box::Span;
using box::WriteU32;

// A re-cut run lists each sample's size in the WorkBuffer.
static_assert(kMostFragmentSamples * Trun::kPerSampleFieldSize <= kWorkBufferSize);

namespace {

// The handset's run: a data offset and each sample's size, nothing else.
constexpr uint32_t kHandsetRunFlags = Trun::kDataOffsetPresent | Trun::kSampleSizesPresent;
constexpr uint32_t kRunHeaderSize = Trun::kDataOffset + 4;  // its per-sample fields follow the data offset
constexpr uint32_t kLargestTrackFragment = 255;  // a clip slot holds it in one byte

uint32_t SampleCountOf(const uint8_t* buffer, Span run) {
    return run.size < Trun::kSampleCount + 4 ? 0 : ReadU32(buffer + run.offset + Trun::kSampleCount);
}

bool HasBaseDataOffset(const uint8_t* buffer, Span tfhd) {
    return box::Found(tfhd) && tfhd.size >= Tfhd::kBaseDataOffset + 8 &&
           (FlagsOf(buffer, tfhd) & Tfhd::kBaseDataOffsetPresent) != 0;
}

uint64_t BaseDataOffsetOf(const uint8_t* buffer, Span tfhd) { return box::ReadU64(buffer + tfhd.offset + Tfhd::kBaseDataOffset); }

void SetBaseDataOffset(uint8_t* buffer, Span tfhd, uint64_t value) {
    uint8_t* field = buffer + tfhd.offset + Tfhd::kBaseDataOffset;
    WriteU32(field, static_cast<uint32_t>(value >> 32));
    WriteU32(field + 4, static_cast<uint32_t>(value));
}

bool HasDataOffset(const uint8_t* buffer, Span run) {
    return run.size >= Trun::kDataOffset + 4 && (FlagsOf(buffer, run) & Trun::kDataOffsetPresent) != 0;
}

// The track fragment of the music track: the one whose tfhd names its ID, or
// the first when no movie box came before. Numbered from 1; 0 when none is.
uint32_t FindMusicTrackFragment(const ConditionerContext& context, uint32_t size, Span* traf) {
    ChildWalk walk(context.buffer, Span{0, size});
    for (uint32_t number = 1; walk.Next();) {
        if (!walk.CurrentIs("traf")) continue;
        const Span tfhd = box::FindChild(context.buffer, walk.Current(), "tfhd");
        const bool isMusic = !context.musicTrackId ||
                             (tfhd.size >= Tfhd::kTrackId + 4 &&
                              ReadU32(context.buffer + tfhd.offset + Tfhd::kTrackId) == *context.musicTrackId);
        if (isMusic) {
            *traf = walk.Current();
            return number;
        }
        ++number;
    }
    return 0;
}

// ---- Keeping the runs ----

std::vector<Span> RunsOf(const uint8_t* buffer, Span traf) {
    std::vector<Span> runs;
    ChildWalk walk(buffer, traf);
    while (walk.Next()) {
        if (walk.CurrentIs("trun")) runs.push_back(walk.Current());
    }
    return runs;
}

// With a data offset in every run, the base is folded into the runs and set
// to 0, so each run names its first sample's position; else the base itself
// moves with the first run's samples.
void AddBasedRunOffsets(uint8_t* buffer, Span tfhd, const std::vector<Span>& runs, FragmentPlan& plan) {
    const uint64_t base = BaseDataOffsetOf(buffer, tfhd);
    const bool everyRunHasOffset =
        std::all_of(runs.begin(), runs.end(), [buffer](Span run) { return HasDataOffset(buffer, run); });
    if (everyRunHasOffset && (base >> 32) == 0) {
        for (Span run : runs) {
            box::AddU32(buffer + run.offset + Trun::kDataOffset, static_cast<uint32_t>(base));
            plan.offsets.push_back(OffsetField{run.offset + Trun::kDataOffset, FieldWidth::Signed32});
        }
        SetBaseDataOffset(buffer, tfhd, 0);
        return;
    }
    const bool firstHasOffset = !runs.empty() && HasDataOffset(buffer, runs[0]);
    const int64_t first = firstHasOffset ? static_cast<int32_t>(ReadU32(buffer + runs[0].offset + Trun::kDataOffset)) : 0;
    plan.offsets.push_back(OffsetField{tfhd.offset + Tfhd::kBaseDataOffset, FieldWidth::Unsigned64, first, first});
}

// The fields that keep one track fragment's runs naming their samples. Runs
// counted from the moof move by what changed between the moof and their
// samples; runs counted from the data of the track fragment before move with it.
void AddRunOffsets(uint8_t* buffer, Span traf, bool firstTraf, const ConditionerContext& context, FragmentPlan& plan) {
    const Span tfhd = box::FindChild(buffer, traf, "tfhd");
    const std::vector<Span> runs = RunsOf(buffer, traf);
    if (HasBaseDataOffset(buffer, tfhd)) {
        AddBasedRunOffsets(buffer, tfhd, runs, plan);
        return;
    }
    const bool countsFromMoof = firstTraf || (box::Found(tfhd) && tfhd.size >= FullBox::kBody &&
                                             (FlagsOf(buffer, tfhd) & Tfhd::kDefaultBaseIsMoof));
    for (Span run : runs) {
        if (countsFromMoof && HasDataOffset(buffer, run))
            plan.offsets.push_back(OffsetField{run.offset + Trun::kDataOffset, FieldWidth::Signed32, context.inputOffset,
                                               context.OutputOffset()});
    }
}

void KeepRuns(const ConditionerContext& context, uint32_t size, FragmentPlan& plan) {
    ChildWalk trafs(context.buffer, Span{0, size});
    for (bool first = true; trafs.Next();) {
        if (!trafs.CurrentIs("traf")) continue;
        AddRunOffsets(context.buffer, trafs.Current(), first, context, plan);
        first = false;
    }
}

// ---- Re-cutting the runs ----

uint32_t TrackFragmentsIn(const uint8_t* buffer, uint32_t size) {
    uint32_t trafs = 0;
    ChildWalk walk(buffer, Span{0, size});
    while (walk.Next()) trafs += walk.CurrentIs("traf") ? 1 : 0;
    return trafs;
}

// Sample encryption keeps its own per-sample tables and offsets into the fragment.
bool HoldsEncryptedSamples(const uint8_t* buffer, Span traf) {
    ChildWalk walk(buffer, traf);
    while (walk.Next()) {
        if (walk.CurrentIs("senc") || walk.CurrentIs("saiz") || walk.CurrentIs("saio")) return true;
    }
    return false;
}

std::optional<FragmentKept> KeptForReading(FragmentReading reading) {
    switch (reading) {
        case FragmentReading::Read: return std::nullopt;
        case FragmentReading::Unreadable: return FragmentKept::RunsUnreadable;
        case FragmentReading::BoxBetweenRuns: return FragmentKept::BoxBetweenRuns;
        case FragmentReading::SamplesApart: return FragmentKept::SamplesApart;
        case FragmentReading::TooManySamples: return FragmentKept::OverWorkBuffer;
    }
    return FragmentKept::RunsUnreadable;
}

// The per-sample fields a run of these samples gives: the handset's layout
// where every sample takes the default duration and flags and none is shifted
// in composition time, else each field that a sample needs.
uint32_t RunFlagsFor(const FragmentSample* samples, uint32_t count) {
    uint32_t flags = kHandsetRunFlags;
    for (const FragmentSample* sample = samples; sample != samples + count; ++sample) {
        if (!sample->durationIsDefault) flags |= Trun::kSampleDurationsPresent;
        if (!sample->flagsAreDefault) flags |= Trun::kSampleFlagsPresent;
        if (sample->compositionOffset != 0) flags |= Trun::kCompositionOffsetsPresent;
    }
    return flags;
}

uint32_t PerSampleSize(uint32_t runFlags) {
    uint32_t size = 0;
    for (uint32_t field = Trun::kSampleDurationsPresent; field <= Trun::kCompositionOffsetsPresent; field <<= 1)
        size += runFlags & field ? Trun::kPerSampleFieldSize : 0;
    return size;
}

// The fragment re-cut: its music samples, the samples of each new run, and its size then.
struct Recut {
    TrackFragmentSamples samples;
    std::vector<uint32_t> pieces;
    uint64_t size = 0;
};

uint64_t RecutSize(const uint8_t* moof, uint32_t size, const Recut& recut) {
    const TrackFragmentSamples& samples = recut.samples;
    const bool hasBase = FlagsOf(moof, samples.tfhd) & Tfhd::kBaseDataOffsetPresent;
    uint64_t bytes = uint64_t{size} - (samples.lastRun.End() - samples.firstRun.offset) + (hasBase ? 0 : Tfhd::kBaseDataOffsetSize);
    uint32_t taken = 0;
    for (uint32_t count : recut.pieces) {
        const FragmentSample* first = samples.samples.data() + taken;
        bytes += kRunHeaderSize + uint64_t{count} * PerSampleSize(RunFlagsFor(first, count));
        taken += count;
    }
    return bytes;
}

std::optional<FragmentKept> WhyNotRecut(const ConditionerContext& context, const uint8_t* moof, uint32_t size,
                                        const FragmentPlan& plan, FragmentReading reading, Recut& recut) {
    if (TrackFragmentsIn(moof, size) != 1) return FragmentKept::SeveralTrackFragments;
    if (HoldsEncryptedSamples(moof, plan.musicTraf)) return FragmentKept::Encrypted;
    if (const std::optional<FragmentKept> kept = KeptForReading(reading)) return kept;
    std::vector<uint32_t> durations;
    durations.reserve(recut.samples.samples.size());
    for (const FragmentSample& sample : recut.samples.samples) durations.push_back(sample.duration);
    recut.pieces = CutIntoSeconds(context.clock.timescale, durations);
    recut.size = RecutSize(moof, size, recut);
    if (recut.size > kWorkBufferSize) return FragmentKept::OverWorkBuffer;
    return std::nullopt;
}

uint8_t* CopyBytes(uint8_t* to, const uint8_t* moof, uint32_t from, uint32_t end) {
    std::memcpy(to, moof + from, end - from);
    return to + (end - from);
}

// The tfhd with a base data offset of 0, which the runs' data offsets count from.
uint8_t* WriteBasedTfhd(uint8_t* to, const uint8_t* moof, Span tfhd) {
    const uint8_t* from = moof + tfhd.offset;
    const uint32_t versionAndFlags = ReadU32(from + FullBox::kVersionAndFlags);
    const bool hasBase = versionAndFlags & Tfhd::kBaseDataOffsetPresent;
    const uint32_t restAt = Tfhd::kBaseDataOffset + (hasBase ? Tfhd::kBaseDataOffsetSize : 0);
    const uint32_t size = tfhd.size + (hasBase ? 0 : Tfhd::kBaseDataOffsetSize);
    box::WriteHeader(to, size, "tfhd");
    WriteU32(to + FullBox::kVersionAndFlags,
             hasBase ? versionAndFlags : (versionAndFlags | Tfhd::kBaseDataOffsetPresent) & ~Tfhd::kDefaultBaseIsMoof);
    std::memcpy(to + Tfhd::kTrackId, from + Tfhd::kTrackId, 4);
    std::memset(to + Tfhd::kBaseDataOffset, 0, Tfhd::kBaseDataOffsetSize);
    std::memcpy(to + Tfhd::kBaseDataOffset + Tfhd::kBaseDataOffsetSize, from + restAt, tfhd.size - restAt);
    return to + size;
}

uint8_t* WriteRun(uint8_t* to, const FragmentSample* samples, uint32_t count, uint32_t dataOffset, uint32_t compositionVersion) {
    const uint32_t flags = RunFlagsFor(samples, count);
    const uint32_t version = flags & Trun::kCompositionOffsetsPresent ? compositionVersion : 0;
    const uint32_t size = kRunHeaderSize + count * PerSampleSize(flags);
    box::WriteHeader(to, size, "trun");
    WriteU32(to + FullBox::kVersionAndFlags, version << 24 | flags);
    WriteU32(to + Trun::kSampleCount, count);
    WriteU32(to + Trun::kDataOffset, dataOffset);
    uint8_t* field = to + kRunHeaderSize;
    for (const FragmentSample* sample = samples; sample != samples + count; ++sample) {
        if (flags & Trun::kSampleDurationsPresent) WriteU32(field, sample->duration), field += 4;
        WriteU32(field, sample->size), field += 4;
        if (flags & Trun::kSampleFlagsPresent) WriteU32(field, sample->flags), field += 4;
        if (flags & Trun::kCompositionOffsetsPresent) WriteU32(field, sample->compositionOffset), field += 4;
    }
    return to + size;
}

// Writes the fragment with its runs cut anew into the WorkBuffer: everything
// before the runs (with the tfhd given a base data offset of 0), the new runs
// with the input positions of their first samples as data offsets, then
// everything behind the runs.
void WriteRecut(const ConditionerContext& context, const uint8_t* moof, uint32_t size, const Recut& recut, FragmentPlan& plan) {
    const TrackFragmentSamples& samples = recut.samples;
    uint8_t* const buffer = context.buffer;
    uint8_t* to = CopyBytes(buffer, moof, 0, samples.tfhd.offset);
    to = WriteBasedTfhd(to, moof, samples.tfhd);
    to = CopyBytes(to, moof, samples.tfhd.End(), samples.firstRun.offset);
    uint32_t dataPosition = static_cast<uint32_t>(samples.dataStart);
    uint32_t taken = 0;
    for (uint32_t count : recut.pieces) {
        const FragmentSample* first = samples.samples.data() + taken;
        plan.offsets.push_back(OffsetField{static_cast<uint32_t>(to - buffer) + Trun::kDataOffset, FieldWidth::Signed32});
        to = WriteRun(to, first, count, dataPosition, samples.compositionVersion);
        for (uint32_t i = 0; i < count; ++i) dataPosition += first[i].size;
        taken += count;
    }
    to = CopyBytes(to, moof, samples.lastRun.End(), size);
    plan.outputSize = static_cast<uint32_t>(to - buffer);
    const uint32_t growth = plan.outputSize - size;
    box::AddU32(buffer, growth);
    box::AddU32(buffer + plan.musicTraf.offset, growth);
    assert(plan.outputSize == recut.size && "written fragment differs from its planned size");
}

// When each of the music track's runs starts, counted from the fragment's
// first sample, each run its samples' durations on.
void TimeRuns(const ConditionerContext& context, const std::vector<uint32_t>& runSamples, FragmentReading reading,
              const TrackFragmentSamples& samples, FragmentPlan& plan) {
    plan.decodeTime = samples.decodeTime;
    uint64_t time = 0;
    uint32_t taken = 0;
    for (uint32_t count : runSamples) {
        plan.runs.push_back(FragmentPlan::Run{count, time});
        if (!SamplesRead(reading)) time += uint64_t{count} * context.clock.sampleDelta;  // a count read, not samples
        for (uint32_t i = 0; SamplesRead(reading) && i < count; ++i) time += samples.samples[taken + i].duration;
        taken += count;
    }
    plan.duration = time;
}

// The clock clips are found by: the timescale in force and the samples' default duration, else the first's.
TrackClock ClockOf(const ConditionerContext& context, FragmentReading reading, const TrackFragmentSamples& samples) {
    TrackClock clock = context.clock;
    if (SamplesRead(reading) && samples.defaults.duration) clock.sampleDelta = *samples.defaults.duration;
    else if (SamplesRead(reading) && !samples.samples.empty() && samples.samples[0].duration != 0)
        clock.sampleDelta = samples.samples[0].duration;
    return clock;
}

// Locates the clips in the music track's runs, one piece per run, indexes the
// runs when they were re-cut, and moves the running time past them. The runs
// start at the tfdt's time, else where the fragments before ended.
void LocateAndIndexRuns(ConditionerContext& context, const FragmentPlan& plan) {
    const uint32_t boxOffset = context.OutputOffset();
    const uint64_t start = plan.decodeTime.value_or(context.runningTime);
    uint64_t firstSample = context.samplesBefore;
    uint32_t runNumber = 0;
    for (const FragmentPlan::Run& run : plan.runs) {
        const PiecePlace place{boxOffset, plan.musicTrafNumber, ++runNumber, PieceKind::Run};
        if (plan.recut) context.index.push_back(IndexEntry{start + run.time, boxOffset, 1, runNumber, 1});
        if (plan.musicTrafNumber <= kLargestTrackFragment) LocateClips(context, place, firstSample, run.samples);
        firstSample += run.samples;
    }
    context.samplesBefore = firstSample;
    context.runningTime = start + plan.duration;
}

}  // namespace

FragmentPlan PlanMovieFragment(const ConditionerContext& context, const uint8_t* moof, uint32_t size) {
    std::memcpy(context.buffer, moof, size);  // a fragment that keeps its runs has its offsets moved here
    FragmentPlan plan;
    plan.outputSize = size;
    plan.musicTrafNumber = FindMusicTrackFragment(context, size, &plan.musicTraf);
    Recut recut;
    const FragmentReading reading = plan.musicTrafNumber == 0 ? FragmentReading::Unreadable
        : ReadTrackFragment(moof, plan.musicTraf, context.inputOffset, context.trackDefaults, context.clock.sampleDelta, recut.samples);
    plan.clock = ClockOf(context, reading, recut.samples);
    const bool recutAsked = context.options.Has(ModeFlag::REFRAGMENT) && plan.musicTrafNumber != 0 &&
                            !RunsOf(context.buffer, plan.musicTraf).empty();
    if (recutAsked) plan.kept = WhyNotRecut(context, moof, size, plan, reading, recut);
    plan.recut = recutAsked && !plan.kept;
    if (plan.recut) {
        WriteRecut(context, moof, size, recut, plan);
        TimeRuns(context, recut.pieces, reading, recut.samples, plan);
    } else {
        KeepRuns(context, size, plan);
        std::vector<uint32_t> runSamples;
        for (Span run : RunsOf(context.buffer, plan.musicTraf)) runSamples.push_back(SampleCountOf(context.buffer, run));
        TimeRuns(context, runSamples, reading, recut.samples, plan);
    }
    plan.holdsPieces = plan.musicTrafNumber != 0 && plan.musicTrafNumber <= kLargestTrackFragment && !plan.runs.empty();
    return plan;
}

void WriteMovieFragment(ConditionerContext& context, OutputFile& output, const FragmentPlan& plan, const OffsetMap& map) {
    if (plan.kept) context.KeepFragment(*plan.kept);
    if (plan.musicTrafNumber != 0) LocateAndIndexRuns(context, plan);
    for (const OffsetField& field : plan.offsets) {
        const bool moved = MoveField(context.buffer, field, map);
        assert(moved && "an offset the plan checked did not move");
        (void)moved;
    }
    output.Write(context.buffer, plan.outputSize);
}
