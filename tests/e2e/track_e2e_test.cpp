// Tracks × modes, end to end: each track is packed by the real packer, its music
// member extracted with GNU tar, decoded by ffmpeg to the same sound as the
// input, and read by our track reader, whose checks prove every chunk offset,
// run offset, index entry and clip slot against the bytes they name.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ostream>

#include "tests/e2e/box_surgery.h"
#include "tests/e2e/e2e_support.h"
#include "tests/tools/media_tools.h"
#include "tests/tools/package_reader.h"
#include "tests/tools/test_files.h"
#include "tests/tools/track_builder.h"
#include "tests/tools/track_checks.h"
#include "tests/tools/track_reader.h"

namespace {

using testtrack::TrackLayout;

constexpr uint32_t MFRA = ModeFlag::ADD_MFRA;
constexpr uint32_t IOED = ModeFlag::ADD_IOED;
constexpr uint32_t REFRAG = ModeFlag::REFRAGMENT;
constexpr uint32_t ALL = MFRA | IOED | REFRAG;
constexpr uint32_t kDelta = 1024;
constexpr uint32_t kCamouflageBitrate = 48000;

// Clip N: a name given with -chkuN: (none when empty) and line N + 3 of config.txt ("" = empty line).
struct Clip {
    std::string name;
    std::string range;
};

struct TrackCase {
    const char* name;
    uint32_t rate;
    TrackLayout layout;
    uint32_t flags;
    std::vector<Clip> clips;
    bool chkufr = false;
};

// Test names in CTest show the case's name, not its bytes.
void PrintTo(const TrackCase& c, std::ostream* out) { *out << c.name; }

TrackLayout layoutOf(uint32_t moovSamples, std::vector<std::vector<uint32_t>> fragments = {}) {
    TrackLayout layout;
    layout.moovSamples = moovSamples;
    layout.fragments = std::move(fragments);
    return layout;
}

TrackLayout with(TrackLayout layout, void (*change)(TrackLayout&)) {
    change(layout);
    return layout;
}

// Whole seconds of tone that hold the samples a layout takes, with some to spare.
double secondsFor(const TrackLayout& layout, uint32_t rate) {
    return std::ceil((testtrack::samplesUsed(layout) + 8.0) * kDelta / rate) + 1;
}

bool anyClipEnabled(const TrackCase& c) {
    for (const Clip& clip : c.clips) {
        if (!clip.name.empty() || !clip.range.empty()) return true;
    }
    return false;
}

bool hasRuns(const TrackLayout& layout) {
    for (const auto& runs : layout.fragments) {
        if (!runs.empty()) return true;
    }
    return false;
}

std::string configText(const TrackCase& c) {
    std::string text = "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n";
    for (const Clip& clip : c.clips) text += clip.range + "\r\n";
    return text;
}

std::vector<std::string> packerArguments(const TrackCase& c) {
    std::vector<std::string> arguments = {"song.3g2", "-o:song.kmf", e2e::modeOption(c.flags)};
    for (std::size_t i = 0; i < c.clips.size(); ++i) {
        if (!c.clips[i].name.empty()) arguments.push_back("-chku" + std::to_string(i + 1) + ":" + c.clips[i].name);
    }
    if (c.chkufr) arguments.push_back("-chkufr");
    return arguments;
}

// The top-level boxes the conditioned track must have, in order.
std::vector<std::string> expectedBoxTypes(const TrackCase& c) {
    const TrackLayout& layout = c.layout;
    std::vector<std::string> types = {"ftyp", "uuid:cpgd"};
    if (layout.ownIoed || (c.flags & IOED)) types.push_back("uuid:ioed");
    if (layout.mediaDataFirst) types.insert(types.end(), {"mdat", "moov"});
    else types.insert(types.end(), {"moov", "mdat"});
    for (std::size_t i = 0; i < layout.fragments.size(); ++i) types.insert(types.end(), {"moof", "mdat"});
    if ((c.flags & MFRA) && (c.flags & REFRAG) && hasRuns(layout)) types.push_back("mfra");
    return types;
}

void expectMovieTables(const testtrack::Track& out, const TrackCase& c) {
    ASSERT_TRUE(out.movie) << "no movie box";
    const testtrack::MovieBox& movie = *out.movie;
    std::vector<uint32_t> chunks = testtrack::oneSecondPieces(c.layout.moovSamples, c.rate, kDelta);
    EXPECT_EQ(movie.sampleTableChildren, (std::vector<std::string>{"stsd", "stts", "stsc", "stsz", "stco", "stss"}));
    EXPECT_EQ(movie.timeToSample, (std::vector<std::pair<uint32_t, uint32_t>>{{c.layout.moovSamples, kDelta}}));
    EXPECT_EQ(movie.samplesPerChunk(), chunks);
    std::vector<uint32_t> firstSamples;
    uint32_t first = 1;
    for (std::size_t k = 0; k < chunks.size(); ++k) {
        ASSERT_LT(k, movie.sampleToChunk.size()) << "stsc has fewer entries than chunks";
        EXPECT_EQ(movie.sampleToChunk[k].firstChunk, k + 1);
        EXPECT_EQ(movie.sampleToChunk[k].samplesPerChunk, chunks[k]);
        EXPECT_EQ(movie.sampleToChunk[k].descriptionIndex, 1u);
        firstSamples.push_back(first);
        first += chunks[k];
    }
    EXPECT_EQ(movie.sampleToChunk.size(), chunks.size());
    ASSERT_TRUE(movie.syncSamples) << "no stss box";
    EXPECT_EQ(*movie.syncSamples, firstSamples);
    EXPECT_TRUE(movie.bitratesFound);
    EXPECT_EQ(movie.maxBitrate, std::min(c.layout.maxBitrate, kCamouflageBitrate));
    EXPECT_EQ(movie.avgBitrate, std::min(c.layout.avgBitrate, kCamouflageBitrate));
}

void expectFragments(const testtrack::Track& out, const TrackCase& c) {
    ASSERT_EQ(out.fragments.size(), c.layout.fragments.size());
    for (std::size_t f = 0; f < out.fragments.size(); ++f) {
        SCOPED_TRACE("fragment " + std::to_string(f + 1));
        const testtrack::Fragment& fragment = out.fragments[f];
        const std::vector<uint32_t>& inputRuns = c.layout.fragments[f];
        uint32_t total = 0;
        for (uint32_t count : inputRuns) total += count;
        std::vector<uint32_t> expected = (c.flags & REFRAG) ? testtrack::oneSecondPieces(total, c.rate, kDelta) : inputRuns;
        EXPECT_EQ(testtrack::runCounts(fragment), expected);
        EXPECT_EQ(fragment.headerFlags & 0x000001, 1u);
        EXPECT_EQ(fragment.baseDataOffset, 0u);
        for (const testtrack::FragmentRun& run : fragment.runs) EXPECT_EQ(run.flags, 0x000201u);
    }
}

void expectIndex(const testtrack::Track& out, const TrackCase& c) {
    bool wanted = (c.flags & MFRA) && (c.flags & REFRAG) && hasRuns(c.layout);
    if (!wanted) {
        EXPECT_FALSE(out.index) << "a fragment index that should not be there";
        return;
    }
    ASSERT_TRUE(out.index) << "no fragment index";
    std::vector<std::pair<uint32_t, uint32_t>> expected;  // (moof offset, run number) of every run, in order
    for (const testtrack::Fragment& fragment : out.fragments) {
        for (uint32_t r = 1; r <= fragment.runs.size(); ++r) expected.emplace_back(fragment.offset, r);
    }
    std::vector<std::pair<uint32_t, uint32_t>> actual;
    for (const testtrack::IndexEntry& entry : out.index->entries) actual.emplace_back(entry.moofOffset, entry.runNumber);
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(out.index->size, 48 + 11 * out.index->entries.size());
    for (const std::string& problem : testtrack::checkFragmentIndex(out, kDelta)) ADD_FAILURE() << problem;
}

uint32_t startSamples(uint32_t ms, uint32_t rate) { return (ms / 1000) * rate / kDelta + ((ms % 1000) * rate / kDelta) / 1000; }
uint32_t lengthSamples(uint32_t ms, uint32_t rate) { return (ms * rate / kDelta) / 1000; }

struct ExpectedSlot {
    std::string name;
    testtrack::SampleLocation location;
    uint32_t length;
};

// The clips the packer must find, in slot order, where our reader finds their first samples.
std::vector<ExpectedSlot> expectedSlots(const TrackCase& c, const testtrack::Track& out) {
    std::vector<ExpectedSlot> slots;
    for (const Clip& clip : c.clips) {
        if (clip.name.empty() && clip.range.empty()) continue;
        unsigned s1 = 0, m1 = 0, s2 = 0, m2 = 0;
        if (!clip.range.empty()) std::sscanf(clip.range.c_str(), "%u.%u,%u.%u", &s1, &m1, &s2, &m2);
        uint32_t startMs = s1 * 1000 + m1;
        uint32_t lengthMs = (s2 * 1000 + m2) - startMs;
        testtrack::SampleLocation location = testtrack::locateSample(out, startSamples(startMs, c.rate));
        if (location.found) slots.push_back({clip.name, location, lengthSamples(lengthMs, c.rate)});
    }
    return slots;
}

void expectIoed(const testtrack::Track& out, const TrackCase& c) {
    if (c.layout.ownIoed) {
        ASSERT_TRUE(out.ioed);
        EXPECT_EQ(out.ioed->size, 41u) << "the track's own ioed box must be copied unchanged";
        EXPECT_EQ(out.ioed->slotCount, 0u);
        return;
    }
    if (!(c.flags & IOED)) {
        EXPECT_FALSE(out.ioed) << "an ioed box without ADD_IOED";
        return;
    }
    ASSERT_TRUE(out.ioed) << "no ioed box";
    const testtrack::IoedBox& ioed = *out.ioed;
    bool enabled = anyClipEnabled(c);
    uint32_t flagWord = enabled && !c.chkufr ? 1 : 0;
    EXPECT_EQ(ioed.size, enabled ? 194u : 41u);
    EXPECT_EQ(ioed.slotCount, enabled ? 3u : 0u);
    EXPECT_EQ(ioed.flagWord1, flagWord);
    EXPECT_EQ(ioed.flagWord2, flagWord);
    if (!enabled) return;
    ASSERT_EQ(ioed.slots.size(), 3u);
    std::vector<ExpectedSlot> expected = expectedSlots(c, out);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE("clip slot " + std::to_string(i + 1));
        const testtrack::ClipSlot& slot = ioed.slots[i];
        if (i >= expected.size()) {
            EXPECT_TRUE(slot.untouched) << "a slot beyond the located clips was written";
            continue;
        }
        EXPECT_EQ(slot.name, expected[i].name);
        EXPECT_EQ(slot.boxOffset, expected[i].location.boxOffset);
        EXPECT_EQ(slot.fragmentNumber, 1u);
        EXPECT_EQ(slot.runNumber, expected[i].location.pieceNumber);
        EXPECT_EQ(slot.sampleNumber, expected[i].location.sampleNumber);
        EXPECT_EQ(slot.length, expected[i].length);
        EXPECT_EQ(slot.constant1, 1u);
        EXPECT_EQ(slot.constant2, 65u);
    }
}

