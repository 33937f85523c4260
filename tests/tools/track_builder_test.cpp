// The track builder against its peer: ffmpeg must decode every layout it makes,
// without complaint, to the same sound as the same frames all held by the movie box.
#include <gtest/gtest.h>

#include <ostream>

#include "tests/tools/media_tools.h"
#include "tests/tools/test_files.h"
#include "tests/tools/track_builder.h"

namespace {

using testtrack::AacStream;
using testtrack::TrackLayout;

TEST(FakeFrames, SameSeedSameFramesOtherSeedOtherFrames) {
    AacStream a = testtrack::fakeFrames(22050, 20, 7);
    AacStream b = testtrack::fakeFrames(22050, 20, 7);
    AacStream c = testtrack::fakeFrames(22050, 20, 8);
    EXPECT_EQ(a.frames, b.frames);
    EXPECT_NE(a.frames, c.frames);
    EXPECT_EQ(a.audioSpecificConfig, (std::vector<uint8_t>{0x13, 0x88}));  // AAC-LC, 22050 Hz, mono
}

TEST(BuildTrack, RefusesLayoutsThatNeedMoreSamplesThanTheStreamHolds) {
    AacStream stream = testtrack::fakeFrames(22050, 10);
    TrackLayout layout;
    layout.moovSamples = 5;
    layout.fragments = {{3, 3}};
    EXPECT_THROW(testtrack::buildTrack(stream, layout), std::invalid_argument);
}

TEST(MapTrack, SampleOffsetsNameTheFramesBytes) {
    AacStream stream = testtrack::fakeFrames(44100, 60, 3);
    TrackLayout layout;
    layout.moovSamples = 20;
    layout.fragments = {{10, 5}, {25}};
    layout.mediaDataFirst = true;
    std::vector<uint8_t> track = testtrack::buildTrack(stream, layout);
    testtrack::TrackMap map = testtrack::mapTrack(stream, layout);
    ASSERT_EQ(map.sampleOffsets.size(), 60u);
    ASSERT_EQ(map.moofOffsets.size(), 2u);
    for (std::size_t i = 0; i < 60; ++i) {
        std::vector<uint8_t> at(track.begin() + map.sampleOffsets[i], track.begin() + map.sampleOffsets[i] + stream.frames[i].size());
        EXPECT_EQ(at, stream.frames[i]) << "sample " << i;
    }
    for (uint32_t moof : map.moofOffsets) EXPECT_EQ(std::string(track.begin() + moof + 4, track.begin() + moof + 8), "moof");
}

struct DecodeCase {
    const char* name;
    uint32_t rate;
    TrackLayout layout;
};

void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.name; }

class BuiltTrackDecodes : public testing::TestWithParam<DecodeCase> {};

TEST_P(BuiltTrackDecodes, LikeTheAdtsStreamItCameFrom) {
    std::string missing = testenv::missingPeers();
    if (!missing.empty()) GTEST_SKIP() << missing;
    const DecodeCase& c = GetParam();
    AacStream stream = testtrack::encodeTone(c.rate, 3.0, TESSARYN_MEDIA_CACHE);
    TrackLayout layout = c.layout;
    if (layout.moovSamples == 0 && layout.fragments.empty()) layout.moovSamples = static_cast<uint32_t>(stream.frames.size());
    ASSERT_LE(testtrack::samplesUsed(layout), stream.frames.size());

    testenv::TempFolder folder;
    testenv::writeFile(folder.file("track.3g2"), testtrack::buildTrack(stream, layout));
    // The reference: the same frames, all described by the movie box.
    TrackLayout all;
    all.moovSamples = testtrack::samplesUsed(layout);
    testenv::writeFile(folder.file("reference.3g2"), testtrack::buildTrack(stream, all));

    testenv::DecodedAudio track = testenv::decodeToPcm(folder.file("track.3g2"));
    testenv::DecodedAudio reference = testenv::decodeToPcm(folder.file("reference.3g2"));
    ASSERT_TRUE(track.ok) << track.error;
    ASSERT_TRUE(reference.ok) << reference.error;
    EXPECT_EQ(track.error, "");
    EXPECT_EQ(track.pcm.size(), reference.pcm.size());
    EXPECT_EQ(testenv::sha256Hex(track.pcm), testenv::sha256Hex(reference.pcm));
}

TrackLayout movieOnly() { return TrackLayout{}; }

TrackLayout withFragments(uint32_t moov, std::vector<std::vector<uint32_t>> fragments) {
    TrackLayout layout;
    layout.moovSamples = moov;
    layout.fragments = std::move(fragments);
    return layout;
}

TrackLayout everyExtra() {
    TrackLayout layout = withFragments(30, {{10, 10}, {15}});
    layout.foreignUuid = true;
    layout.ownIoed = true;
    layout.mediaDataFirst = true;
    layout.mfraAtEnd = true;
    return layout;
}

INSTANTIATE_TEST_SUITE_P(Layouts, BuiltTrackDecodes,
                         testing::Values(DecodeCase{"movie22050", 22050, movieOnly()}, DecodeCase{"movie48000", 48000, movieOnly()},
                                         DecodeCase{"fragments", 22050, withFragments(20, {{10, 12}, {20}})},
                                         DecodeCase{"fragments44100", 44100, withFragments(50, {{30}, {20, 20, 5}})},
                                         DecodeCase{"everyExtra", 22050, everyExtra()}),
                         [](const testing::TestParamInfo<DecodeCase>& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
