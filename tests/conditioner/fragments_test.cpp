// Movie fragments: runs re-cut into seconds and indexed, or kept and pointed at
// their media data in the written track; clips located in either.
#include <gtest/gtest.h>

#include "packer/conditioner/pieces.h"
#include "tests/conditioner/conditioning.h"
#include "tests/tools/track_builder.h"
#include "tests/tools/track_checks.h"
#include "tests/tools/track_reader.h"

namespace {

using conditioning::findBox;
using conditioning::putU32;
using conditioning::u32At;

constexpr uint32_t kRecutWithIndex = ModeFlag::ADD_MFRA | ModeFlag::ADD_IOED | ModeFlag::REFRAGMENT;
constexpr uint32_t kKeepRuns = ModeFlag::ADD_MFRA | ModeFlag::ADD_IOED;

struct Built {
    testtrack::AacStream stream;
    testtrack::TrackLayout layout;
    std::vector<uint8_t> bytes;
    std::vector<std::vector<uint8_t>> frames() const { return testtrack::framesUsed(stream, layout); }
};

Built fragmentedTrack(uint32_t moovSamples, std::vector<std::vector<uint32_t>> fragments) {
    Built built;
    built.layout.moovSamples = moovSamples;
    built.layout.fragments = std::move(fragments);
    built.stream = testtrack::fakeFrames(22050, testtrack::samplesUsed(built.layout));
    built.bytes = testtrack::buildTrack(built.stream, built.layout);
    return built;
}

// Inserts bytes into the only fragment at `at` (erasing `erase` bytes first),
// growing the moof and its traf, and moves the base data offset with the media data.
void editFragment(std::vector<uint8_t>& bytes, std::size_t at, std::size_t erase, const std::vector<uint8_t>& insert) {
    const std::size_t moof = findBox(bytes, "moof");
    const std::size_t traf = findBox(bytes, "traf", moof);
    const std::size_t tfhd = findBox(bytes, "tfhd", moof);
    const uint32_t delta = static_cast<uint32_t>(insert.size() - erase);
    bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + erase));
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), insert.begin(), insert.end());
    putU32(bytes, moof, u32At(bytes, moof) + delta);
    putU32(bytes, traf, u32At(bytes, traf) + delta);
    if (bytes[tfhd + 11] & 1) putU32(bytes, tfhd + 20, u32At(bytes, tfhd + 20) + delta);
}

class FragmentsTest : public testing::Test {
protected:
    void SetUp() override { conditioning::resetRun(kRecutWithIndex); }
};

TEST_F(FragmentsTest, RecutsTheRunsIntoSecondsAndIndexesEachRun) {
    Built built = fragmentedTrack(10, {{30, 20}});
    conditioning::Result result = conditioning::condition(built.bytes);
    testtrack::Track track = testtrack::readTrack(result.track);
    testtrack::Track input = testtrack::readTrack(built.bytes);

    ASSERT_EQ(track.fragments.size(), 1u);
    const testtrack::Fragment& fragment = track.fragments[0];
    EXPECT_EQ(testtrack::runCounts(fragment), (std::vector<uint32_t>{21, 22, 7}));
    EXPECT_EQ(fragment.size, input.fragments[0].size + 20);  // one more run header
    EXPECT_EQ(fragment.baseDataOffset, 0u);
    EXPECT_TRUE(testtrack::checkSampleBytes(track, built.frames()).empty());

    ASSERT_TRUE(track.index);
    EXPECT_EQ(track.index->size, 81u);
    ASSERT_EQ(track.index->entries.size(), 3u);
    const uint32_t movieTime = 10 * 1024;  // the fragment follows the movie box's samples
    const uint32_t times[] = {movieTime, movieTime + 21504, movieTime + 44032};
    for (uint32_t run = 0; run < 3; ++run) {
        const testtrack::IndexEntry& entry = track.index->entries[run];
        EXPECT_EQ(entry.time, times[run]);
        EXPECT_EQ(entry.moofOffset, fragment.offset);
        EXPECT_EQ(entry.fragmentNumber, 1u);
        EXPECT_EQ(entry.runNumber, run + 1);
        EXPECT_EQ(entry.sampleNumber, 1u);
    }
    EXPECT_TRUE(testtrack::checkFragmentIndex(track, 1024).empty());
    EXPECT_EQ(static_cast<int64_t>(result.track.size()) - static_cast<int64_t>(built.bytes.size()), result.shift);
}