void expectSameSound(const std::string& input, const std::string& output) {
    testenv::DecodedAudio in = testenv::decodeToPcm(input);
    testenv::DecodedAudio out = testenv::decodeToPcm(output);
    ASSERT_TRUE(in.ok) << "ffmpeg could not decode the input: " << in.error;
    ASSERT_TRUE(out.ok) << "ffmpeg could not decode the conditioned track: " << out.error;
    EXPECT_EQ(out.error, in.error) << "ffmpeg complains about the conditioned track";
    EXPECT_EQ(out.pcm.size(), in.pcm.size());
    EXPECT_EQ(testenv::sha256Hex(out.pcm), testenv::sha256Hex(in.pcm)) << "the conditioned track sounds different";
}

// Packs `input` in a fresh folder and returns the package's music member as tar extracts it.
struct Packed {
    testenv::ProcessResult run;
    testpkg::Package package;
    std::vector<uint8_t> music;
    std::string musicPath;
};

Packed pack(const testenv::TempFolder& folder, const std::vector<uint8_t>& input, const std::vector<std::string>& arguments,
            const std::string& config) {
    Packed packed;
    testenv::writeFile(folder.file("song.3g2"), input);
    if (!config.empty()) testenv::writeFile(folder.file("config.txt"), config);
    packed.run = e2e::runPacker(arguments, folder.path());
    EXPECT_EQ(packed.run.exitCode, 0);
    if (!testenv::fileExists(folder.file("song.kmf"))) {
        ADD_FAILURE() << "no package written; the packer printed:\n" << packed.run.out << packed.run.err;
        return packed;
    }
    packed.package = testpkg::readPackage(testenv::readFile(folder.file("song.kmf")));
    EXPECT_TRUE(packed.package.ok()) << packed.package.report();
    testenv::makeFolders(folder.file("extracted"));
    std::string tarProblem = testenv::extractWithTar(folder.file("song.kmf"), folder.file("extracted"));
    EXPECT_EQ(tarProblem, "");
    packed.musicPath = folder.file("extracted/music.3g2");
    if (!testenv::fileExists(packed.musicPath)) {
        ADD_FAILURE() << "tar extracted no music.3g2; the packer printed:\n" << packed.run.out;
        return packed;
    }
    packed.music = testenv::readFile(packed.musicPath);
    const testpkg::Member* member = packed.package.find("music.3g2");
    if (member != nullptr) {
        EXPECT_EQ(testenv::firstDifference(member->data, packed.music), "") << "tar and our reader disagree";
    }
    return packed;
}

