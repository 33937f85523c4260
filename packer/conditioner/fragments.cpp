#include "packer/conditioner/fragments.h"

#include <algorithm>
#include <cassert>

#include "packer/conditioner/pieces.h"

using box::ChildWalk;
using box::FlagsOf;
using box::ReadU32;
using box::Span;
using box::WriteU32;

namespace {

// Data offset and per-sample sizes, nothing else: the sizes follow the data offset.
constexpr uint32_t kPlainRunFlags = Trun::kDataOffsetPresent | Trun::kSampleSizesPresent;
constexpr uint32_t kPlainRunHeaderSize = Trun::kDataOffset + 4;
constexpr uint32_t kSampleSizeSize = Trun::kPerSampleFieldSize;
constexpr uint32_t kLargestTrackFragment = 255;  // a clip slot holds it in one byte

uint32_t SampleCountOf(const uint8_t* buffer, Span run) {
    return run.size < Trun::kSampleCount + 4 ? 0 : ReadU32(buffer + run.offset + Trun::kSampleCount);
}

bool HasBaseDataOffset(const uint8_t* buffer, Span tfhd) {
    return box::Found(tfhd) && tfhd.size >= Tfhd::kBaseDataOffset + 8 &&
           (FlagsOf(buffer, tfhd) & Tfhd::kBaseDataOffsetPresent) != 0;
}

uint64_t BaseDataOffsetOf(const uint8_t* buffer, Span tfhd) {
    const uint8_t* field = buffer + tfhd.offset + Tfhd::kBaseDataOffset;
    return (uint64_t{ReadU32(field)} << 32) | ReadU32(field + 4);
}

void SetBaseDataOffset(uint8_t* buffer, Span tfhd, uint64_t value) {
    uint8_t* field = buffer + tfhd.offset + Tfhd::kBaseDataOffset;
    WriteU32(field, static_cast<uint32_t>(value >> 32));
    WriteU32(field + 4, static_cast<uint32_t>(value));
}

bool HasDataOffset(const uint8_t* buffer, Span run) {
    return run.size >= Trun::kDataOffset + 4 && (FlagsOf(buffer, run) & Trun::kDataOffsetPresent) != 0;
}

bool IsPlainRun(const uint8_t* buffer, Span run) {
    if (run.size < kPlainRunHeaderSize || FlagsOf(buffer, run) != kPlainRunFlags) return false;
    return uint64_t{SampleCountOf(buffer, run)} * kSampleSizeSize <= run.size - kPlainRunHeaderSize;
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

// A fragment in the layout that is re-cut: one track fragment, last in the
// fragment, with a base data offset, and runs of the plain form that follow each
// other up to its end.
struct PlainFragment {
    Span traf, tfhd, firstRun;
    uint32_t samples = 0;   // T: the samples of all runs
    uint32_t runBytes = 0;  // the sizes of all input runs
};

bool FindSingleTrackFragment(const uint8_t* buffer, uint32_t size, PlainFragment& fragment) {
    int trafs = 0;
    ChildWalk walk(buffer, Span{0, size});
    while (walk.Next()) {
        if (walk.CurrentIs("traf") && ++trafs == 1) fragment.traf = walk.Current();
    }
    return trafs == 1 && fragment.traf.End() == size;
}

bool ReadPlainRuns(const uint8_t* buffer, PlainFragment& fragment) {
    uint64_t samples = 0;
    uint32_t runsEnd = 0;
    ChildWalk walk(buffer, fragment.traf);
    while (walk.Next()) {
        const Span child = walk.Current();
        if (walk.CurrentIs("tfhd") && !box::Found(fragment.tfhd) && !box::Found(fragment.firstRun)) {
            fragment.tfhd = child;
        } else if (walk.CurrentIs("trun")) {
            if (!IsPlainRun(buffer, child)) return false;
            if (!box::Found(fragment.firstRun)) fragment.firstRun = child;
            else if (child.offset != runsEnd) return false;  // something between the runs
            runsEnd = child.End();
            samples += SampleCountOf(buffer, child);
            fragment.runBytes += child.size;
        }
    }
    fragment.samples = static_cast<uint32_t>(samples);
    return box::Found(fragment.firstRun) && runsEnd == fragment.traf.End() && samples <= UINT32_MAX;
}

bool IsPlainFragment(const uint8_t* buffer, uint32_t size, PlainFragment& fragment) {
    return FindSingleTrackFragment(buffer, size, fragment) && ReadPlainRuns(buffer, fragment) &&
           HasBaseDataOffset(buffer, fragment.tfhd) && (BaseDataOffsetOf(buffer, fragment.tfhd) >> 32) == 0;
}

uint64_t RecutSize(const ConditionerContext& context, const PlainFragment& fragment) {
    const uint64_t runs = CountPieces(context.clock, fragment.samples);
    return uint64_t{fragment.firstRun.offset} + kPlainRunHeaderSize * runs + kSampleSizeSize * uint64_t{fragment.samples};
}

void CollectSampleSizes(ConditionerContext& context, const PlainFragment& fragment) {
    context.sampleSizes.clear();
    for (Span run : RunsOf(context.buffer, fragment.traf)) {
        const uint8_t* sizes = context.buffer + run.offset + kPlainRunHeaderSize;
        const uint32_t count = SampleCountOf(context.buffer, run);
        for (uint32_t i = 0; i < count; ++i) context.sampleSizes.push_back(ReadU32(sizes + kSampleSizeSize * i));
    }
}

uint8_t* WriteRun(uint8_t* to, uint32_t samples, uint32_t dataOffset, const uint32_t* sizes) {
    const uint32_t size = kPlainRunHeaderSize + kSampleSizeSize * samples;
    box::WriteHeader(to, size, "trun");
    WriteU32(to + FullBox::kVersionAndFlags, kPlainRunFlags);
    WriteU32(to + Trun::kSampleCount, samples);
    WriteU32(to + Trun::kDataOffset, dataOffset);
    for (uint32_t i = 0; i < samples; ++i) WriteU32(to + kPlainRunHeaderSize + kSampleSizeSize * i, sizes[i]);
    return to + size;
}

// Writes the new runs over the old ones, their data offsets the input positions
// of their first samples; the base data offset goes into them and becomes 0.
void RecutRuns(ConditionerContext& context, const PlainFragment& fragment, FragmentPlan& plan) {
    uint8_t* buffer = context.buffer;
    uint32_t dataPosition =
        static_cast<uint32_t>(BaseDataOffsetOf(buffer, fragment.tfhd)) + ReadU32(buffer + fragment.firstRun.offset + Trun::kDataOffset);
    SetBaseDataOffset(buffer, fragment.tfhd, 0);
    CollectSampleSizes(context, fragment);
    uint8_t* to = buffer + fragment.firstRun.offset;
    uint32_t taken = 0;
    for (uint32_t piece = 1; taken < fragment.samples; ++piece) {
        const uint32_t samples = CutOneSecond(context.clock, piece, taken, fragment.samples);
        const uint32_t* sizes = context.sampleSizes.data() + taken;
        plan.offsets.push_back(OffsetField{static_cast<uint32_t>(to - buffer) + Trun::kDataOffset, FieldWidth::Signed32});
        to = WriteRun(to, samples, dataPosition, sizes);
        for (uint32_t i = 0; i < samples; ++i) dataPosition += sizes[i];
        taken += samples;
    }
    plan.outputSize = static_cast<uint32_t>(to - buffer);
    const uint32_t growth = plan.outputSize - fragment.firstRun.offset - fragment.runBytes;
    box::AddU32(buffer, growth);
    box::AddU32(buffer + fragment.traf.offset, growth);
    assert(plan.outputSize == ReadU32(buffer) && "written fragment differs from its declared size");
}

// Locates the clips in the music track's runs, one piece per run, indexes the
// runs when they were re-cut, and moves the running time past them.
void LocateAndIndexRuns(ConditionerContext& context, const FragmentPlan& plan) {
    const uint32_t boxOffset = context.OutputOffset();
    uint32_t time = context.runningTime;
    uint32_t runNumber = 0;
    for (Span run : RunsOf(context.buffer, plan.musicTraf)) {
        const uint32_t samples = SampleCountOf(context.buffer, run);
        const PiecePlace place{boxOffset, plan.musicTrafNumber, ++runNumber, PieceKind::Run};
        if (plan.recut) context.index.push_back(IndexEntry{time, boxOffset, 1, runNumber, 1});
        if (plan.musicTrafNumber <= kLargestTrackFragment) LocateClips(context, place, time, samples);
        time += samples * context.clock.sampleDelta;
    }
    context.runningTime = time;
}

}  // namespace

FragmentPlan PlanMovieFragment(ConditionerContext& context, uint32_t size) {
    FragmentPlan plan;
    plan.outputSize = size;
    plan.musicTrafNumber = FindMusicTrackFragment(context, size, &plan.musicTraf);
    PlainFragment fragment;
    plan.recut = context.options.Has(ModeFlag::REFRAGMENT) && plan.musicTrafNumber != 0 &&
                 IsPlainFragment(context.buffer, size, fragment) && RecutSize(context, fragment) <= kWorkBufferSize;
    if (plan.recut) {
        RecutRuns(context, fragment, plan);
        plan.musicTraf = box::FindChild(context.buffer, Span{0, plan.outputSize}, "traf");
    } else {
        KeepRuns(context, size, plan);
    }
    plan.holdsPieces = plan.musicTrafNumber != 0 && plan.musicTrafNumber <= kLargestTrackFragment &&
                       !RunsOf(context.buffer, plan.musicTraf).empty();
    return plan;
}

void WriteMovieFragment(ConditionerContext& context, OutputFile& output, const FragmentPlan& plan, const OffsetMap& map) {
    if (plan.musicTrafNumber != 0) LocateAndIndexRuns(context, plan);
    for (const OffsetField& field : plan.offsets) {
        const bool moved = MoveField(context.buffer, field, map);
        assert(moved && "an offset the plan checked did not move");
        (void)moved;
    }
    output.Write(context.buffer, plan.outputSize);
}
