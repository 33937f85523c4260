// The conditioner on tracks of our own making, through real files as the driver
// calls it: one-second chunks and runs, the movie boxes left as they are, clip
// slots, the fragment index, the top-level box stream and the declared bitrates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "packer/conditioner/conditioner.h"
#include "packer/conditioner/pieces.h"
#include "packer/run_state.h"
#include "tests/tools/testkit.h"

namespace {

using namespace testkit;

constexpr uint32_t MFRA = ModeFlag::ADD_MFRA, IOED = ModeFlag::ADD_IOED, REFRAG = ModeFlag::REFRAGMENT;
constexpr uint32_t kAt = 2560;  // where the track's data lies in the package
const std::string kStbl = "moov/trak/mdia/minf/stbl/";
const Bytes kPrefix = {0, 0, 0, 28, 'f', 't', 'y', 'p', 'k', 'd', 'd', 'i', 0, 0, 0, 0, 'k', 'd', 'd', 'i', '3', 'g', '2', 'a',
                       'm', 'p', '4', '2', 0, 0, 0, 44, 'u', 'u', 'i', 'd', 'c', 'p', 'g', 'd', 0xA8, 0x8C, 0x11, 0xD4, 0x81,
                       0x97, 0x00, 0x90, 0x27, 0x08, 0x77, 0x03, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

struct Clip { int number; const char* name; uint32_t startMs, lengthMs; };
struct Conditioned { TrackOutcome outcome; int32_t shift = 0; Bytes track; std::string console; std::vector<TrackNotice> notices; };

// The run globals as the driver leaves them, then the conditioner over real files.
Conditioned condition(const Bytes& input, uint32_t mode = IOED | REFRAG, const std::vector<Clip>& clips = {}, bool chkufr = false) {
    resetPackerRun();
    g_run.modeFlags = mode, g_run.camouflageBitrate = kDefaultCamouflageBitrate, g_run.chkufrFlag = chkufr ? 1 : 0;
    g_run.workBuffer.reset(new uint8_t[kWorkBufferSize]);
    for (const Clip& clip : clips) {
        ClipRange& range = g_run.clips[clip.number - 1];
        std::snprintf(range.name, sizeof range.name, "%s", clip.name);
        range.start = clip.startMs, range.length = clip.lengthMs, range.state = ClipState::Enabled;
    }
    TempFolder folder;
    writeFile(folder / "in.3g2", input);
    Conditioned result;
    InputFile in;
    OutputFile out;
    EXPECT_TRUE(in.open(folder / "in.3g2") && out.create(folder / "out") && out.writeZeros(kAt));
    testing::internal::CaptureStdout();
    const ConditionedTrack made = ConditionMusicTrack(in, out, kAt);
    result.outcome = made.outcome, result.shift = made.change, result.notices = made.notices;
    std::fflush(stdout);
    result.console = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(out.close());
    const Bytes written = readFile(folder / "out");
    result.track.assign(written.begin() + kAt, written.end());
    if (result.outcome == TrackOutcome::Conditioned) {
        EXPECT_EQ(static_cast<int64_t>(result.track.size()) - static_cast<int64_t>(input.size()), result.shift);
    }
    return result;
}

TrackLayout layoutOf(uint32_t moov, std::vector<std::vector<uint32_t>> fragments = {}, void (*change)(TrackLayout&) = nullptr) {
    TrackLayout layout;
    layout.moovSamples = moov, layout.fragments = std::move(fragments);
    if (change) change(layout);
    return layout;
}

struct Track { AacStream stream; Bytes bytes; };

Track makeTrack(const TrackLayout& layout, uint32_t rate = 22050) {
    const AacStream stream = fakeFrames(rate, samplesUsed(layout));
    return Track{stream, buildTrack(stream, layout)};
}

std::size_t at(const Bytes& track, const std::string& path) { return findBox(track, path).at; }

Bytes slice(const Bytes& bytes, Box part) { return Bytes(bytes.begin() + part.at, bytes.begin() + part.end()); }

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
        {22050, 1024, 23, 0, {23}, {1}, false},
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
        EXPECT_EQ(chunkCounts(out.track), c.chunks);
        std::vector<std::string> tables;
        for (Box table : boxes(out.track, kStbl + "*")) tables.push_back(typeOf(out.track, table));
        EXPECT_EQ(tables, (std::vector<std::string>{"stsd", "stts", "stsc", "stsz", "stco", "stss"}));
        EXPECT_EQ(slice(out.track, findBox(out.track, kStbl + "stts")), slice(input.bytes, findBox(input.bytes, kStbl + "stts")));
        EXPECT_EQ(sampleMismatch(out.track, input.stream.frames), "");
        // The bitrates are capped at 48000 and printed as they were found.
        EXPECT_EQ(out.console, "max.128000bps typ.32000bps\n" + std::to_string(c.rate) + "Hz (" + std::to_string(c.delta) + "samples)\n");
        EXPECT_EQ(words(out.track, kStbl + "stsd/mp4a/esds", 30, 2), (std::vector<uint32_t>{48000, 32000}));
    }
    // Second boundaries beyond 32 bits: piece 100000 at 48000 Hz.
    const uint32_t taken = static_cast<uint32_t>(uint64_t{99999} * 48000 / 1024);
    EXPECT_EQ(CutOneSecond(PieceClock{48000, 1024}, 100000, taken, taken + 1000), 47u);
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
            EXPECT_TRUE(out.outcome == TrackOutcome::OffsetsStuck && out.track.empty());
            continue;
        }
        EXPECT_EQ(out.shift, 72 + 41 - static_cast<int32_t>(moov.at));  // only the ftyp went
        Bytes expected = slice(input, moov);
        if (c.kept == Moved) putU32(expected, chunkOffset - moov.at, u32(input, chunkOffset) + static_cast<uint32_t>(out.shift));
        ASSERT_GE(out.track.size(), 72 + 41 + moov.size);
        EXPECT_EQ(Bytes(out.track.begin() + 72 + 41, out.track.begin() + 72 + 41 + moov.size), expected);
        EXPECT_EQ(out.console, "");
        EXPECT_EQ(out.notices, std::vector<TrackNotice>{c.notice});
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