class TrackTable : public testing::TestWithParam<TrackCase> {};

TEST_P(TrackTable, ConditionedTrackSoundsTheSameAndNamesTrueOffsets) {
    std::string missing = testenv::missingPeers();
    if (!missing.empty()) GTEST_SKIP() << missing;
    const TrackCase& c = GetParam();
    testtrack::AacStream stream = testtrack::encodeTone(c.rate, secondsFor(c.layout, c.rate), TESSARYN_MEDIA_CACHE);
    testenv::TempFolder folder;
    Packed packed = pack(folder, testtrack::buildTrack(stream, c.layout), packerArguments(c), c.clips.empty() ? "" : configText(c));
    if (packed.music.empty()) return;

    testtrack::Track out = testtrack::readTrack(packed.music);
    EXPECT_TRUE(out.problems.empty()) << out.report();
    EXPECT_TRUE(out.trailing.empty()) << out.trailing.size() << " bytes after the last box";
    for (const std::string& problem : testtrack::checkPrefix(out)) ADD_FAILURE() << problem;
    EXPECT_EQ(out.boxTypes(), expectedBoxTypes(c));
    for (const std::string& problem : testtrack::checkSampleBytes(out, testtrack::framesUsed(stream, c.layout))) ADD_FAILURE() << problem;
    expectMovieTables(out, c);
    expectFragments(out, c);
    expectIndex(out, c);
    expectIoed(out, c);
    expectSameSound(folder.file("song.3g2"), packed.musicPath);
}

