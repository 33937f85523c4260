// The track reader and its checks, tried on tracks whose layout we know because
// we built them: what it reads must be what the builder wrote, and a track whose
// offsets are off by a byte must fail the checks.
#include <gtest/gtest.h>

#include "tests/tools/track_builder.h"
#include "tests/tools/track_checks.h"
#include "tests/tools/track_reader.h"

namespace {

using testtrack::TrackLayout;

TrackLayout fullLayout() {
    TrackLayout layout;
    layout.moovSamples = 40;
    layout.fragments = {{10, 12}, {30}};
    layout.foreignUuid = true;
    layout.ownIoed = true;
    layout.mfraAtEnd = true;
    return layout;
}

TEST(TrackReader, ReadsWhatTheBuilderWrote) {
    testtrack::AacStream stream = testtrack::fakeFrames(22050, 100);
    TrackLayout layout = fullLayout();
    testtrack::Track track = testtrack::readTrack(testtrack::buildTrack(stream, layout));
    ASSERT_TRUE(track.problems.empty()) << track.report();
    EXPECT_EQ(track.boxTypes(), (std::vector<std::string>{"ftyp", "uuid:tsry", "uuid:ioed", "moov", "mdat", "moof", "mdat", "moof",
                                                          "mdat", "mfra"}));
    ASSERT_TRUE(track.movie);
    EXPECT_EQ(track.movie->timescale, 22050u);
    EXPECT_EQ(track.movie->sampleCount(), 40u);
    EXPECT_EQ(track.movie->samplesPerChunk(), (std::vector<uint32_t>{40}));
    EXPECT_TRUE(track.movie->bitratesFound);
    EXPECT_EQ(track.movie->maxBitrate, 128000u);
    EXPECT_EQ(track.movie->avgBitrate, 32000u);
    ASSERT_EQ(track.fragments.size(), 2u);
    EXPECT_EQ(testtrack::runCounts(track.fragments[0]), (std::vector<uint32_t>{10, 12}));
    EXPECT_EQ(track.fragments[0].headerFlags, 1u);
    ASSERT_TRUE(track.ioed);
    EXPECT_EQ(track.ioed->size, 41u);
    EXPECT_EQ(track.ioed->slotCount, 0u);
    ASSERT_TRUE(track.index);
    ASSERT_EQ(track.index->entries.size(), 2u);
    EXPECT_EQ(track.index->entries[1].time, 62u * 1024);
    EXPECT_TRUE(track.trailing.empty());

    EXPECT_TRUE(testtrack::checkSampleBytes(track, testtrack::framesUsed(stream, layout)).empty());
    EXPECT_TRUE(testtrack::checkFragmentIndex(track, 1024).empty());
    EXPECT_FALSE(testtrack::checkPrefix(track).empty());  // an input track has no kddi prefix
}

TEST(TrackChecks, AChunkOffsetOffByOneIsCaught) {
    testtrack::AacStream stream = testtrack::fakeFrames(22050, 40);
    TrackLayout layout;
    layout.moovSamples = 40;
    std::vector<uint8_t> bytes = testtrack::buildTrack(stream, layout);
    testtrack::Track good = testtrack::readTrack(bytes);
    uint32_t moovEnd = good.movie->offset + good.movie->size;
    // The stco box is the last of the sample table, which ends the movie box: its one entry is the last 4 bytes.
    bytes[moovEnd - 1] = static_cast<uint8_t>(bytes[moovEnd - 1] + 1);
    std::vector<std::string> problems = testtrack::checkSampleBytes(testtrack::readTrack(bytes), testtrack::framesUsed(stream, layout));
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems[0].find("bytes differ"), std::string::npos) << problems[0];
}

TEST(TrackChecks, AWrongIndexTimeIsCaught) {
    testtrack::AacStream stream = testtrack::fakeFrames(22050, 100);
    TrackLayout layout = fullLayout();
    std::vector<uint8_t> bytes = testtrack::buildTrack(stream, layout);
    testtrack::Track track = testtrack::readTrack(bytes);
    uint32_t firstEntryTime = track.index->offset + 32;
    bytes[firstEntryTime + 3] ^= 0x01;
    std::vector<std::string> problems = testtrack::checkFragmentIndex(testtrack::readTrack(bytes), 1024);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("the run starts at 40960"), std::string::npos) << problems[0];
}

TEST(TrackChecks, LocateSampleCountsChunksThenRuns) {
    testtrack::AacStream stream = testtrack::fakeFrames(22050, 100);
    testtrack::Track track = testtrack::readTrack(testtrack::buildTrack(stream, fullLayout()));
    testtrack::SampleLocation inMovie = testtrack::locateSample(track, 39);
    EXPECT_EQ(inMovie.boxOffset, track.movie->offset);
    EXPECT_EQ(inMovie.pieceNumber, 1u);
    EXPECT_EQ(inMovie.sampleNumber, 40u);
    testtrack::SampleLocation inSecondRun = testtrack::locateSample(track, 40 + 10 + 3);
    EXPECT_EQ(inSecondRun.boxOffset, track.fragments[0].offset);
    EXPECT_EQ(inSecondRun.pieceNumber, 2u);
    EXPECT_EQ(inSecondRun.sampleNumber, 4u);
    EXPECT_FALSE(testtrack::locateSample(track, 92).found);
}

// Cut short or scribbled on, a track must still be read without reading outside its bytes.
TEST(TrackReader, SurvivesTruncatedAndScribbledTracks) {
    testtrack::AacStream stream = testtrack::fakeFrames(22050, 100);
    TrackLayout layout = fullLayout();
    std::vector<uint8_t> whole = testtrack::buildTrack(stream, layout);
    std::vector<std::vector<uint8_t>> frames = testtrack::framesUsed(stream, layout);
    for (std::size_t length = 0; length < whole.size(); length += 13) {
        testtrack::Track track = testtrack::readTrack(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
        testtrack::checkSampleBytes(track, frames);
        testtrack::checkFragmentIndex(track, 1024);
    }
    for (std::size_t at = 0; at < 1500 && at < whole.size(); ++at) {
        std::vector<uint8_t> scribbled = whole;
        scribbled[at] = 0xFF;
        testtrack::Track track = testtrack::readTrack(scribbled);
        testtrack::checkSampleBytes(track, frames);
        testtrack::checkFragmentIndex(track, 1024);
        testtrack::locateSample(track, 50);
    }
}

}  // namespace
