// The conditioner as the driver calls it, on tracks of our own making; where a test says so, the inspector judges the track too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "fuzz/fuzz_scratch.h"
#include "packer/conditioner/conditioner.h"
#include "packer/conditioner/pieces.h"
#include "tests/tools/testkit.h"

namespace {

using namespace testkit;

constexpr uint32_t MFRA = ModeFlag::ADD_MFRA, IOED = ModeFlag::ADD_IOED, REFRAG = ModeFlag::REFRAGMENT;
constexpr uint32_t kAt = 2560;  // where the track's data lies in the package
const std::string kStbl = "moov/trak/mdia/minf/stbl/";
struct Clip { int number; const char* name; uint32_t startMs, lengthMs; };
struct Conditioned { TrackReport report; Bytes track; };

Conditioned condition(const Bytes& input, uint32_t mode = IOED | REFRAG, const std::vector<Clip>& clips = {}, bool free = false) {
    PackerOptions options;
    options.modeFlags = mode, options.camouflageBitrate = kDefaultCamouflageBitrate, options.freeToUse = free;
    ClipRanges ranges{};
    for (const Clip& clip : clips) {
        ClipRange& range = ranges[clip.number - 1];
        std::snprintf(range.name, sizeof range.name, "%s", clip.name);
        range.start = clip.startMs, range.length = clip.lengthMs, range.state = ClipState::Enabled;
    }
    TempFolder folder;
    writeFile(folder / "in.3g2", input);
    InputFile in;
    OutputFile out;
    EXPECT_TRUE(in.Open(folder / "in.3g2") && out.Create(folder / "out") && out.WriteZeros(kAt));
    std::vector<uint8_t> workBuffer(kWorkBufferSize);
    Conditioned result{ConditionMusicTrack(options, ranges, in, out, kAt, workBuffer.data()), {}};
    EXPECT_TRUE(out.Close());
    const Bytes written = readFile(folder / "out");
    result.track.assign(written.begin() + kAt, written.end());
    const int64_t grown = static_cast<int64_t>(result.track.size()) - static_cast<int64_t>(input.size());
    EXPECT_TRUE(result.report.outcome != TrackOutcome::Conditioned || grown == result.report.change);
    return result;
}

struct Track { AacStream stream; Bytes bytes; };

Track makeTrack(const TrackLayout& layout, uint32_t rate = 22050) {
    const AacStream stream = fakeFrames(rate, samplesUsed(layout));
    return Track{stream, buildTrack(stream, layout)};
}

std::size_t at(const Bytes& track, const std::string& path) { return findBox(track, path).at; }
uint32_t moofAt(const Bytes& track, std::size_t n) { return static_cast<uint32_t>(boxes(track, "moof").at(n).at); }
Bytes slice(const Bytes& bytes, Box part) { return Bytes(bytes.begin() + part.at, bytes.begin() + part.end()); }
Bytes tail(const Bytes& track, std::size_t count) { return Bytes(track.end() - count, track.end()); }

// The 32-bit words of a box from `from` on (at most `count`).
std::vector<uint32_t> words(const Bytes& track, const std::string& path, std::size_t from, std::size_t count = SIZE_MAX) {
    std::vector<uint32_t> found;
    for (Box b = findBox(track, path); b.found() && from + 4 <= b.size && found.size() < count; from += 4)
        found.push_back(u32(track, b.at + from));
    return found;
}

TEST(Conditioner, MovieBoxSamplesAreCutIntoOneSecondChunksEachStartingWithASyncSample) {
    const struct { uint32_t rate, delta, samples, lastDelta; std::vector<uint32_t> chunks, sync; bool mediaFirst; } cases[] = {
        {22050, 1024, 100, 0, {21, 22, 21, 22, 14}, {1, 22, 44, 65, 87}, false},
        {44100, 1024, 100, 0, {43, 43, 14}, {1, 44, 87}, false},
        {48000, 1024, 100, 0, {46, 47, 7}, {1, 47, 94}, false},
        {22050, 1024, 45, 0, {21, 24}, {1, 22}, false},  // a tail of fewer than 3 samples joins the chunk before
        {22050, 1024, 50, 0, {21, 22, 7}, {1, 22, 44}, true},  // media data in front of the movie box
        {22050, 1024, 0, 0, {}, {}, false},
        {1000, 1500, 6, 0, {1, 1, 1, 3}, {1, 2, 3, 4}, false},  // a sample longer than a second is a chunk of its own
        // A shorter last frame in an stts entry of its own: every sample gets a chunk, cut by the first entry's delta.
        {22050, 1024, 100, 204, {21, 22, 21, 22, 14}, {1, 22, 44, 65, 87}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.samples) + " samples");
        TrackLayout layout = layoutOf(c.samples);
        layout.sampleDelta = c.delta, layout.lastDelta = c.lastDelta, layout.mediaDataFirst = c.mediaFirst;
        Track input = makeTrack(layout, c.rate);
        Conditioned out = condition(input.bytes);
        std::vector<uint32_t> stsc = {static_cast<uint32_t>(c.chunks.size())}, stss = stsc;
        for (uint32_t k = 0; k < c.chunks.size(); ++k) stsc.insert(stsc.end(), {k + 1, c.chunks[k], 1}), stss.push_back(c.sync[k]);
        EXPECT_EQ(words(out.track, kStbl + "stsc", 12), stsc);
        EXPECT_EQ(words(out.track, kStbl + "stss", 12), stss);
        std::vector<std::string> tables;
        for (Box table : boxes(out.track, kStbl + "*")) tables.push_back(typeOf(out.track, table));
        EXPECT_EQ(tables, (std::vector<std::string>{"stsd", "stts", "stsc", "stsz", "stco", "stss"}));
        EXPECT_EQ(slice(out.track, findBox(out.track, kStbl + "stts")), slice(input.bytes, findBox(input.bytes, kStbl + "stts")));
        EXPECT_EQ(sampleMismatch(out.track, input.stream.frames), "");
        // The bitrates are capped at 48000 and reported as they were found, then the clock.
        EXPECT_EQ(out.report.events, (std::vector<TrackEvent>{DeclaredBitrates{128000, 32000}, TrackClock{c.rate, c.delta}}));
        EXPECT_EQ(words(out.track, kStbl + "stsd/mp4a/esds", 30, 2), (std::vector<uint32_t>{48000, 32000}));
    }
    // Second boundaries beyond 32 bits: piece 100000 at 48000 Hz.
    const uint32_t taken = static_cast<uint32_t>(uint64_t{99999} * 48000 / 1024);
    EXPECT_EQ(CutOneSecond(TrackClock{48000, 1024}, 100000, taken, taken + 1000), 47u);
}

