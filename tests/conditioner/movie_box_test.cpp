// The movie box: one-second chunks with sync samples, capped bitrates, chunk
// offsets into the written track, and movie boxes left as they are.
#include <gtest/gtest.h>

#include <functional>

#include "tests/conditioner/conditioning.h"
#include "tests/tools/track_builder.h"
#include "tests/tools/track_checks.h"
#include "tests/tools/track_reader.h"

namespace {

using conditioning::findBox;
using conditioning::putU32;
using conditioning::u32At;

struct Built {
    testtrack::AacStream stream;
    testtrack::TrackLayout layout;
    std::vector<uint8_t> bytes;
};

Built movieTrack(uint32_t rate, uint32_t samples, std::vector<std::vector<uint32_t>> fragments = {}) {
    Built built;
    built.layout.moovSamples = samples;
    built.layout.fragments = std::move(fragments);
    built.stream = testtrack::fakeFrames(rate, testtrack::samplesUsed(built.layout));
    built.bytes = testtrack::buildTrack(built.stream, built.layout);
    return built;
}

class MovieBoxTest : public testing::Test {
protected:
    void SetUp() override { conditioning::resetRun(); }
};

struct ChunkCase {
    uint32_t rate;
    std::vector<uint32_t> chunks;
    std::vector<uint32_t> syncSamples;
};

class MovieBoxChunks : public MovieBoxTest, public testing::WithParamInterface<ChunkCase> {};

TEST_P(MovieBoxChunks, CutsTheSamplesIntoOneSecondChunksThatEachStartWithASyncSample) {
    const ChunkCase& c = GetParam();
    Built built = movieTrack(c.rate, 100);
    conditioning::Result result = conditioning::condition(built.bytes);
    testtrack::Track track = testtrack::readTrack(result.track);

    ASSERT_TRUE(track.movie) << track.report();
    EXPECT_EQ(track.movie->samplesPerChunk(), c.chunks);
    ASSERT_TRUE(track.movie->syncSamples);
    EXPECT_EQ(*track.movie->syncSamples, c.syncSamples);
    EXPECT_EQ(track.movie->sampleTableChildren, (std::vector<std::string>{"stsd", "stts", "stsc", "stsz", "stco", "stss"}));
    EXPECT_TRUE(testtrack::checkSampleBytes(track, testtrack::framesUsed(built.stream, built.layout)).empty());
    EXPECT_EQ(result.console, "max.128000bps typ.32000bps\n" + std::to_string(c.rate) + "Hz (1024samples)\n");
    EXPECT_EQ(track.movie->maxBitrate, 48000u);
    EXPECT_EQ(track.movie->avgBitrate, 32000u);
    EXPECT_EQ(static_cast<int64_t>(result.track.size()) - static_cast<int64_t>(built.bytes.size()), result.shift);
}

INSTANTIATE_TEST_SUITE_P(Rates, MovieBoxChunks,
                         testing::Values(ChunkCase{22050, {21, 22, 21, 22, 14}, {1, 22, 44, 65, 87}},
                                         ChunkCase{44100, {43, 43, 14}, {1, 44, 87}},
                                         ChunkCase{48000, {46, 47, 7}, {1, 47, 94}}));

TEST_F(MovieBoxTest, ChunkOffsetsAreTheInputOffsetPlusEarlierSamplesPlusTheFinalShift) {
    Built built = movieTrack(22050, 100);
    const std::size_t stco = findBox(built.bytes, "stco");
    const uint32_t firstChunk = u32At(built.bytes, stco + 16);
    conditioning::Result result = conditioning::condition(built.bytes);
    testtrack::Track track = testtrack::readTrack(result.track);

    uint32_t expected = firstChunk + static_cast<uint32_t>(result.shift);
    uint32_t sample = 0;
    for (std::size_t chunk = 0; chunk < track.movie->chunkOffsets.size(); ++chunk) {
        EXPECT_EQ(track.movie->chunkOffsets[chunk], expected) << "chunk " << chunk + 1;
        for (uint32_t i = 0; i < track.movie->samplesPerChunk()[chunk]; ++i)
            expected += static_cast<uint32_t>(built.stream.frames[sample++].size());
    }
}

TEST_F(MovieBoxTest, MediaDataInFrontOfTheMovieBoxKeepsItsSamples) {
    Built built;
    built.layout.moovSamples = 60;
    built.layout.mediaDataFirst = true;
    built.stream = testtrack::fakeFrames(22050, 60);
    built.bytes = testtrack::buildTrack(built.stream, built.layout);
    testtrack::Track track = testtrack::readTrack(conditioning::condition(built.bytes).track);
    EXPECT_TRUE(testtrack::checkSampleBytes(track, testtrack::framesUsed(built.stream, built.layout)).empty());
}

TEST_F(MovieBoxTest, ATimeTableWithoutEntriesGivesNoChunks) {
    Built built = movieTrack(22050, 0);
    conditioning::Result result = conditioning::condition(built.bytes);
    testtrack::Track track = testtrack::readTrack(result.track);
    ASSERT_TRUE(track.movie);
    EXPECT_TRUE(track.movie->chunkOffsets.empty());
    EXPECT_TRUE(track.movie->sampleToChunk.empty());
    EXPECT_EQ(result.console, "max.128000bps typ.32000bps\n22050Hz (1024samples)\n");
}

TEST_F(MovieBoxTest, AClipInTheMovieBoxIsWrittenIntoTheIoedBox) {
    conditioning::enableClip(1, "Intro", 1500, 5000);
    Built built = movieTrack(22050, 100);
    testtrack::Track track = testtrack::readTrack(conditioning::condition(built.bytes).track);
    ASSERT_TRUE(track.ioed && track.movie);
    const testtrack::ClipSlot& slot = track.ioed->slots.at(0);
    EXPECT_EQ(slot.name, "Intro");
    EXPECT_EQ(slot.boxOffset, track.movie->offset);
    EXPECT_EQ(slot.fragmentNumber, 1);
    EXPECT_EQ(slot.runNumber, 2);
    EXPECT_EQ(slot.sampleNumber, 11);
    EXPECT_EQ(slot.length, 107u);
    EXPECT_TRUE(track.ioed->slots.at(1).untouched);
}

// Movie boxes the rebuild can't take apart safely: each is written as it came.
struct Breakage {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> apply;
};

void rename(std::vector<uint8_t>& bytes, const char* type) { bytes[findBox(bytes, type) + 4] = 'X'; }

class UnchangedMovieBox : public MovieBoxTest, public testing::WithParamInterface<Breakage> {};

TEST_P(UnchangedMovieBox, IsCopiedByteForByteWithoutPrintingAnything) {
    Built built = movieTrack(22050, 100);
    GetParam().apply(built.bytes);
    const std::size_t moov = findBox(built.bytes, "moov");
    const std::vector<uint8_t> movieBox(built.bytes.begin() + static_cast<std::ptrdiff_t>(moov),
                                        built.bytes.begin() + static_cast<std::ptrdiff_t>(moov + u32At(built.bytes, moov)));

    conditioning::Result result = conditioning::condition(built.bytes);
    const std::size_t written = 72 + 41;  // the prefix and the ioed box stand in front of it
    ASSERT_GE(result.track.size(), written + movieBox.size());
    EXPECT_TRUE(std::equal(movieBox.begin(), movieBox.end(), result.track.begin() + written));
    EXPECT_EQ(result.console, "");
    EXPECT_EQ(result.shift, 72 + 41 - static_cast<int32_t>(moov));  // only the ftyp went
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, UnchangedMovieBox,
    testing::Values(
        Breakage{"no stbl", [](auto& b) { rename(b, "stbl"); }}, Breakage{"no mdhd", [](auto& b) { rename(b, "mdhd"); }},
        Breakage{"no stsd", [](auto& b) { rename(b, "stsd"); }}, Breakage{"no stts", [](auto& b) { rename(b, "stts"); }},
        Breakage{"no stsz", [](auto& b) { rename(b, "stsz"); }}, Breakage{"no stco", [](auto& b) { rename(b, "stco"); }},
        Breakage{"mdhd version 1", [](auto& b) { b[findBox(b, "mdhd") + 8] = 1; }},
        Breakage{"timescale 0", [](auto& b) { putU32(b, findBox(b, "mdhd") + 20, 0); }},
        Breakage{"sample delta 0", [](auto& b) { putU32(b, findBox(b, "stts") + 20, 0); }},
        Breakage{"constant sample size", [](auto& b) { putU32(b, findBox(b, "stsz") + 12, 300); }},
        Breakage{"stts declares more than it holds", [](auto& b) { putU32(b, findBox(b, "stts") + 12, 2); }},
        Breakage{"stsz declares more than it holds", [](auto& b) { putU32(b, findBox(b, "stsz") + 16, 101); }},
        Breakage{"stsz lists fewer sizes than samples", [](auto& b) { putU32(b, findBox(b, "stsz") + 16, 99); }},
        Breakage{"stco declares more than it holds", [](auto& b) { putU32(b, findBox(b, "stco") + 12, 1000); }},
        Breakage{"stco without entries", [](auto& b) { putU32(b, findBox(b, "stco") + 12, 0); }}),
    conditioning::nameOfCase<Breakage>);

TEST_F(MovieBoxTest, AnUnchangedMovieBoxLeavesTheTimingOfLaterFragmentsAlone) {
    conditioning::resetRun(kDefaultModeFlags);
    Built built = movieTrack(44100, 40, {{100}});
    putU32(built.bytes, findBox(built.bytes, "stsz") + 12, 300);  // can't be rebuilt
    testtrack::Track track = testtrack::readTrack(conditioning::condition(built.bytes).track);
    ASSERT_EQ(track.fragments.size(), 1u);
    // Cut with the start values (22050 Hz), not with the movie box's 44100 Hz.
    EXPECT_EQ(testtrack::runCounts(track.fragments[0]), (std::vector<uint32_t>{21, 22, 21, 22, 14}));
}

}  // namespace