std::string errorLines(const std::string& console) {
    std::string errors;
    for (std::size_t at = console.find("  error: "); at != std::string::npos; at = console.find("  error: ", at + 1))
        errors += console.substr(at, console.find('\n', at) + 1 - at);
    return errors;
}

TEST(Conditioner, ClipsTakeTheIoedSlotsOfThePiecesTheyStartIn) {
    struct Slot { const char* name; int box; uint8_t run, sample; uint32_t length; };  // box 0: moov; n: the n-th moof
    const struct {
        const char* what;
        uint32_t rate;
        TrackLayout layout;
        uint32_t mode;
        std::vector<Clip> clips;
        bool chkufr;
        std::vector<Slot> slots;
        std::string errors;
    } cases[] = {
        {"no clip", 22050, layoutOf(100), IOED, {}, false, {}, ""},
        {"1.5 s is chunk 2, sample 11", 22050, layoutOf(100), IOED, {{1, "Intro", 1500, 5000}}, false, {{"Intro", 0, 2, 11, 107}}, ""},
        {"free to use whole", 22050, layoutOf(100), IOED, {{1, "Ring", 0, 1000}}, true, {{"Ring", 0, 1, 1, 21}}, ""},
        {"only located clips, in clip order", 22050, layoutOf(100), IOED,
         {{1, "Late", 60000, 1000}, {3, "Third", 1000, 1000}}, false, {{"Third", 0, 2, 1, 21}}, ""},
        {"a kept run", 22050, layoutOf(0, {{10}, {50}}), IOED | MFRA, {{2, "Hook", 929, 1000}}, false, {{"Hook", 2, 1, 11, 21}}, ""},
        {"a re-cut run", 22050, layoutOf(0, {{100}}), IOED | MFRA | REFRAG, {{1, "Chorus", 2000, 3000}}, false,
         {{"Chorus", 1, 3, 1, 64}}, ""},
        {"a long clip", 44100, layoutOf(200), IOED, {{1, "Long", 0, 200000}}, false, {{"Long", 0, 1, 1, 8613}}, ""},
        {"past chunk 255", 22050, layoutOf(6460), IOED,
         {{1, "Late", 280000, 1000}, {2, "Early", 10000, 1000}, {3, "Last", 254000, 1000}}, false,
         {{"Early", 0, 11, 1, 21}, {"Last", 0, 255, 1, 21}}, "  error: clip 1 lies beyond chunk 255\n"},
        {"past run 255", 22050, layoutOf(0, {{6000}}), IOED | MFRA | REFRAG, {{3, "Deep", 270000, 1000}}, false, {},
         "  error: clip 3 lies beyond run 255\n"},
        {"past sample 255", 22050, layoutOf(0, {{300}}), IOED, {{1, "Edge", 11850, 1000}, {2, "Far", 13000, 1000}}, false,
         {{"Edge", 1, 1, 255, 21}}, "  error: clip 2 lies beyond sample 255 of its run\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Conditioned out = condition(makeTrack(c.layout, c.rate).bytes, c.mode, c.clips, c.chkufr);
        const uint32_t flagWord = c.clips.empty() || c.chkufr ? 0 : 1;
        Bytes ioed = {0, 0, 0, static_cast<uint8_t>(c.clips.empty() ? 41 : 194), 'u', 'u', 'i', 'd', 'i', 'o', 'e', 'd', 0xA8, 0x8C,
                      0x11, 0xD4, 0x81, 0x97, 0x00, 0x90, 0x27, 0x08, 0x77, 0x03, 0, 0, 0, static_cast<uint8_t>(flagWord), 0, 0, 0,
                      static_cast<uint8_t>(flagWord), 0, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(c.clips.empty() ? 0 : 3)};
        for (std::size_t i = 0; !c.clips.empty() && i < 3; ++i) {
            const Slot* slot = i < c.slots.size() ? &c.slots[i] : nullptr;
            const std::size_t boxAt = !slot ? 0 : slot->box ? boxes(out.track, "moof").at(slot->box - 1).at : at(out.track, "moov");
            Bytes bytes = slot ? slotBytes(slot->name, boxAt, 1, slot->run, slot->sample, slot->length) : slotBytes("", 0, 0, 0, 0, 0);
            ioed.insert(ioed.end(), bytes.begin(), bytes.end());
        }
        EXPECT_EQ(Bytes(out.track.begin() + 72, out.track.begin() + 72 + ioed.size()), ioed);
        EXPECT_EQ(errorLines(out.console), c.errors);
    }
}

// The index the re-cut runs call for: one entry per run of every moof, its
// time counted from the movie box's samples.
Bytes expectedIndex(const Bytes& track, uint32_t moovSamples, uint32_t delta, uint32_t runBytes) {
    std::vector<RunEntry> entries;
    uint32_t time = moovSamples * delta;
    const std::vector<Box> moofs = boxes(track, "moof");
    const std::vector<std::vector<uint32_t>> runs = runCounts(track);
    for (std::size_t f = 0; f < moofs.size(); ++f) {
        for (uint32_t r = 0; r < runs[f].size(); time += runs[f][r++] * delta)
            entries.push_back({time, static_cast<uint32_t>(moofs[f].at), r + 1});
    }
    return fragmentIndex(entries, runBytes);
}

Bytes tail(const Bytes& track, std::size_t count) { return Bytes(track.end() - count, track.end()); }

TEST(Conditioner, RecutRunsOfASecondAreIndexed) {
    const struct { TrackLayout layout; uint32_t rate, runBytes, entries; } cases[] = {  // entries' run numbers `runBytes` wide
        {layoutOf(10, {{30, 20}}), 22050, 1, 3},  // runs of 21, 22 and 7 samples
        {layoutOf(0, std::vector<std::vector<uint32_t>>(5, {1200, 1200})), 22050, 1, 560},
        {layoutOf(0, {{5490}}), 22050, 1, 255},
        {layoutOf(0, {{5512}}), 22050, 2, 256},
        {layoutOf(0, {{65540}}), 1024, 4, 65538},  // one sample a second, the last three together
    };
    for (const auto& c : cases) {
        AacStream stream = fakeFrames(c.rate, samplesUsed(c.layout));
        if (c.entries > 3) stream.frames.assign(samplesUsed(c.layout), Bytes{0x21});
        const Bytes input = buildTrack(stream, c.layout);
        Conditioned out = condition(input, IOED | MFRA | REFRAG);
        const uint32_t size = c.entries * (10 + c.runBytes) + 48;
        ASSERT_EQ(findBox(out.track, "mfra").size, size) << c.entries;
        EXPECT_EQ(u32(out.track, at(out.track, "mfra/tfra") + 16), c.runBytes == 1 ? 0u : c.runBytes == 2 ? 4u : 12u);
        EXPECT_TRUE(tail(out.track, size) == expectedIndex(out.track, c.layout.moovSamples, 1024, c.runBytes)) << c.entries;
        EXPECT_EQ(words(out.track, "moof/traf/tfhd", 16, 2), (std::vector<uint32_t>{0, 0}));  // the base went into the runs
        EXPECT_EQ(sampleMismatch(out.track, stream.frames), "");
        if (c.entries != 3) continue;
        EXPECT_EQ(runCounts(out.track), (std::vector<std::vector<uint32_t>>{{21, 22, 7}}));
        EXPECT_EQ(findBox(out.track, "moof").size, findBox(input, "moof").size + 20);  // one run header more
        const std::size_t tfra = at(out.track, "mfra/tfra");  // entry times: after the movie box's 10 samples, then 21 and 22 more
        EXPECT_EQ((std::vector<uint32_t>{u32(out.track, tfra + 24), u32(out.track, tfra + 35), u32(out.track, tfra + 46)}),
                  (std::vector<uint32_t>{10240, 10240 + 21504, 10240 + 44032}));
    }
}

TEST(Conditioner, AnInputIndexIsDroppedAndTheNewOneCoversEveryFragment) {
    Track input = makeTrack(layoutOf(20, {{30}, {25}}, [](TrackLayout& l) { l.mfraAtEnd = true; }));
    // A stale index between the fragments too: the fragment behind it must still be indexed.
    const Bytes stale = {0, 0, 0, 8, 'm', 'f', 'r', 'a'};
    const Box second = boxes(input.bytes, "moof").at(1);
    input.bytes.insert(input.bytes.begin() + second.at, stale.begin(), stale.end());
    const std::size_t tfhd = boxes(input.bytes, "moof/traf/tfhd").at(1).at;
    putU32(input.bytes, tfhd + 20, u32(input.bytes, tfhd + 20) + 8);
    Conditioned out = condition(input.bytes, IOED | MFRA | REFRAG);
    EXPECT_EQ(topLevelTypes(out.track), (std::vector<std::string>{"ftyp", "uuid:cpgd", "uuid:ioed", "moov", "mdat", "moof", "mdat",
                                                                  "moof", "mdat", "mfra"}));
    EXPECT_EQ(runCounts(out.track), (std::vector<std::vector<uint32_t>>{{21, 9}, {21, 4}}));
    EXPECT_EQ(tail(out.track, 92), expectedIndex(out.track, 20, 1024, 1));
    EXPECT_EQ(sampleMismatch(out.track, input.stream.frames), "");
}

// Takes bytes out of a track's only fragment: its moof and traf shrink, and its media data moves with its base data offset.
void cutFromFragment(Bytes& track, std::size_t from, uint32_t count) {
    const Box tfhd = findBox(track, "moof/traf/tfhd");
    if (u32(track, tfhd.at + 8) & 1) putU32(track, tfhd.at + 20, u32(track, tfhd.at + 20) - count);
    for (const char* box : {"moof/traf", "moof"}) putU32(track, at(track, box), u32(track, at(track, box)) - count);
    track.erase(track.begin() + from, track.begin() + from + count);
}

TEST(Conditioner, KeptRunsPointAtTheirSamplesInTheWrittenTrack) {
    Track input = makeTrack(layoutOf(5, {{30, 20}}));
    const Box tfhd = findBox(input.bytes, "moof/traf/tfhd");
    const std::vector<Box> runs = boxes(input.bytes, "moof/traf/trun");

    Conditioned kept = condition(input.bytes, IOED | MFRA);  // not re-cut: nothing to index
    EXPECT_EQ(findBox(kept.track, "moof").size, findBox(input.bytes, "moof").size);
    EXPECT_EQ(words(kept.track, "moof/traf/tfhd", 16), (std::vector<uint32_t>{0, 0}));
    for (std::size_t r = 0; r < 2; ++r)
        EXPECT_EQ(u32(kept.track, boxes(kept.track, "moof/traf/trun")[r].at + 16),
                  u32(input.bytes, tfhd.at + 20) + u32(input.bytes, runs[r].at + 16) + static_cast<uint32_t>(kept.shift));
    EXPECT_FALSE(findBox(kept.track, "mfra").found());
    EXPECT_EQ(sampleMismatch(kept.track, input.stream.frames), "");

    Conditioned unindexed = condition(input.bytes, IOED | REFRAG);
    EXPECT_EQ(runCounts(unindexed.track), (std::vector<std::vector<uint32_t>>{{21, 22, 7}}));
    EXPECT_FALSE(findBox(unindexed.track, "mfra").found());

    // A run without a data offset: the base moves instead, and the runs stay as they are.
    Bytes noOffset = input.bytes;
    putU32(noOffset, runs[1].at, u32(noOffset, runs[1].at) - 4), putU32(noOffset, runs[1].at + 8, 0x000200);
    cutFromFragment(noOffset, runs[1].at + 16, 4);
    Conditioned moved = condition(noOffset, IOED | MFRA | REFRAG);
    const uint32_t movedBase = u32(noOffset, tfhd.at + 20) + static_cast<uint32_t>(moved.shift);
    EXPECT_EQ(words(moved.track, "moof/traf/tfhd", 16), (std::vector<uint32_t>{0, movedBase}));
    EXPECT_EQ(runCounts(moved.track), (std::vector<std::vector<uint32_t>>{{30, 20}}));
    EXPECT_EQ(sampleMismatch(moved.track, input.stream.frames), "");
}

TEST(Conditioner, FragmentsWithoutABaseOrWithTwoTrackFragments) {
    Track input = makeTrack(layoutOf(0, {{30, 20}}));
    // Offsets relative to the moof (no base data offset): the fragment moves with its data unchanged.
    Bytes relative = input.bytes;
    const Box moof = findBox(relative, "moof"), tfhd = findBox(relative, "moof/traf/tfhd");
    const uint32_t base = u32(relative, tfhd.at + 20);
    for (Box run : boxes(relative, "moof/traf/trun"))
        putU32(relative, run.at + 16, u32(relative, run.at + 16) + base - 8 - static_cast<uint32_t>(moof.at));
    putU32(relative, tfhd.at, 16), putU32(relative, tfhd.at + 8, 0x020000);
    cutFromFragment(relative, tfhd.at + 16, 8);
    Conditioned out = condition(relative, IOED | MFRA | REFRAG);
    EXPECT_EQ(slice(out.track, findBox(out.track, "moof")), slice(relative, findBox(relative, "moof")));
    EXPECT_EQ(sampleMismatch(out.track, input.stream.frames), "");

    // Two track fragments in one moof: each takes the base and the shift into its runs.
    Bytes twice = makeTrack(layoutOf(0, {{30}})).bytes;
    const Box traf = findBox(twice, "moof/traf");
    const Bytes copy = slice(twice, traf);
    const uint32_t grown = static_cast<uint32_t>(copy.size());
    twice.insert(twice.begin() + traf.end(), copy.begin(), copy.end());
    putU32(twice, at(twice, "moof"), u32(twice, at(twice, "moof")) + grown);
    for (Box header : boxes(twice, "moof/traf/tfhd")) putU32(twice, header.at + 20, u32(twice, header.at + 20) + grown);
    Conditioned both = condition(twice, IOED | MFRA);
    const std::vector<Box> written = boxes(both.track, "moof/traf/trun");
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(u32(both.track, written[0].at + 16), u32(both.track, written[1].at + 16));
    EXPECT_EQ(sampleMismatch(both.track, makeTrack(layoutOf(0, {{30}})).stream.frames), "");
}

TEST(Conditioner, AKeptMovieBoxGivesItsClockToTheFragmentsAndTheirClips) {
    Bytes input = makeTrack(layoutOf(40, {{100}}), 44100).bytes;
    putU32(input, at(input, kStbl + "stsz") + 12, 300);  // can't be rebuilt
    Conditioned out = condition(input, IOED | REFRAG, {{1, "Hook", 1500, 1000}});
    EXPECT_EQ(runCounts(out.track), (std::vector<std::vector<uint32_t>>{{43, 43, 14}}));
    // 1.5 s is sample 64 at 44100 Hz: the fragment's 25th, after the movie box's 40.
    EXPECT_EQ(Bytes(out.track.begin() + 72 + 41, out.track.begin() + 72 + 41 + 51), slotBytes("Hook", at(out.track, "moof"), 1, 1, 25, 43));
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

// Other bytes between the music's samples: its own chunks stay, their offsets follow the samples, and clips
// are found in them.
TEST(Conditioner, MusicSamplesLyingApartKeepTheirChunks) {
    TrackLayout layout = layoutOf(100);
    layout.gapAfterSample = 60;
    const Track input = makeTrack(layout);
    Conditioned out = condition(input.bytes, IOED, {{1, "Late", 3000, 1000}});
    EXPECT_EQ(chunkCounts(out.track), (std::vector<uint32_t>{60, 40}));
    EXPECT_EQ(sampleMismatch(out.track, input.stream.frames), "");
    EXPECT_EQ(out.notices, std::vector<TrackNotice>{TrackNotice::SamplesApart});
    // 3 s is sample 64 at 22050 Hz: the second chunk's 5th.
    EXPECT_EQ(Bytes(out.track.begin() + 72 + 41, out.track.begin() + 72 + 41 + 51), slotBytes("Late", at(out.track, "moov"), 1, 2, 5, 21));
}

// A lyrics track before or after the music: the music is found and cut into seconds; the other track keeps
// every byte but its chunk offsets, which follow its samples.
TEST(Conditioner, ATrackBesideTheMusicKeepsItsTablesAndItsSamples) {
    for (bool textFirst : {false, true}) {
        SCOPED_TRACE(textFirst ? "text first" : "text second");
        TrackLayout layout = layoutOf(100);
        layout.textSamples = 3, layout.textFirst = textFirst;
        const Track input = makeTrack(layout);
        Conditioned out = condition(input.bytes);
        EXPECT_EQ(chunkCounts(out.track), (std::vector<uint32_t>{21, 22, 21, 22, 14}));
        EXPECT_EQ(sampleMismatch(out.track, input.stream.frames), "");
        const std::size_t text = textFirst ? 0 : 1;
        Bytes expected = slice(input.bytes, boxes(input.bytes, "moov/trak").at(text));
        const std::size_t entries = boxes(input.bytes, "moov/trak/mdia/minf/stbl/stco").at(text).at + 16 - boxes(input.bytes, "moov/trak")[text].at;
        for (std::size_t i = 0; i < 3; ++i) putU32(expected, entries + 4 * i, u32(expected, entries + 4 * i) + static_cast<uint32_t>(out.shift));
        EXPECT_EQ(slice(out.track, boxes(out.track, "moov/trak").at(text)), expected);
        EXPECT_TRUE(out.notices.empty());
    }
}

TEST(Conditioner, TopLevelBoxesKeptDroppedAndAdded) {
    const struct { const char* what; TrackLayout layout; uint32_t mode; std::vector<std::string> types; } cases[] = {
        {"plain", layoutOf(100), IOED, {"ftyp", "uuid:cpgd", "uuid:ioed", "moov", "mdat"}},
        {"own ioed kept", layoutOf(100, {}, [](TrackLayout& l) { l.ownIoed = true; }), IOED,
         {"ftyp", "uuid:cpgd", "uuid:ioed", "moov", "mdat"}},
        {"no ioed mode", layoutOf(100), REFRAG | MFRA, {"ftyp", "uuid:cpgd", "moov", "mdat"}},
        {"foreign uuid, no ftyp", layoutOf(100, {}, [](TrackLayout& l) { l.ftyp = false, l.foreignUuid = true; }), IOED,
         {"ftyp", "uuid:cpgd", "uuid:ioed", "moov", "mdat"}},
        {"media data first, input index", layoutOf(30, {{30}}, [](TrackLayout& l) { l.mediaDataFirst = l.mfraAtEnd = true; }),
         IOED | MFRA | REFRAG, {"ftyp", "uuid:cpgd", "uuid:ioed", "mdat", "moov", "moof", "mdat", "mfra"}},
    };
    for (const auto& c : cases) {
        Track input = makeTrack(c.layout);
        Conditioned out = condition(input.bytes, c.mode, {{1, "Ring", 0, 1000}});
        EXPECT_EQ(Bytes(out.track.begin(), out.track.begin() + 72), kPrefix) << c.what;
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
        EXPECT_EQ(out.shift, c.shift);
        EXPECT_EQ(Bytes(out.track.begin() + 72, out.track.end()), c.after);
    }
    // A box as large as the WorkBuffer is taken; one byte more, and the track is stored as it came.
    EXPECT_EQ(condition(boxOf("free", kWorkBufferSize - 8)).shift, 72 + 41);
    for (uint32_t size : {0u, 1u, 7u, 0x100000u, static_cast<uint32_t>(kWorkBufferSize + 1)}) {
        Bytes input = size > kWorkBufferSize ? boxOf("free", kWorkBufferSize - 7) : makeTrack(layoutOf(30)).bytes;
        if (size <= kWorkBufferSize) putU32(input, at(input, "moov"), size);
        Conditioned out = condition(input);
        EXPECT_EQ(out.outcome, TrackOutcome::TooLarge) << size;
        EXPECT_TRUE(out.track.empty() && out.console.empty()) << size;
    }
    // Bytes after the last box are copied; a new index comes behind them and still ends the track.
    Bytes input = makeTrack(layoutOf(10, {{30}})).bytes;
    input.insert(input.end(), {0xA0, 0xA1, 0xA2, 0xA3});
    Conditioned out = condition(input, IOED | MFRA | REFRAG);
    const uint32_t index = u32(out.track, out.track.size() - 4);
    ASSERT_LT(index + 4, out.track.size());
    EXPECT_EQ(Bytes(out.track.end() - index - 4, out.track.end() - index), (Bytes{0xA0, 0xA1, 0xA2, 0xA3}));
    EXPECT_EQ(tail(out.track, index), expectedIndex(out.track, 10, 1024, 1));
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
        {"depends on a stream", esds({0x03, 0x1B, 0, 1, 0x80, 0, 2, 0x04, 0x11}), 14},
        {"a URL", esds({0x03, 0x1F, 0, 1, 0x40, 3, 'u', 'r', 'l', 0x04, 0x11}), 16},
        {"a clock stream", esds({0x03, 0x1B, 0, 1, 0x20, 0, 3, 0x04, 0x11}), 14},
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
        EXPECT_EQ(out.console, (c.maxAt >= 0 ? "max.96000bps typ.56000bps\n" : "") + std::string("22050Hz (1024samples)\n")) << c.what;
    }
}

}  // namespace