TEST(Conditioner, MovieBoxesThatCantBeRebuiltAreKeptWithTheirChunkOffsetsMoved) {
    // Each on a track of 100 samples, with an stts of 99 × 1024 and 1 × 204 where `twoEntries`. Unmoved: no
    // chunk offset table is reachable; AsItCame: the offsets can't be moved and the track is stored as it came.
    enum Kept { Moved, Unmoved, AsItCame };
    const TrackNotice unusable = TrackNotice::TablesUnusable, none = TrackNotice::NoMusicTrack;
    const struct { const char* what; bool twoEntries; void (*edit)(Bytes&); Kept kept; TrackNotice notice; } cases[] = {
        {"no stbl", false, [](Bytes& b) { b[at(b, "moov/trak/mdia/minf/stbl") + 4] = 'X'; }, Unmoved, none},
        {"no mdhd", false, [](Bytes& b) { b[at(b, "moov/trak/mdia/mdhd") + 4] = 'X'; }, Moved, unusable},
        {"no stsd", false, [](Bytes& b) { b[at(b, kStbl + "stsd") + 4] = 'X'; }, Moved, none},
        {"no stts", false, [](Bytes& b) { b[at(b, kStbl + "stts") + 4] = 'X'; }, Moved, unusable},
        {"no stsc", false, [](Bytes& b) { b[at(b, kStbl + "stsc") + 4] = 'X'; }, Moved, unusable},
        {"no stsz", false, [](Bytes& b) { b[at(b, kStbl + "stsz") + 4] = 'X'; }, Moved, unusable},
        {"no stco", false, [](Bytes& b) { b[at(b, kStbl + "stco") + 4] = 'X'; }, Unmoved, unusable},
        {"mdhd version 1", false, [](Bytes& b) { b[at(b, "moov/trak/mdia/mdhd") + 8] = 1; }, Moved, unusable},
        {"timescale 0", false, [](Bytes& b) { putU32(b, at(b, "moov/trak/mdia/mdhd") + 20, 0); }, Moved, unusable},
        {"sample delta 0", false, [](Bytes& b) { putU32(b, at(b, kStbl + "stts") + 20, 0); }, Moved, unusable},
        {"constant sample size", false, [](Bytes& b) { putU32(b, at(b, kStbl + "stsz") + 12, 300); }, Moved, unusable},
        {"stts declares more than it holds", false, [](Bytes& b) { putU32(b, at(b, kStbl + "stts") + 12, 2); }, Moved, unusable},
        {"stsz declares more than it holds", false, [](Bytes& b) { putU32(b, at(b, kStbl + "stsz") + 16, 101); }, Moved, unusable},
        {"stsz lists fewer sizes than samples", false, [](Bytes& b) { putU32(b, at(b, kStbl + "stsz") + 16, 99); }, Moved, unusable},
        {"stsz lists more sizes than samples", false, [](Bytes& b) { putU32(b, at(b, kStbl + "stts") + 16, 99); }, Moved, unusable},
        {"stsc holds fewer samples", false, [](Bytes& b) { putU32(b, at(b, kStbl + "stsc") + 20, 99); }, Moved, unusable},
        {"stco without entries", false, [](Bytes& b) { putU32(b, at(b, kStbl + "stco") + 12, 0); }, Unmoved, unusable},
        {"stts entries add up to more than stsz", true, [](Bytes& b) { putU32(b, at(b, kStbl + "stts") + 24, 2); }, Moved, unusable},
        {"stts entries overflow 32 bits", true,  // their sum wraps to stsz's 100
         [](Bytes& b) { putU32(b, at(b, kStbl + "stts") + 16, 0xFFFFFFFF), putU32(b, at(b, kStbl + "stts") + 24, 101); }, Moved, unusable},
        {"first of two deltas 0", true, [](Bytes& b) { putU32(b, at(b, kStbl + "stts") + 20, 0); }, Moved, unusable},
        {"stco declares more than it holds", false, [](Bytes& b) { putU32(b, at(b, kStbl + "stco") + 12, 1000); }, AsItCame, none},
        {"a chunk past the end of the input", false, [](Bytes& b) { putU32(b, at(b, kStbl + "stco") + 16, 0xFFFFFFF0); }, AsItCame, none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TrackLayout layout = layoutOf(100);
        layout.lastDelta = c.twoEntries ? 204 : 0;
        Bytes input = makeTrack(layout).bytes;
        const std::size_t chunkOffset = at(input, kStbl + "stco") + 16;
        c.edit(input);
        const Box moov = findBox(input, "moov");
        Conditioned out = condition(input);
        if (c.kept == AsItCame) {
            EXPECT_TRUE(out.report.outcome == TrackOutcome::OffsetsStuck && out.track.empty());
            continue;
        }
        EXPECT_EQ(out.report.change, 72 + 41 - static_cast<int32_t>(moov.at));  // only the ftyp went
        Bytes expected = slice(input, moov);
        if (c.kept == Moved) putU32(expected, chunkOffset - moov.at, u32(input, chunkOffset) + static_cast<uint32_t>(out.report.change));
        ASSERT_GE(out.track.size(), 72 + 41 + moov.size);
        EXPECT_EQ(Bytes(out.track.begin() + 72 + 41, out.track.begin() + 72 + 41 + moov.size), expected);
        EXPECT_TRUE(out.report.events.empty());
        EXPECT_EQ(out.report.notices, std::vector<TrackNotice>{c.notice});
    }
}

// One ioed slot: the name, where the chunk or run lies, its number and the clip's first sample in it.
Bytes slotBytes(const char* name, std::size_t boxAt, uint8_t fragment, uint8_t run, uint8_t sample, uint32_t length) {
    Bytes slot(51, 0);
    std::memcpy(slot.data(), name, std::strlen(name));
    putU32(slot, 32, static_cast<uint32_t>(boxAt));
    slot[36] = fragment, slot[37] = run, slot[38] = sample;
    putU32(slot, 39, length), putU32(slot, 43, 1), putU32(slot, 47, 65);
    return slot;
}

TEST(Conditioner, ClipsTakeTheIoedSlotsOfThePiecesTheyStartIn) {
    struct Slot { const char* name; int box; uint8_t run, sample; uint32_t length; };  // box 0: moov; n: the n-th moof
    const PieceKind chunk = PieceKind::Chunk, run = PieceKind::Run;
    const struct {
        const char* what;
        uint32_t rate;
        TrackLayout layout;
        uint32_t mode;
        std::vector<Clip> clips;
        bool free;
        std::vector<Slot> slots;
        std::vector<ClipOutOfReach> outOfReach;
        void (*edit)(Bytes&) = nullptr;
    } cases[] = {
        {"no clip", 22050, layoutOf(100), IOED, {}, false, {}, {}},
        {"1.5 s is chunk 2, sample 11", 22050, layoutOf(100), IOED, {{1, "Intro", 1500, 5000}}, false, {{"Intro", 0, 2, 11, 107}}, {}},
        {"free to use whole", 22050, layoutOf(100), IOED, {{1, "Ring", 0, 1000}}, true, {{"Ring", 0, 1, 1, 21}}, {}},
        {"only located clips, in clip order", 22050, layoutOf(100), IOED,
         {{1, "Late", 60000, 1000}, {3, "Third", 1000, 1000}}, false, {{"Third", 0, 2, 1, 21}}, {}},
        {"samples apart keep their chunks: 3 s is the second's 5th", 22050, layoutOf(100, {}, [](TrackLayout& l) { l.gapAfterSample = 60; }),
         IOED, {{1, "Late", 3000, 1000}}, false, {{"Late", 0, 2, 5, 21}}, {}},
        {"a kept movie box gives its clock to the runs: 1.5 s is the fragment's 25th", 44100, layoutOf(40, {{100}}), IOED | REFRAG,
         {{1, "Hook", 1500, 1000}}, false, {{"Hook", 1, 1, 25, 43}}, {}, [](Bytes& b) { putU32(b, at(b, kStbl + "stsz") + 12, 300); }},
        {"a kept run", 22050, layoutOf(0, {{10}, {50}}), IOED | MFRA, {{2, "Hook", 929, 1000}}, false, {{"Hook", 2, 1, 11, 21}}, {}},
        {"a re-cut run", 22050, layoutOf(0, {{100}}), IOED | MFRA | REFRAG, {{1, "Chorus", 2000, 3000}}, false,
         {{"Chorus", 1, 3, 1, 64}}, {}},
        {"a long clip", 44100, layoutOf(200), IOED, {{1, "Long", 0, 200000}}, false, {{"Long", 0, 1, 1, 8613}}, {}},
        {"past chunk 255", 22050, layoutOf(6460), IOED,
         {{1, "Late", 280000, 1000}, {2, "Early", 10000, 1000}, {3, "Last", 254000, 1000}}, false,
         {{"Early", 0, 11, 1, 21}, {"Last", 0, 255, 1, 21}}, {{1, chunk, true}}},
        {"past run 255", 22050, layoutOf(0, {{6000}}), IOED | MFRA | REFRAG, {{3, "Deep", 270000, 1000}}, false, {}, {{3, run, true}}},
        {"past sample 255", 22050, layoutOf(0, {{300}}), IOED, {{1, "Edge", 11850, 1000}, {2, "Far", 13000, 1000}}, false,
         {{"Edge", 1, 1, 255, 21}}, {{2, run, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes input = makeTrack(c.layout, c.rate).bytes;
        if (c.edit) c.edit(input);
        Conditioned out = condition(input, c.mode, c.clips, c.free);
        const uint8_t flagWord = c.clips.empty() || c.free ? 0 : 1;
        EXPECT_EQ(out.report.freeToUse, flagWord == 0);
        Bytes ioed = {0, 0, 0, static_cast<uint8_t>(c.clips.empty() ? 41 : 194), 'u', 'u', 'i', 'd', 'i', 'o', 'e', 'd', 0xA8, 0x8C,
                      0x11, 0xD4, 0x81, 0x97, 0x00, 0x90, 0x27, 0x08, 0x77, 0x03, 0, 0, 0, flagWord, 0, 0, 0, flagWord,
                      0, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(c.clips.empty() ? 0 : 3)};
        for (std::size_t i = 0; !c.clips.empty() && i < 3; ++i) {
            const Slot* slot = i < c.slots.size() ? &c.slots[i] : nullptr;
            const std::size_t boxAt = !slot ? 0 : slot->box ? moofAt(out.track, slot->box - 1) : at(out.track, "moov");
            Bytes bytes = slot ? slotBytes(slot->name, boxAt, 1, slot->run, slot->sample, slot->length) : slotBytes("", 0, 0, 0, 0, 0);
            ioed.insert(ioed.end(), bytes.begin(), bytes.end());
        }
        EXPECT_EQ(Bytes(out.track.begin() + 72, out.track.begin() + 72 + ioed.size()), ioed);
        std::vector<ClipOutOfReach> outOfReach;
        for (const TrackEvent& event : out.report.events)
            if (const auto* clip = std::get_if<ClipOutOfReach>(&event)) outOfReach.push_back(*clip);
        EXPECT_EQ(outOfReach, c.outOfReach);
        EXPECT_EQ(fuzz::trackVerdict(out.track), "ok");
    }
}

struct Entry { uint32_t time, moof, run; };  // moof: the n-th moof of the written track, from 0

// The fragment index that ends the track, as the handset reads it: one entry
// per re-cut run, its moof given by its place among the written moofs.
Bytes indexOf(const Bytes& track, const std::vector<Entry>& entries, uint32_t runBytes = 1) {
    std::vector<RunEntry> placed;
    for (const Entry& e : entries) placed.push_back({e.time, moofAt(track, e.moof), e.run});
    return fragmentIndex(placed, runBytes);
}

TEST(Conditioner, RecutRunsOfASecondAreIndexed) {
    // The index's number widths and entry count, its first and last entries; the
    // inspector finds each entry's moof, run and sample.
    const struct { TrackLayout layout; uint32_t rate, entries, lengthSizes; Entry first, last; } cases[] = {
        {layoutOf(0, std::vector<std::vector<uint32_t>>(5, {1200, 1200})), 22050, 560, 0, {0, 0, 1}, {12277760, 4, 112}},
        {layoutOf(0, {{5490}}), 22050, 255, 0, {0, 0, 1}, {5600256, 0, 255}},
        {layoutOf(0, {{5512}}), 22050, 256, 4, {0, 0, 1}, {5621760, 0, 256}},
        {layoutOf(0, {{65540}}), 1024, 65538, 12, {0, 0, 1}, {67109888, 0, 65538}},  // one sample a second, the last three together
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        AacStream stream = fakeFrames(c.rate, 0);
        stream.frames.assign(samplesUsed(c.layout), Bytes{0x21});
        Conditioned out = condition(buildTrack(stream, c.layout), IOED | MFRA | REFRAG);
        const uint32_t runBytes = c.lengthSizes == 0 ? 1 : c.lengthSizes == 4 ? 2 : 4, entry = 10 + runBytes;
        ASSERT_EQ(findBox(out.track, "mfra").size, c.entries * entry + 48);
        const Bytes written = tail(out.track, c.entries * entry + 48), ends = indexOf(out.track, {c.first, c.last}, runBytes);
        EXPECT_EQ(words(written, "mfra/tfra", 12, 3), (std::vector<uint32_t>{1, c.lengthSizes, c.entries}));
        EXPECT_TRUE(Bytes(written.begin() + 32, written.begin() + 32 + entry) == Bytes(ends.begin() + 32, ends.begin() + 32 + entry));
        EXPECT_TRUE(Bytes(written.end() - 16 - entry, written.end() - 16) == Bytes(ends.end() - 16 - entry, ends.end() - 16));
        EXPECT_EQ(words(written, "mfra/mfro", 8), (std::vector<uint32_t>{0, static_cast<uint32_t>(written.size())}));
        EXPECT_EQ(sampleMismatch(out.track, stream.frames), "");
        EXPECT_EQ(fuzz::trackVerdict(out.track), "ok");
    }
    // Times beyond 32 bits (a 10 MHz clock past seven minutes) take the index's version 1, its times 64 bits.
    TrackLayout tenMegahertz = layoutOf(0, {{9300}});
    tenMegahertz.sampleDelta = 464399;
    Conditioned wide = condition(buildTrack(fakeFrames(10000000, 9300), tenMegahertz), IOED | MFRA | REFRAG);
    const std::vector<uint64_t> times = indexTimes(wide.track);
    EXPECT_EQ(wide.track.at(findBox(wide.track, "mfra/tfra").at + 8), 1);
    EXPECT_EQ(times.size(), 432u);
    EXPECT_GT(times.back(), UINT32_MAX);  // the last, at second 431, is past 2^32 tenths of a microsecond
    EXPECT_EQ(fuzz::trackVerdict(wide.track), "ok");
}

// Takes `cut` bytes out of a track's first fragment at `from` and puts `put` there: its moof and traf change
// size, and its media data moves with its base data offset.
void editFragment(Bytes& track, std::size_t from, uint32_t cut, const Bytes& put = {}) {
    const uint32_t change = static_cast<uint32_t>(put.size()) - cut;
    const Box tfhd = findBox(track, "moof/traf/tfhd");
    if (u32(track, tfhd.at + 8) & 1) putU32(track, tfhd.at + 20, u32(track, tfhd.at + 20) + change);
    for (const char* box : {"moof/traf", "moof"}) putU32(track, at(track, box), u32(track, at(track, box)) + change);
    track.erase(track.begin() + from, track.begin() + from + cut);
    track.insert(track.begin() + from, put.begin(), put.end());
}

// Runs not re-cut (ffmpeg's layouts end to end) take the base data offset into their own offsets.
TEST(Conditioner, KeptRunsPointAtTheirSamplesInTheWrittenTrack) {
    Conditioned kept = condition(makeTrack(layoutOf(5, {{30, 20}})).bytes, IOED | MFRA);
    EXPECT_EQ(words(kept.track, "moof/traf/tfhd", 16), (std::vector<uint32_t>{0, 0}));

    // Two track fragments in one moof are not re-cut: each takes the base and the shift into its runs.
    Bytes twice = makeTrack(layoutOf(0, {{30}})).bytes;
    const Box traf = findBox(twice, "moof/traf");
    const Bytes copy = slice(twice, traf);
    const uint32_t grown = static_cast<uint32_t>(copy.size());
    twice.insert(twice.begin() + traf.end(), copy.begin(), copy.end());
    putU32(twice, at(twice, "moof"), u32(twice, at(twice, "moof")) + grown);
    for (Box header : boxes(twice, "moof/traf/tfhd")) putU32(twice, header.at + 20, u32(twice, header.at + 20) + grown);
    Conditioned both = condition(twice, IOED | MFRA | REFRAG);
    const std::vector<Box> written = boxes(both.track, "moof/traf/trun");
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(u32(both.track, written[0].at + 16), u32(both.track, written[1].at + 16));
    EXPECT_EQ(sampleMismatch(both.track, makeTrack(layoutOf(0, {{30}})).stream.frames), "");
    EXPECT_EQ(both.report.keptFragments, (std::vector<KeptFragments>{{1, 1, FragmentKept::SeveralTrackFragments}}));
}

// Fragments in the layouts other muxers write are re-cut into runs of about a second in the handset's layout
// (flags 0x000201, a base data offset of 0) where every sample of a run takes the defaults, else with the
// per-sample fields it needs; what can't be re-cut is kept with a notice. The inspector checks each index
// entry's time against the tfdt, and every sample stays where the runs say.
TEST(Conditioner, FragmentsOfEveryLayoutAreRecutInTheHandsetsLayout) {
    const uint32_t plain = 0x000201, timed = 0x000301;
    const std::vector<std::vector<uint32_t>> oneRecut = {{21, 22, 7}}, oneKept = {{30, 20}};
    const struct {
        const char* what;
        TrackLayout layout;
        void (*edit)(Bytes&);
        std::vector<std::vector<uint32_t>> runs;
        std::vector<uint32_t> flags;  // of every run written
        std::vector<uint64_t> times;  // of the index's entries
        std::vector<KeptFragments> kept;
    } cases[] = {
        {"a base data offset", layoutOf(5, {{30, 20}}), nullptr, oneRecut, {plain, plain, plain}, {5120, 26624, 49152}, {}},
        {"offsets from the moof, a tfdt of version 1", layoutOf(5, {{30, 20}}, [](TrackLayout& l) { l.style.moofRelative = true, l.style.tfdtVersion = 1; }),
         nullptr, oneRecut, {plain, plain, plain}, {5120, 26624, 49152}, {}},
        {"a tfdt of version 0 ahead of the movie box", layoutOf(5, {{30, 20}}, [](TrackLayout& l) { l.style.tfdtVersion = 0, l.style.tfdtShift = 100000; }),
         nullptr, oneRecut, {plain, plain, plain}, {105120, 126624, 149152}, {}},
        {"a short last frame in each fragment", layoutOf(0, {{30, 20}, {30}}, [](TrackLayout& l) { l.style.lastDelta = 300, l.style.tfdtVersion = 1; }),
         nullptr, {{21, 22, 7}, {21, 9}}, {plain, plain, timed, plain, timed}, {0, 21504, 44032, 51200, 72704}, {}},
        {"samples ending on the second", layoutOf(0, {{50}}, [](TrackLayout& l) { l.sampleDelta = 1050; }), nullptr,  // 21 × 1050
         {{21, 21, 8}}, {plain, plain, plain}, {0, 22050, 44100}, {}},
        {"a uuid behind the runs", layoutOf(0, {{30, 20}}, [](TrackLayout& l) { l.style.behindRuns = {0, 0, 0, 28, 'u', 'u', 'i', 'd', 't', 'f', 'x', 'd', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 0, 0, 7}; }),
         nullptr, oneRecut, {plain, plain, plain}, {0, 21504, 44032}, {}},
        {"a run without a data offset", layoutOf(0, {{30, 20}}), [](Bytes& b) {
             const Box run = boxes(b, "moof/traf/trun").at(1);
             putU32(b, run.at, u32(b, run.at) - 4), putU32(b, run.at + 8, 0x000200), editFragment(b, run.at + 16, 4); },
         oneRecut, {plain, plain, plain}, {0, 21504, 44032}, {}},
        {"a stale index between the fragments, another at the end", layoutOf(20, {{30}, {25}}, [](TrackLayout& l) { l.mfraAtEnd = true; }),
         [](Bytes& b) {  // both dropped, the fragment behind the stale one still indexed
             const std::size_t second = boxes(b, "moof").at(1).at, tfhd = boxes(b, "moof/traf/tfhd").at(1).at;
             b.insert(b.begin() + second, {0, 0, 0, 8, 'm', 'f', 'r', 'a'});
             putU32(b, tfhd + 28, u32(b, tfhd + 28) + 8); },
         {{21, 9}, {21, 4}}, {plain, plain, plain, plain}, {20480, 41984, 51200, 72704}, {}},
        {"a sidx over two fragments", layoutOf(0, {{30}, {25}}, [](TrackLayout& l) { l.style.segmentIndex = true, l.style.moofRelative = true; }),
         nullptr, {{21, 9}, {21, 4}}, {plain, plain, plain, plain}, {0, 21504, 30720, 52224}, {}},
        {"encrypted samples", layoutOf(0, {{30, 20}}, [](TrackLayout& l) { l.style.behindRuns = {0, 0, 0, 16, 's', 'e', 'n', 'c', 0, 0, 0, 0, 0, 0, 0, 0}; }),
         nullptr, oneKept, {plain, plain}, {}, {{1, 1, FragmentKept::Encrypted}}},
        {"a box between the runs", layoutOf(0, {{30, 20}}),
         [](Bytes& b) { editFragment(b, boxes(b, "moof/traf/trun").at(1).at, 0, {0, 0, 0, 8, 'f', 'r', 'e', 'e'}); }, oneKept,
         {plain, plain}, {}, {{1, 1, FragmentKept::BoxBetweenRuns}}},
        {"other data between the runs' samples", layoutOf(0, {{30, 20}}), [](Bytes& b) {  // 4 bytes after the first run's
             const Box mdat = boxes(b, "mdat").back(), run = boxes(b, "moof/traf/trun").at(1);
             b.insert(b.begin() + mdat.at + 8 + u32(b, run.at + 16), {'g', 'a', 'p', '!'});
             putU32(b, mdat.at, u32(b, mdat.at) + 4), putU32(b, run.at + 16, u32(b, run.at + 16) + 4); },
         oneKept, {plain, plain}, {}, {{1, 1, FragmentKept::SamplesApart}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Track input = makeTrack(c.layout);
        if (c.edit) c.edit(input.bytes);
        Conditioned out = condition(input.bytes, IOED | MFRA | REFRAG);
        EXPECT_EQ(runCounts(out.track), c.runs);
        std::vector<uint32_t> flags;
        for (Box run : boxes(out.track, "moof/traf/trun")) flags.push_back(u32(out.track, run.at + 8));
        EXPECT_EQ(flags, c.flags);
        EXPECT_EQ(indexTimes(out.track), c.times);
        EXPECT_EQ(out.report.keptFragments, c.kept);
        EXPECT_EQ(sampleMismatch(out.track, input.stream.frames), "");
        EXPECT_EQ(fuzz::trackVerdict(out.track), "ok");
        for (Box tfhd : c.kept.empty() ? boxes(out.track, "moof/traf/tfhd") : std::vector<Box>{})  // a base data offset of 0
            EXPECT_TRUE((u32(out.track, tfhd.at + 8) & 0x020001) == 1 && u32(out.track, tfhd.at + 16) == 0 && u32(out.track, tfhd.at + 20) == 0);
        if (c.layout.style.segmentIndex) {  // each reference: a moof and its mdat as written
            const std::vector<Box> moofs = boxes(out.track, "moof");
            const Box sidx = findBox(out.track, "sidx");
            EXPECT_EQ(moofs.at(0).at, sidx.end());
            EXPECT_EQ(u32(out.track, sidx.at + 32), moofs.at(1).at - moofs.at(0).at);
            EXPECT_EQ(u32(out.track, sidx.at + 44), findBox(out.track, "mfra").at - moofs.at(1).at);
        }
        if (!c.layout.style.behindRuns.empty()) {  // kept behind the last run
            const Box traf = findBox(out.track, "moof/traf");
            EXPECT_EQ(slice(out.track, Box{traf.end() - c.layout.style.behindRuns.size(), c.layout.style.behindRuns.size()}), c.layout.style.behindRuns);
        }
    }
}

// Boxes the packer drops (a foreign uuid, a second ftyp, an input index) in front of or behind the media data
// of a movie box or of fragments: every sample stays where the offsets say, re-cut or not.
TEST(Conditioner, DroppedBoxesBesideTheMediaDataMoveNoSample) {
    const Bytes uuid = {0, 0, 0, 36, 'u', 'u', 'i', 'd', 't', 's', 'r', 'y'}, ftyp = {0, 0, 0, 16, 'f', 't', 'y', 'p', '3', 'g', '2', 'a'},
                mfra = {0, 0, 0, 16, 'm', 'f', 'r', 'a', 0, 0, 0, 8, 'f', 'r', 'e', 'e'};
    for (Bytes dropped : {uuid, ftyp, mfra}) {
        dropped.resize(u32(dropped, 0));
        const std::string type = typeOf(dropped, Box{0, 8});
        for (bool before : {true, false}) {
            for (TrackLayout layout : {layoutOf(50), layoutOf(0, {{30}, {20, 25}})}) {
                (before ? layout.beforeMediaData : layout.afterMediaData) = dropped;
                const Track input = makeTrack(layout);
                for (uint32_t mode : {IOED | REFRAG, IOED}) {
                    SCOPED_TRACE(type + (before ? " before" : " after") + " the media data, mode " + std::to_string(mode));
                    Conditioned out = condition(input.bytes, mode);
                    EXPECT_EQ(sampleMismatch(out.track, input.stream.frames), "");
                    const std::vector<std::string> types = topLevelTypes(out.track);  // our own ftyp stays
                    EXPECT_EQ(std::count(types.begin(), types.end(), type == "uuid" ? "uuid:tsry" : type), type == "ftyp" ? 1 : 0);
                }
            }
        }
    }
}

// A lyrics track before or after the music, whose samples lie together: the music is cut into seconds, and
// the other track keeps every byte but its chunk offsets, which follow its samples. (Music whose samples lie
// apart keeps its chunks: the clip table, and lyrics muxed by ffmpeg end to end.)
TEST(Conditioner, ATrackBesideTheMusicKeepsItsSamples) {
    for (bool textFirst : {false, true}) {
        SCOPED_TRACE(textFirst ? "text first" : "text second");
        TrackLayout layout = layoutOf(100);
        layout.textSamples = 3, layout.textFirst = textFirst;
        const Track input = makeTrack(layout);
        Conditioned beside = condition(input.bytes);
        EXPECT_EQ(chunkCounts(beside.track), (std::vector<uint32_t>{21, 22, 21, 22, 14}));
        EXPECT_EQ(sampleMismatch(beside.track, input.stream.frames), "");
        const std::size_t text = textFirst ? 0 : 1;
        Bytes expected = slice(input.bytes, boxes(input.bytes, "moov/trak").at(text));
        const std::size_t entries = boxes(input.bytes, kStbl + "stco").at(text).at + 16 - boxes(input.bytes, "moov/trak")[text].at;
        for (std::size_t i = 0; i < 3; ++i) putU32(expected, entries + 4 * i, u32(expected, entries + 4 * i) + static_cast<uint32_t>(beside.report.change));
        EXPECT_EQ(slice(beside.track, boxes(beside.track, "moov/trak").at(text)), expected);
        EXPECT_TRUE(beside.report.notices.empty());
    }
}

TEST(Conditioner, TopLevelBoxesKeptDroppedAndAdded) {
    const struct { const char* what; TrackLayout layout; uint32_t mode; std::vector<std::string> types; } cases[] = {
        {"own ioed kept", layoutOf(100, {}, [](TrackLayout& l) { l.ownIoed = true; }), IOED,
         {"ftyp", "uuid:cpgd", "uuid:ioed", "moov", "mdat"}},
        {"no ioed mode", layoutOf(100), REFRAG | MFRA, {"ftyp", "uuid:cpgd", "moov", "mdat"}},
        {"foreign uuid, no ftyp", layoutOf(100, {}, [](TrackLayout& l) { l.ftyp = false, l.foreignUuid = true; }), IOED,
         {"ftyp", "uuid:cpgd", "uuid:ioed", "moov", "mdat"}},
        {"media data first, input index", layoutOf(30, {{30}}, [](TrackLayout& l) { l.mediaDataFirst = l.mfraAtEnd = true; }),
         IOED | MFRA | REFRAG, {"ftyp", "uuid:cpgd", "uuid:ioed", "mdat", "moov", "moof", "mdat", "mfra"}},
        {"a segment type before each fragment", layoutOf(0, {{30}}, [](TrackLayout& l) { l.afterMediaData = {0, 0, 0, 12, 's', 't', 'y', 'p', 'm', 's', 'd', 'h'}; }),
         IOED | MFRA | REFRAG, {"ftyp", "uuid:cpgd", "uuid:ioed", "moov", "mdat", "styp", "moof", "mdat", "styp", "mfra"}},
    };
    for (const auto& c : cases) {
        Track input = makeTrack(c.layout);
        Conditioned out = condition(input.bytes, c.mode, {{1, "Ring", 0, 1000}});
        EXPECT_EQ(topLevelTypes(out.track), c.types) << c.what;
        EXPECT_EQ(sampleMismatch(out.track, input.stream.frames), "") << c.what;
        if (c.layout.ownIoed) {
            EXPECT_EQ(slice(out.track, Box{72, 41}), slice(input.bytes, findBox(input.bytes, "uuid"))) << c.what;
        }
    }
}

TEST(Conditioner, SmallAndBrokenInputs) {
    auto boxOf = [](const char* type, std::size_t payload) {
        Bytes bytes(8 + payload, 0x5A);
        putU32(bytes, 0, static_cast<uint32_t>(bytes.size()));
        std::memcpy(&bytes[4], type, 4);
        return bytes;
    };
    Bytes trailing = boxOf("ftyp", 16);
    trailing.insert(trailing.end(), {1, 2, 3, 4, 5, 6, 7});
    const struct { Bytes input; int32_t shift; Bytes after; /* what follows the prefix */ } small[] = {
        {{}, 72, {}}, {boxOf("ftyp", 16), 48, {}}, {boxOf("uuid", 16), 48, {}}, {trailing, 48, {1, 2, 3, 4, 5, 6, 7}}};
    for (const auto& c : small) {
        Conditioned out = condition(c.input);
        EXPECT_EQ(out.report.change, c.shift);
        EXPECT_EQ(Bytes(out.track.begin() + 72, out.track.end()), c.after);
    }
    // A box as large as the WorkBuffer is taken; one byte more, and the track is stored as it came.
    EXPECT_EQ(condition(boxOf("free", kWorkBufferSize - 8)).report.change, 72 + 41);
    for (uint32_t size : {0u, 1u, 7u, 0x100000u, static_cast<uint32_t>(kWorkBufferSize + 1)}) {
        Bytes input = size > kWorkBufferSize ? boxOf("free", kWorkBufferSize - 7) : makeTrack(layoutOf(30)).bytes;
        if (size <= kWorkBufferSize) putU32(input, at(input, "moov"), size);
        Conditioned out = condition(input);
        EXPECT_EQ(out.report.outcome, TrackOutcome::TooLarge) << size;
        EXPECT_TRUE(out.track.empty() && out.report.events.empty()) << size;
    }
    // Bytes after the last box are copied; a new index comes behind them and still ends the track.
    Bytes input = makeTrack(layoutOf(10, {{30}})).bytes;
    input.insert(input.end(), {0xA0, 0xA1, 0xA2, 0xA3});
    Conditioned out = condition(input, IOED | MFRA | REFRAG);
    const Bytes index = indexOf(out.track, {{10240, 0, 1}, {31744, 0, 2}});  // 21 and 9 samples after the movie box's 10
    ASSERT_LT(index.size() + 4, out.track.size());
    EXPECT_EQ(Bytes(out.track.end() - index.size() - 4, out.track.end() - index.size()), (Bytes{0xA0, 0xA1, 0xA2, 0xA3}));
    EXPECT_TRUE(tail(out.track, index.size()) == index);
}

TEST(Conditioner, DeclaredBitratesAreFoundByTheDescriptorRules) {
    auto esds = [](std::initializer_list<uint8_t> head, std::size_t keep = 99) {
        Bytes bytes(head);  // then object and stream type, buffer size, 96000 and 56000 bps, the specific info
        bytes.insert(bytes.end(), {0x40, 0x15, 0, 3, 0, 0, 1, 0x77, 0x00, 0, 0, 0xDA, 0xC0, 0x05, 0x02, 0x13, 0x88, 0x06, 0x01, 0x02});
        bytes.resize(std::min(bytes.size(), keep));
        return bytes;
    };
    const struct { const char* what; Bytes body; int maxAt; /* -1: not understood, left alone */ } cases[] = {
        {"lengths of four bytes", esds({0x03, 0x80, 0x80, 0x80, 0x25, 0, 1, 0, 0x04, 0x80, 0x80, 0x80, 0x17}), 18},
        {"lengths of one byte", esds({0x03, 0x19, 0, 1, 0, 0x04, 0x11}), 12},
        {"lengths of two bytes", esds({0x03, 0x80, 0x1A, 0, 1, 0, 0x04, 0x80, 0x11}), 14},
        {"a URL", esds({0x03, 0x1F, 0, 1, 0x40, 3, 'u', 'r', 'l', 0x04, 0x11}), 16},
        {"all three", esds({0x03, 0x21, 0, 1, 0xE0, 0, 2, 1, 'u', 0, 3, 0x04, 0x11}), 18},
        {"another tag first", esds({0x05, 0x19, 0, 1, 0, 0x04, 0x11}), -1},
        {"another tag second", esds({0x03, 0x19, 0, 1, 0, 0x05, 0x11}), -1},
        {"a length of five bytes", esds({0x03, 0x80, 0x80, 0x80, 0x80, 0x25, 0, 1, 0, 0x04, 0x11}), -1},
        {"a URL past the box", esds({0x03, 0x19, 0, 1, 0x40, 0xFF}), -1},
        {"bitrates past the box", esds({0x03, 0x19, 0, 1, 0, 0x04, 0x11}, 18), -1},
    };
    for (const auto& c : cases) {
        TrackLayout layout = layoutOf(30);
        Bytes expected = layout.esds = c.body;
        if (c.maxAt >= 0) putU32(expected, static_cast<std::size_t>(c.maxAt), 48000), putU32(expected, c.maxAt + 4u, 48000);
        Conditioned out = condition(makeTrack(layout).bytes);
        const Box written = findBox(out.track, kStbl + "stsd/mp4a/esds");
        EXPECT_EQ(Bytes(out.track.begin() + written.at + 12, out.track.begin() + written.end()), expected) << c.what;
        std::vector<TrackEvent> events = {TrackClock{22050, 1024}};
        if (c.maxAt >= 0) events.insert(events.begin(), DeclaredBitrates{96000, 56000});
        EXPECT_EQ(out.report.events, events) << c.what;
    }
}

}  // namespace