void allExtras(TrackLayout& layout) {
    layout.foreignUuid = true;
    layout.mediaDataFirst = true;
    layout.mfraAtEnd = true;
}

// Ten fragments of about 52 s each: more than 480 one-second runs in all.
TrackLayout longTrack() {
    TrackLayout layout = layoutOf(21);
    for (int i = 0; i < 10; ++i) layout.fragments.push_back({600, 520});
    return layout;
}

const TrackCase kTrackCases[] = {
    {"MovieOnly22050", 22050, layoutOf(150), ALL, {}},
    {"MovieOnly44100ClipInMovie", 44100, layoutOf(200), ALL, {{"Intro", "001.500,003.000"}}},
    {"MovieOnly48000ClipByNameOnly", 48000, layoutOf(180), ALL, {{"Ring", ""}}},
    {"Fragments22050Refragmented", 22050, layoutOf(60, {{30, 20}, {50}}), ALL, {{"Chorus", "004.000,006.000"}}},
    {"Fragments22050RunsKept", 22050, layoutOf(60, {{30, 20}, {50}}), IOED | MFRA, {{"Chorus", "004.000,006.000"}}},
    {"SeveralRunsPerFragment44100", 44100, layoutOf(43, {{10, 10, 10, 15}, {20, 25, 5}}), ALL,
     {{"One", "000.500,001.000"}, {"", "001.200,002.000"}, {"Three", "002.100,003.000"}}},
    {"SeveralRunsKept44100", 44100, layoutOf(43, {{10, 10, 10, 15}, {20, 25, 5}}), IOED,
     {{"One", "000.500,001.000"}, {"", "001.200,002.000"}, {"Three", "002.100,003.000"}}},
    {"Fragments48000NoIndex", 48000, layoutOf(47, {{47, 47}, {30}}), IOED | REFRAG, {{"", "002.000,004.000"}}},
    {"WithoutIoed", 22050, layoutOf(60, {{40}}), REFRAG | MFRA, {{"Gone", "001.000,002.000"}}},
    {"NoOptions", 22050, layoutOf(60, {{25, 25}}), 0, {}},
    {"OnlyClipTwo", 22050, layoutOf(100), ALL, {{"", ""}, {"", "002.000,003.500"}}},
    {"ClipBeyondTheEnd", 22050, layoutOf(60, {{30}}), ALL, {{"Late", "060.000,061.000"}, {"Early", "000.000,001.000"}}},
    {"ChkufrWithClip", 22050, layoutOf(80), ALL, {{"Quiet", "001.000,002.000"}}, true},
    {"OwnIoed", 22050, with(layoutOf(60, {{40}}), [](TrackLayout& l) { l.ownIoed = true; }), ALL, {{"Mine", "001.000,002.000"}}},
    {"ForeignUuidNoFtyp", 22050, with(layoutOf(60, {{40}}), [](TrackLayout& l) { l.ftyp = false; l.foreignUuid = true; }), ALL, {}},
    {"MediaDataFirst", 22050, with(layoutOf(70, {{30}}), [](TrackLayout& l) { l.mediaDataFirst = true; }), ALL,
     {{"Front", "001.000,002.000"}}},
    {"InputIndexDropped", 22050, with(layoutOf(60, {{30, 20}, {40}}), [](TrackLayout& l) { l.mfraAtEnd = true; }), ALL, {}},
    {"InputIndexDroppedRunsKept", 22050, with(layoutOf(60, {{30, 20}, {40}}), [](TrackLayout& l) { l.mfraAtEnd = true; }), IOED | MFRA, {}},
    {"EveryExtra44100", 44100, with(layoutOf(90, {{44, 40}, {50, 3}}), allExtras), ALL, {{"All", "003.000,004.000"}}},
    {"FragmentsOnly", 22050, layoutOf(0, {{40}, {30, 20}}), ALL, {{"Start", "000.000,001.000"}}},
    {"MoreThan480Runs", 22050, longTrack(), ALL, {{"Deep", "500.000,510.000"}}},
};