TEST_F(FragmentsTest, TheFirstNewRunPointsAtTheInputDataPlusTheFinalShift) {
    Built built = fragmentedTrack(0, {{12, 13}, {2}});
    conditioning::Result result = conditioning::condition(built.bytes);
    testtrack::Track input = testtrack::readTrack(built.bytes);
    testtrack::Track track = testtrack::readTrack(result.track);
    ASSERT_EQ(track.fragments.size(), 2u);
    EXPECT_EQ(testtrack::runCounts(track.fragments[1]), (std::vector<uint32_t>{2}));
    ASSERT_TRUE(track.index);
    const int32_t shiftAfterLastFragment = result.shift - static_cast<int32_t>(track.index->size);
    EXPECT_EQ(static_cast<uint32_t>(track.fragments[1].runs[0].dataOffset),
              input.fragments[1].baseDataOffset + static_cast<uint32_t>(input.fragments[1].runs[0].dataOffset) +
                  static_cast<uint32_t>(shiftAfterLastFragment));
    EXPECT_TRUE(testtrack::checkSampleBytes(track, built.frames()).empty());
}

TEST_F(FragmentsTest, KeptRunsTakeTheBaseAndTheShiftIntoTheirDataOffsets) {
    conditioning::resetRun(kKeepRuns);
    Built built = fragmentedTrack(5, {{30, 20}});
    conditioning::Result result = conditioning::condition(built.bytes);
    testtrack::Track input = testtrack::readTrack(built.bytes);
    testtrack::Track track = testtrack::readTrack(result.track);

    const testtrack::Fragment& before = input.fragments.at(0);
    const testtrack::Fragment& after = track.fragments.at(0);
    EXPECT_EQ(after.size, before.size);
    EXPECT_EQ(after.baseDataOffset, 0u);
    ASSERT_EQ(after.runs.size(), 2u);
    for (std::size_t run = 0; run < 2; ++run) {
        EXPECT_EQ(static_cast<uint32_t>(after.runs[run].dataOffset),
                  static_cast<uint32_t>(before.baseDataOffset) + static_cast<uint32_t>(before.runs[run].dataOffset) +
                      static_cast<uint32_t>(result.shift));
    }
    EXPECT_FALSE(track.index);  // nothing was re-cut, so there is nothing to index
    EXPECT_TRUE(testtrack::checkSampleBytes(track, built.frames()).empty());
}

TEST_F(FragmentsTest, AClipIsLocatedInTheKeptRunThatHoldsItsStart) {
    conditioning::resetRun(kKeepRuns);
    conditioning::enableClip(2, "Hook", 929, 1000);  // 929 ms is sample 20 at 22050 Hz
    Built built = fragmentedTrack(0, {{10}, {50}});
    testtrack::Track track = testtrack::readTrack(conditioning::condition(built.bytes).track);
    ASSERT_TRUE(track.ioed);
    const testtrack::ClipSlot& slot = track.ioed->slots.at(0);
    EXPECT_EQ(slot.name, "Hook");
    EXPECT_EQ(slot.boxOffset, track.fragments.at(1).offset);
    EXPECT_EQ(slot.runNumber, 1);
    EXPECT_EQ(slot.sampleNumber, 11);
}

TEST_F(FragmentsTest, AClipIsLocatedInTheRecutRunThatHoldsItsStart) {
    conditioning::enableClip(1, "Chorus", 2000, 3000);  // 43 samples: run 3 of the fragment
    Built built = fragmentedTrack(0, {{100}});
    testtrack::Track track = testtrack::readTrack(conditioning::condition(built.bytes).track);
    const testtrack::ClipSlot& slot = track.ioed->slots.at(0);
    EXPECT_EQ(slot.boxOffset, track.fragments.at(0).offset);
    EXPECT_EQ(slot.runNumber, 3);
    EXPECT_EQ(slot.sampleNumber, 1);
    EXPECT_EQ(testtrack::locateSample(track, 43).pieceNumber, 3u);
}

TEST_F(FragmentsTest, TheIndexKeepsEveryEntryOfALongTrack) {
    // Five fragments of about 111 seconds: 555 runs in all.
    Built built = fragmentedTrack(0, std::vector<std::vector<uint32_t>>(5, {1200, 1200}));
    testtrack::Track track = testtrack::readTrack(conditioning::condition(built.bytes).track);
    ASSERT_TRUE(track.index);
    EXPECT_EQ(track.index->entries.size(), 5 * CountPieces({22050, 1024}, 2400));
    EXPECT_GT(track.index->entries.size(), 480u);
    EXPECT_TRUE(testtrack::checkFragmentIndex(track, 1024).empty());
}

