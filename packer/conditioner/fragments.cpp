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
constexpr uint32_t kDataOffsetPresent = 0x000001;      // trun flag
constexpr uint32_t kPlainRunFlags = 0x000201;          // data offset and per-sample sizes, nothing else
constexpr uint32_t kPlainRunHeaderSize = 20;

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

// ---- Keeping the runs ----

// Makes one track fragment's runs name their samples' positions in the output.
// With a base data offset and a data offset in every run, the base is folded into
// the runs and set to 0; without offsets in every run the base itself moves; a
// fragment without a base (offsets relative to the moof) moves with its data.
void pointRunsAtOutput(uint8_t* buffer, Span traf, int32_t shift) {
    Span tfhd = box::findChild(buffer, traf, "tfhd");
    if (!hasBaseDataOffset(buffer, tfhd)) return;
    const uint64_t base = baseDataOffsetOf(buffer, tfhd);
    bool everyRunHasOffset = true;
    ChildWalk check(buffer, traf);
    while (check.next()) {
        if (check.currentIs("trun") && !hasDataOffset(buffer, check.current())) everyRunHasOffset = false;
    }
    if (!everyRunHasOffset || (base >> 32) != 0) {
        setBaseDataOffset(buffer, tfhd, base + static_cast<uint64_t>(int64_t{shift}));
        return;
    }
    ChildWalk runs(buffer, traf);
    while (runs.next()) {
        if (!runs.currentIs("trun")) continue;
        uint8_t* dataOffset = buffer + runs.current().offset + 16;
        writeU32(dataOffset, static_cast<uint32_t>(base) + readU32(dataOffset) + static_cast<uint32_t>(shift));
    }
    setBaseDataOffset(buffer, tfhd, 0);
}

// Locates the clips in the runs of the first track fragment, one piece per run,
// and moves the running time past them.
void locateClipsInRuns(ConditionerContext& context, Span traf, uint32_t boxOffset) {
    uint32_t time = context.runningTime;
    uint32_t runNumber = 0;
    ChildWalk runs(context.buffer, traf);
    while (runs.next()) {
        if (!runs.currentIs("trun")) continue;
        const uint32_t samples = sampleCountOf(context.buffer, runs.current());
        LocateClips(context, boxOffset, ++runNumber, time, samples);
        time += samples * context.sampleDelta;
    }
    context.runningTime = time;
}

void keepRuns(ConditionerContext& context, OutputFile& output, uint32_t size, Span firstTraf) {
    uint8_t* buffer = context.buffer;
    ChildWalk trafs(buffer, Span{0, size});
    while (trafs.next()) {
        if (trafs.currentIs("traf")) pointRunsAtOutput(buffer, trafs.current(), context.shift);
    }
    locateClipsInRuns(context, firstTraf, context.outputOffset());
    output.write(buffer, size);
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
    writeU32(to + 16, dataOffset);
    for (uint32_t i = 0; i < samples; ++i) writeU32(to + kPlainRunHeaderSize + 4 * i, sizes[i]);
    return to + kPlainRunHeaderSize + 4 * samples;
}

// Writes the new runs over the old ones; returns the end of the last one.
// Data offsets are input positions here; each run is indexed and searched for clips.
uint32_t writeOneSecondRuns(ConditionerContext& context, const PlainFragment& fragment, uint32_t dataPosition) {
    const uint32_t boxOffset = context.outputOffset();
    uint8_t* to = context.buffer + fragment.firstRun.offset;
    uint32_t taken = 0;
    for (uint32_t piece = 1; taken < fragment.samples; ++piece) {
        const uint32_t samples = CutOneSecond(clockOf(context), piece, taken, fragment.samples);
        const uint32_t* sizes = context.sampleSizes.data() + taken;
        to = writeRun(to, samples, dataPosition, sizes);
        context.index.push_back(IndexEntry{context.runningTime, boxOffset, 1, piece, 1});
        LocateClips(context, boxOffset, piece, context.runningTime, samples);
        context.runningTime += samples * context.sampleDelta;
        for (uint32_t i = 0; i < samples; ++i) dataPosition += sizes[i];
        taken += samples;
    }
    return static_cast<uint32_t>(to - context.buffer);
}

void moveRunOffsetsToOutput(uint8_t* buffer, uint32_t from, uint32_t to, int32_t shift) {
    while (from < to) {
        box::addU32(buffer + from + 16, static_cast<uint32_t>(shift));
        from += readU32(buffer + from);
    }
}

void recutRuns(ConditionerContext& context, OutputFile& output, const PlainFragment& fragment) {
    uint8_t* buffer = context.buffer;
    const uint64_t base = baseDataOffsetOf(buffer, fragment.tfhd);
    const uint32_t firstData = static_cast<uint32_t>(base) + readU32(buffer + fragment.firstRun.offset + 16);
    setBaseDataOffset(buffer, fragment.tfhd, 0);
    collectSampleSizes(context, fragment);

    const uint32_t runsEnd = writeOneSecondRuns(context, fragment, firstData);
    const uint32_t growth = runsEnd - fragment.firstRun.offset - fragment.runBytes;
    context.shift += static_cast<int32_t>(growth);
    box::addU32(buffer, growth);
    box::addU32(buffer + fragment.traf.offset, growth);
    moveRunOffsetsToOutput(buffer, fragment.firstRun.offset, runsEnd, context.shift);
    assert(runsEnd == readU32(buffer) && "written fragment differs from its declared size");
    output.write(buffer, runsEnd);
}

}  // namespace

void ConditionMovieFragment(ConditionerContext& context, OutputFile& output, uint32_t size) {
    const Span traf = box::findChild(context.buffer, Span{0, size}, "traf");
    if (!box::found(traf)) {
        output.write(context.buffer, size);
        return;
    }
    PlainFragment fragment;
    if (g_run.hasMode(ModeFlag::REFRAGMENT) && isPlainFragment(context.buffer, size, fragment) &&
        recutSize(context, fragment) <= kWorkBufferSize) {
        recutRuns(context, output, fragment);
    } else {
        keepRuns(context, output, size, traf);
    }
}