INSTANTIATE_TEST_SUITE_P(Tracks, TrackTable, testing::ValuesIn(kTrackCases),
                         [](const testing::TestParamInfo<TrackCase>& caseInfo) { return std::string(caseInfo.param.name); });

// Top-level boxes the conditioner can't take apart: the track is stored as it came.
struct BrokenTail {
    const char* name;
    std::vector<uint8_t> appended;
};

void PrintTo(const BrokenTail& tail, std::ostream* out) { *out << tail.name; }

class UnsplittableTrack : public testing::TestWithParam<BrokenTail> {};

TEST_P(UnsplittableTrack, IsStoredUnchanged) {
    std::string missing = testenv::missingPeers();
    if (!missing.empty()) GTEST_SKIP() << missing;
    TrackLayout layout = layoutOf(60, {{30}});
    testtrack::AacStream stream = testtrack::encodeTone(22050, secondsFor(layout, 22050), TESSARYN_MEDIA_CACHE);
    std::vector<uint8_t> input = testtrack::buildTrack(stream, layout);
    input.insert(input.end(), GetParam().appended.begin(), GetParam().appended.end());
    testenv::TempFolder folder;
    Packed packed = pack(folder, input, {"song.3g2", "-o:song.kmf", e2e::modeOption(ALL)}, "");
    EXPECT_TRUE(e2e::printedLine(packed.run, "  error: Atom size over (.3g2 file)")) << packed.run.out;
    EXPECT_EQ(testenv::firstDifference(input, packed.music), "");
}