// Fragments in other layouts keep their runs and still point at their own media data.
TEST_F(FragmentsTest, AFragmentWithoutBaseDataOffsetIsWrittenUnchanged) {
    Built built = fragmentedTrack(0, {{30, 20}});
    const std::size_t moof = findBox(built.bytes, "moof");
    const std::size_t tfhd = findBox(built.bytes, "tfhd");
    const uint32_t base = u32At(built.bytes, tfhd + 20);
    putU32(built.bytes, tfhd + 8, 0x020000);  // no base: offsets count from the moof
    editFragment(built.bytes, tfhd + 16, 8, {});
    putU32(built.bytes, tfhd, 16);
    std::size_t trun = findBox(built.bytes, "trun", moof);
    for (; trun != SIZE_MAX; trun = findBox(built.bytes, "trun", trun + 8))
        putU32(built.bytes, trun + 16, u32At(built.bytes, trun + 16) + base - 8 - static_cast<uint32_t>(moof));
    const std::vector<uint8_t> fragment(built.bytes.begin() + static_cast<std::ptrdiff_t>(moof),
                                        built.bytes.begin() + static_cast<std::ptrdiff_t>(moof + u32At(built.bytes, moof)));

    testtrack::Track track = testtrack::readTrack(conditioning::condition(built.bytes).track);
    const testtrack::Fragment& written = track.fragments.at(0);
    EXPECT_TRUE(std::equal(fragment.begin(), fragment.end(), track.bytes.begin() + written.offset));
    EXPECT_TRUE(testtrack::checkSampleBytes(track, built.frames()).empty());
}

TEST_F(FragmentsTest, ARunWithoutDataOffsetMovesTheBaseInstead) {
    Built built = fragmentedTrack(0, {{30, 20}});
    const std::size_t firstRun = findBox(built.bytes, "trun");
    const std::size_t secondRun = findBox(built.bytes, "trun", firstRun + 8);
    editFragment(built.bytes, secondRun + 16, 4, {});  // its data follows the first run's
    putU32(built.bytes, secondRun, u32At(built.bytes, secondRun) - 4);
    putU32(built.bytes, secondRun + 8, 0x000200);
    const uint32_t base = u32At(built.bytes, findBox(built.bytes, "tfhd") + 20);

    conditioning::Result result = conditioning::condition(built.bytes);
    testtrack::Track track = testtrack::readTrack(result.track);
    const testtrack::Fragment& written = track.fragments.at(0);
    EXPECT_EQ(written.baseDataOffset, base + static_cast<uint32_t>(result.shift));
    EXPECT_EQ(testtrack::runCounts(written), (std::vector<uint32_t>{30, 20}));
    EXPECT_EQ(written.runs[0].dataOffset, 0);
}

TEST_F(FragmentsTest, EveryTrackFragmentOfAFragmentPointsAtTheOutput) {
    conditioning::resetRun(kKeepRuns);
    Built built = fragmentedTrack(0, {{30}});
    const std::size_t traf = findBox(built.bytes, "traf");
    const std::vector<uint8_t> copy(built.bytes.begin() + static_cast<std::ptrdiff_t>(traf),
                                    built.bytes.begin() + static_cast<std::ptrdiff_t>(traf + u32At(built.bytes, traf)));
    const std::size_t moof = findBox(built.bytes, "moof");
    built.bytes.insert(built.bytes.begin() + static_cast<std::ptrdiff_t>(moof + u32At(built.bytes, moof)), copy.begin(),
                       copy.end());
    putU32(built.bytes, moof, u32At(built.bytes, moof) + static_cast<uint32_t>(copy.size()));
    for (std::size_t tfhd = findBox(built.bytes, "tfhd"); tfhd != SIZE_MAX; tfhd = findBox(built.bytes, "tfhd", tfhd + 8))
        putU32(built.bytes, tfhd + 20, u32At(built.bytes, tfhd + 20) + static_cast<uint32_t>(copy.size()));

    conditioning::Result result = conditioning::condition(built.bytes);
    const std::size_t firstRun = findBox(result.track, "trun");
    const std::size_t secondRun = findBox(result.track, "trun", firstRun + 8);
    EXPECT_EQ(u32At(result.track, firstRun + 16), u32At(result.track, secondRun + 16));
    EXPECT_TRUE(testtrack::checkSampleBytes(testtrack::readTrack(result.track), built.frames()).empty());
}

}  // namespace
