#include "packer/conditioner/fragments.h"

#include <cassert>

#include "packer/conditioner/pieces.h"
#include "packer/run_state.h"

using box::ChildWalk;
using box::flagsOf;
using box::readU32;
using box::Span;
using box::writeU32;

namespace {

constexpr uint32_t kBaseDataOffsetPresent = 0x000001;  // tfhd flag
constexpr uint32_t kDefaultBaseIsMoof = 0x020000;      // tfhd flag
constexpr uint32_t kDataOffsetPresent = 0x000001;      // trun flag
constexpr uint32_t kPlainRunFlags = 0x000201;          // data offset and per-sample sizes, nothing else
constexpr uint32_t kPlainRunHeaderSize = 20;
constexpr uint32_t kRunDataOffsetAt = 16;
constexpr uint32_t kBaseDataOffsetAt = 16;  // tfhd
constexpr uint32_t kLargestTrackFragment = 255;  // a clip slot holds it in one byte

uint32_t sampleCountOf(const uint8_t* buffer, Span run) { return run.size < 16 ? 0 : readU32(buffer + run.offset + 12); }

bool hasBaseDataOffset(const uint8_t* buffer, Span tfhd) {
    return box::found(tfhd) && tfhd.size >= 24 && (flagsOf(buffer, tfhd) & kBaseDataOffsetPresent) != 0;
}

uint64_t baseDataOffsetOf(const uint8_t* buffer, Span tfhd) {
    return (uint64_t{readU32(buffer + tfhd.offset + 16)} << 32) | readU32(buffer + tfhd.offset + 20);
}

void setBaseDataOffset(uint8_t* buffer, Span tfhd, uint64_t value) {
    writeU32(buffer + tfhd.offset + 16, static_cast<uint32_t>(value >> 32));
    writeU32(buffer + tfhd.offset + 20, static_cast<uint32_t>(value));
}

bool hasDataOffset(const uint8_t* buffer, Span run) {
    return run.size >= 20 && (flagsOf(buffer, run) & kDataOffsetPresent) != 0;
}

bool isPlainRun(const uint8_t* buffer, Span run) {
    if (run.size < kPlainRunHeaderSize || flagsOf(buffer, run) != kPlainRunFlags) return false;
    return uint64_t{sampleCountOf(buffer, run)} * 4 <= run.size - kPlainRunHeaderSize;
}

// The track fragment of the music track: the one whose tfhd names its ID, or
// the first when no movie box came before. Numbered from 1; 0 when none is.
uint32_t FindMusicTrackFragment(const ConditionerContext& context, uint32_t size, Span* traf) {
    ChildWalk walk(context.buffer, Span{0, size});
    for (uint32_t number = 1; walk.next();) {
        if (!walk.currentIs("traf")) continue;
        const Span tfhd = box::findChild(context.buffer, walk.current(), "tfhd");
        const bool isMusic = !context.musicTrackId ||
                             (tfhd.size >= 16 && readU32(context.buffer + tfhd.offset + 12) == *context.musicTrackId);
        if (isMusic) {
            *traf = walk.current();
            return number;
        }
        ++number;
    }
    return 0;
}

// ---- Keeping the runs ----

// The fields that keep one track fragment's runs naming their samples. With a
// base data offset and a data offset in every run, the base is folded into the
// runs and set to 0, so each run names its first sample's position; without an
// offset in every run the base itself moves with the first run's samples. Runs
// counted from the moof move by what changed between the moof and their
// samples; runs counted from the data of the track fragment before move with it.
void AddRunOffsets(uint8_t* buffer, Span traf, bool firstTraf, const ConditionerContext& context, FragmentPlan& plan) {
    const Span tfhd = box::findChild(buffer, traf, "tfhd");
    std::vector<Span> runs;
    bool everyRunHasOffset = true;
    ChildWalk walk(buffer, traf);
    while (walk.next()) {
        if (!walk.currentIs("trun")) continue;
        runs.push_back(walk.current());
        everyRunHasOffset = everyRunHasOffset && hasDataOffset(buffer, walk.current());
    }
    if (hasBaseDataOffset(buffer, tfhd)) {
        const uint64_t base = baseDataOffsetOf(buffer, tfhd);
        if (everyRunHasOffset && (base >> 32) == 0) {
            for (Span run : runs) {
                box::addU32(buffer + run.offset + kRunDataOffsetAt, static_cast<uint32_t>(base));
                plan.offsets.push_back(OffsetField{run.offset + kRunDataOffsetAt, FieldWidth::Signed32});
            }
            setBaseDataOffset(buffer, tfhd, 0);
            return;
        }
        const bool firstHasOffset = !runs.empty() && hasDataOffset(buffer, runs[0]);
        const int64_t first = firstHasOffset ? static_cast<int32_t>(readU32(buffer + runs[0].offset + kRunDataOffsetAt)) : 0;
        plan.offsets.push_back(OffsetField{tfhd.offset + kBaseDataOffsetAt, FieldWidth::Unsigned64, first, first});
        return;
    }
    const bool countsFromMoof = firstTraf || (box::found(tfhd) && tfhd.size >= 12 && (flagsOf(buffer, tfhd) & kDefaultBaseIsMoof));
    for (Span run : runs) {
        if (countsFromMoof && hasDataOffset(buffer, run))
            plan.offsets.push_back(OffsetField{run.offset + kRunDataOffsetAt, FieldWidth::Signed32, context.inputOffset,
                                               context.outputOffset()});
    }
}

void keepRuns(const ConditionerContext& context, uint32_t size, FragmentPlan& plan) {
    ChildWalk trafs(context.buffer, Span{0, size});
    for (bool first = true; trafs.next();) {
        if (!trafs.currentIs("traf")) continue;
        AddRunOffsets(context.buffer, trafs.current(), first, context, plan);
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

bool findSingleTrackFragment(const uint8_t* buffer, uint32_t size, PlainFragment& fragment) {
    int trafs = 0;
    ChildWalk walk(buffer, Span{0, size});
    while (walk.next()) {
        if (walk.currentIs("traf") && ++trafs == 1) fragment.traf = walk.current();
    }
    return trafs == 1 && fragment.traf.end() == size;
}

bool readPlainRuns(const uint8_t* buffer, PlainFragment& fragment) {
    uint64_t samples = 0;
    uint32_t runsEnd = 0;
    ChildWalk walk(buffer, fragment.traf);
    while (walk.next()) {
        const Span child = walk.current();
        if (walk.currentIs("tfhd") && !box::found(fragment.tfhd) && !box::found(fragment.firstRun)) {
            fragment.tfhd = child;
        } else if (walk.currentIs("trun")) {
            if (!isPlainRun(buffer, child)) return false;
            if (!box::found(fragment.firstRun)) fragment.firstRun = child;
            else if (child.offset != runsEnd) return false;  // something between the runs
            runsEnd = child.end();
            samples += sampleCountOf(buffer, child);
            fragment.runBytes += child.size;
        }
    }
    fragment.samples = static_cast<uint32_t>(samples);
    return box::found(fragment.firstRun) && runsEnd == fragment.traf.end() && samples <= UINT32_MAX;
}

bool isPlainFragment(const uint8_t* buffer, uint32_t size, PlainFragment& fragment) {
    return findSingleTrackFragment(buffer, size, fragment) && readPlainRuns(buffer, fragment) &&
           hasBaseDataOffset(buffer, fragment.tfhd) && (baseDataOffsetOf(buffer, fragment.tfhd) >> 32) == 0;
}

uint64_t recutSize(const ConditionerContext& context, const PlainFragment& fragment) {
    const uint64_t runs = CountPieces(clockOf(context), fragment.samples);
    return uint64_t{fragment.firstRun.offset} + kPlainRunHeaderSize * runs + 4 * uint64_t{fragment.samples};
}

void collectSampleSizes(ConditionerContext& context, const PlainFragment& fragment) {
    context.sampleSizes.clear();
    ChildWalk walk(context.buffer, fragment.traf);
    while (walk.next()) {
        if (!walk.currentIs("trun")) continue;
        const uint8_t* sizes = context.buffer + walk.current().offset + kPlainRunHeaderSize;
        const uint32_t count = sampleCountOf(context.buffer, walk.current());
        for (uint32_t i = 0; i < count; ++i) context.sampleSizes.push_back(readU32(sizes + 4 * i));
    }
}

uint8_t* writeRun(uint8_t* to, uint32_t samples, uint32_t dataOffset, const uint32_t* sizes) {
    box::writeHeader(to, kPlainRunHeaderSize + 4 * samples, "trun");
    writeU32(to + 8, kPlainRunFlags);
    writeU32(to + 12, samples);
    writeU32(to + kRunDataOffsetAt, dataOffset);
    for (uint32_t i = 0; i < samples; ++i) writeU32(to + kPlainRunHeaderSize + 4 * i, sizes[i]);
    return to + kPlainRunHeaderSize + 4 * samples;
}

// Writes the new runs over the old ones, their data offsets the input positions
// of their first samples; the base data offset goes into them and becomes 0.
void recutRuns(ConditionerContext& context, const PlainFragment& fragment, FragmentPlan& plan) {
    uint8_t* buffer = context.buffer;
    uint32_t dataPosition =
        static_cast<uint32_t>(baseDataOffsetOf(buffer, fragment.tfhd)) + readU32(buffer + fragment.firstRun.offset + 16);
    setBaseDataOffset(buffer, fragment.tfhd, 0);
    collectSampleSizes(context, fragment);
    uint8_t* to = buffer + fragment.firstRun.offset;
    uint32_t taken = 0;
    for (uint32_t piece = 1; taken < fragment.samples; ++piece) {
        const uint32_t samples = CutOneSecond(clockOf(context), piece, taken, fragment.samples);
        const uint32_t* sizes = context.sampleSizes.data() + taken;
        plan.offsets.push_back(OffsetField{static_cast<uint32_t>(to - buffer) + kRunDataOffsetAt, FieldWidth::Signed32});
        to = writeRun(to, samples, dataPosition, sizes);
        for (uint32_t i = 0; i < samples; ++i) dataPosition += sizes[i];
        taken += samples;
    }
    plan.outputSize = static_cast<uint32_t>(to - buffer);
    const uint32_t growth = plan.outputSize - fragment.firstRun.offset - fragment.runBytes;
    box::addU32(buffer, growth);
    box::addU32(buffer + fragment.traf.offset, growth);
    assert(plan.outputSize == readU32(buffer) && "written fragment differs from its declared size");
}

// Locates the clips in the music track's runs, one piece per run, indexes the
// runs when they were re-cut, and moves the running time past them.
void LocateAndIndexRuns(ConditionerContext& context, const FragmentPlan& plan) {
    const uint32_t boxOffset = context.outputOffset();
    uint32_t time = context.runningTime;
    uint32_t runNumber = 0;
    ChildWalk runs(context.buffer, plan.musicTraf);
    while (runs.next()) {
        if (!runs.currentIs("trun")) continue;
        const uint32_t samples = sampleCountOf(context.buffer, runs.current());
        const PiecePlace place{boxOffset, plan.musicTrafNumber, ++runNumber, PiecePlace::Kind::Run};
        if (plan.recut) context.index.push_back(IndexEntry{time, boxOffset, 1, runNumber, 1});
        if (plan.musicTrafNumber <= kLargestTrackFragment) LocateClips(context, place, time, samples);
        time += samples * context.sampleDelta;
    }
    context.runningTime = time;
}

}  // namespace

FragmentPlan PlanMovieFragment(ConditionerContext& context, uint32_t size) {
    FragmentPlan plan;
    plan.outputSize = size;
    plan.musicTrafNumber = FindMusicTrackFragment(context, size, &plan.musicTraf);
    PlainFragment fragment;
    plan.recut = g_run.hasMode(ModeFlag::REFRAGMENT) && plan.musicTrafNumber != 0 &&
                 isPlainFragment(context.buffer, size, fragment) && recutSize(context, fragment) <= kWorkBufferSize;
    if (plan.recut) {
        recutRuns(context, fragment, plan);
        plan.musicTraf = box::findChild(context.buffer, Span{0, plan.outputSize}, "traf");
    } else {
        keepRuns(context, size, plan);
    }
    return plan;
}

void WriteMovieFragment(ConditionerContext& context, OutputFile& output, const FragmentPlan& plan, const OffsetMap& map) {
    if (plan.musicTrafNumber != 0) LocateAndIndexRuns(context, plan);
    for (const OffsetField& field : plan.offsets) {
        const bool moved = MoveField(context.buffer, field, map);
        assert(moved && "an offset the plan checked did not move");
        (void)moved;
    }
    output.write(context.buffer, plan.outputSize);
}