INSTANTIATE_TEST_SUITE_P(Boxes, UnsplittableTrack,
                         testing::Values(BrokenTail{"SizeZero", {0, 0, 0, 0, 'f', 'r', 'e', 'e', 1, 2, 3, 4}},
                                         BrokenTail{"SizeOne", {0, 0, 0, 1, 'm', 'd', 'a', 't', 0, 0, 0, 0, 0, 0, 0, 16}},
                                         BrokenTail{"SizeSeven", {0, 0, 0, 7, 'f', 'r', 'e', 'e', 0}},
                                         BrokenTail{"PastTheEnd", {0, 0, 1, 0, 'f', 'r', 'e', 'e', 1, 2, 3, 4}}),
                         [](const testing::TestParamInfo<BrokenTail>& caseInfo) { return std::string(caseInfo.param.name); });

class TrailingBytes : public testing::TestWithParam<int> {};

TEST_P(TrailingBytes, AreCopiedBehindTheLastBox) {
    std::string missing = testenv::missingPeers();
    if (!missing.empty()) GTEST_SKIP() << missing;
    TrackLayout layout = layoutOf(60, {{30}});
    testtrack::AacStream stream = testtrack::encodeTone(22050, secondsFor(layout, 22050), TESSARYN_MEDIA_CACHE);
    std::vector<uint8_t> input = testtrack::buildTrack(stream, layout);
    std::vector<uint8_t> tail;
    for (int i = 0; i < GetParam(); ++i) tail.push_back(static_cast<uint8_t>(0xA0 + i));
    input.insert(input.end(), tail.begin(), tail.end());
    testenv::TempFolder folder;
    Packed packed = pack(folder, input, {"song.3g2", "-o:song.kmf", e2e::modeOption(ALL)}, "");
    if (packed.music.empty()) return;
    testtrack::Track out = testtrack::readTrack(packed.music);
    ASSERT_GE(out.trailing.size(), tail.size());
    EXPECT_EQ(std::vector<uint8_t>(out.trailing.begin(), out.trailing.begin() + static_cast<std::ptrdiff_t>(tail.size())), tail)
        << "the trailing bytes must follow the last box";
    // The new index comes behind them, so that its mfro box still closes the file.
    std::vector<uint8_t> withoutTail = packed.music;
    auto tailStart = withoutTail.end() - static_cast<std::ptrdiff_t>(out.trailing.size());
    withoutTail.erase(tailStart, tailStart + static_cast<std::ptrdiff_t>(tail.size()));
    testtrack::Track joined = testtrack::readTrack(withoutTail);
    EXPECT_TRUE(joined.trailing.empty());
    EXPECT_TRUE(joined.index) << "no fragment index behind the trailing bytes";
    for (const std::string& problem : testtrack::checkFragmentIndex(joined, kDelta)) ADD_FAILURE() << problem;
    for (const std::string& problem : testtrack::checkSampleBytes(joined, testtrack::framesUsed(stream, layout))) ADD_FAILURE() << problem;
    expectSameSound(folder.file("song.3g2"), packed.musicPath);
}

INSTANTIATE_TEST_SUITE_P(Counts, TrailingBytes, testing::Values(1, 4, 7));

}  // namespace


// Layouts the builder doesn't make: a built track with a free box inserted.
struct UnusualLayout {
    const char* name;
    surgery::BoxPath insertInto;  // the box that gets a free box as its last child
    std::vector<std::string> childrenAfter;               // that box's children in the conditioned track
};

void PrintTo(const UnusualLayout& layout, std::ostream* out) { *out << layout.name; }

class UnusualLayoutTrack : public testing::TestWithParam<UnusualLayout> {};

TEST_P(UnusualLayoutTrack, KeepsTheExtraBoxAndTrueOffsets) {
    std::string missing = testenv::missingPeers();
    if (!missing.empty()) GTEST_SKIP() << missing;
    const UnusualLayout& c = GetParam();
    TrackLayout layout = layoutOf(60, {{30, 20}, {25, 25}});
    testtrack::AacStream stream = testtrack::encodeTone(22050, secondsFor(layout, 22050), TESSARYN_MEDIA_CACHE);
    std::vector<uint8_t> input = surgery::appendChild(testtrack::buildTrack(stream, layout), c.insertInto, surgery::kFreeBox);
    ASSERT_TRUE(testtrack::checkSampleBytes(testtrack::readTrack(input), testtrack::framesUsed(stream, layout)).empty())
        << "the inserted box broke the input";

    testenv::TempFolder folder;
    Packed packed = pack(folder, input, {"song.3g2", "-o:song.kmf", e2e::modeOption(ALL), "-chku1:Probe"}, "");
    if (packed.music.empty()) return;
    testtrack::Track out = testtrack::readTrack(packed.music);
    EXPECT_TRUE(out.problems.empty()) << out.report();
    EXPECT_EQ(surgery::childTypes(packed.music, c.insertInto), c.childrenAfter);
    for (const std::string& problem : testtrack::checkSampleBytes(out, testtrack::framesUsed(stream, layout))) ADD_FAILURE() << problem;
    for (const std::string& problem : testtrack::checkFragmentIndex(out, kDelta)) ADD_FAILURE() << problem;
    expectSameSound(folder.file("song.3g2"), packed.musicPath);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, UnusualLayoutTrack,
    testing::Values(UnusualLayout{"BoxBehindSampleTable", {{"moov", 1}, {"trak", 1}, {"mdia", 1}, {"minf", 1}}, {"smhd", "dinf", "stbl", "free"}},
                    UnusualLayout{"BoxBehindMediaInformation", {{"moov", 1}, {"trak", 1}, {"mdia", 1}}, {"mdhd", "hdlr", "minf", "free"}},
                    UnusualLayout{"BoxBehindFragmentRuns", {{"moof", 2}, {"traf", 1}}, {"tfhd", "trun", "trun", "free"}}),
    [](const testing::TestParamInfo<UnusualLayout>& caseInfo) { return std::string(caseInfo.param.name); });

TEST(FragmentWithExtraBox, KeepsItsRunsAndGetsNoIndexEntries) {
    std::string missing = testenv::missingPeers();
    if (!missing.empty()) GTEST_SKIP() << missing;
    TrackLayout layout = layoutOf(60, {{30, 20}, {25, 25}});
    testtrack::AacStream stream = testtrack::encodeTone(22050, secondsFor(layout, 22050), TESSARYN_MEDIA_CACHE);
    std::vector<uint8_t> input = surgery::appendChild(testtrack::buildTrack(stream, layout), {{"moof", 2}, {"traf", 1}}, surgery::kFreeBox);
    testenv::TempFolder folder;
    Packed packed = pack(folder, input, {"song.3g2", "-o:song.kmf", e2e::modeOption(ALL)}, "");
    if (packed.music.empty()) return;
    testtrack::Track out = testtrack::readTrack(packed.music);
    ASSERT_EQ(out.fragments.size(), 2u);
    EXPECT_EQ(testtrack::runCounts(out.fragments[0]), testtrack::oneSecondPieces(50, 22050, kDelta)) << "the plain fragment is re-cut";
    EXPECT_EQ(testtrack::runCounts(out.fragments[1]), (std::vector<uint32_t>{25, 25})) << "the other one keeps its runs";
    ASSERT_TRUE(out.index);
    for (const testtrack::IndexEntry& entry : out.index->entries) EXPECT_EQ(entry.moofOffset, out.fragments[0].offset);
    EXPECT_EQ(out.index->entries.size(), out.fragments[0].runs.size());
}
