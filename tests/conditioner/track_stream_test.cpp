// The top-level box stream: the fixed prefix, the ioed box and its clip slots,
// boxes dropped or kept, the fragment index, and tracks that are stored unchanged.
#include <gtest/gtest.h>

#include "packer/conditioner/conditioner.h"
#include "tests/conditioner/conditioning.h"
#include "tests/tools/byte_writer.h"
#include "tests/tools/track_builder.h"
#include "tests/tools/track_checks.h"
#include "tests/tools/track_reader.h"

namespace {

using conditioning::findBox;
using conditioning::putU32;
using conditioning::u32At;

std::vector<uint8_t> trackOf(testtrack::TrackLayout layout, testtrack::AacStream* stream = nullptr) {
    testtrack::AacStream frames = testtrack::fakeFrames(22050, testtrack::samplesUsed(layout));
    if (stream) *stream = frames;
    return testtrack::buildTrack(frames, layout);
}

testtrack::TrackLayout movieOnly(uint32_t samples = 100) {
    testtrack::TrackLayout layout;
    layout.moovSamples = samples;
    return layout;
}

std::vector<uint8_t> boxOf(const char (&type)[5], std::size_t payload, uint8_t fill = 0x5A) {
    testtrack::ByteWriter w;
    std::size_t start = w.open(type);
    w.append(std::vector<uint8_t>(payload, fill));
    w.close(start);
    return w.take();
}

std::vector<uint8_t> join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

int64_t growth(const std::vector<uint8_t>& input, const conditioning::Result& result) {
    return static_cast<int64_t>(result.track.size()) - static_cast<int64_t>(input.size());
}

class TrackStreamTest : public testing::Test {
protected:
    void SetUp() override { conditioning::resetRun(); }
};

TEST_F(TrackStreamTest, ATrackWithoutClipsGetsThePrefixAndAPlainIoedBox) {
    std::vector<uint8_t> input = trackOf(movieOnly());
    conditioning::Result result = conditioning::condition(input);
    testtrack::Track track = testtrack::readTrack(result.track);
    EXPECT_TRUE(testtrack::checkPrefix(track).empty());
    ASSERT_TRUE(track.ioed);
    EXPECT_EQ(track.ioed->offset, 72u);
    EXPECT_EQ(track.ioed->size, 41u);
    EXPECT_EQ(track.ioed->flagWord1, 0u);  // no clip: the whole track is free to use
    EXPECT_EQ(track.ioed->flagWord2, 0u);
    EXPECT_EQ(track.ioed->slotCount, 0);
    EXPECT_EQ(g_run.chkufrFlag & 1, 1u);
    const uint8_t ioedType[16] = {'i', 'o', 'e', 'd', 0xA8, 0x8C, 0x11, 0xD4, 0x81, 0x97, 0x00, 0x90, 0x27, 0x08, 0x77, 0x03};
    EXPECT_TRUE(std::equal(ioedType, ioedType + 16, result.track.begin() + 72 + 8));
    EXPECT_EQ(track.boxTypes(), (std::vector<std::string>{"ftyp", "uuid:cpgd", "uuid:ioed", "moov", "mdat"}));
    EXPECT_EQ(growth(input, result), result.shift);
}

TEST_F(TrackStreamTest, OneLocatedClipFillsTheFirstOfThreeSlots) {
    conditioning::enableClip(2, "Ring", 0, 1000);
    testtrack::Track track = testtrack::readTrack(conditioning::condition(trackOf(movieOnly())).track);
    ASSERT_TRUE(track.ioed);
    EXPECT_EQ(track.ioed->size, 194u);
    EXPECT_EQ(track.ioed->slotCount, 3);
    EXPECT_EQ(track.ioed->flagWord1, 1u);
    EXPECT_EQ(track.ioed->flagWord2, 1u);
    const testtrack::ClipSlot& first = track.ioed->slots.at(0);
    EXPECT_EQ(first.name, "Ring");
    EXPECT_EQ(first.runNumber, 1);
    EXPECT_EQ(first.sampleNumber, 1);
    EXPECT_EQ(first.length, 21u);
    EXPECT_EQ(first.constant1, 1u);
    EXPECT_EQ(first.constant2, 65u);
    EXPECT_TRUE(track.ioed->slots.at(1).untouched);
    EXPECT_TRUE(track.ioed->slots.at(2).untouched);
}

TEST_F(TrackStreamTest, TheFreeUseFlagClearsBothFlagWords) {
    conditioning::enableClip(1, "Ring", 0, 1000);
    g_run.chkufrFlag = 1;
    testtrack::Track track = testtrack::readTrack(conditioning::condition(trackOf(movieOnly())).track);
    EXPECT_EQ(track.ioed->flagWord1, 0u);
    EXPECT_EQ(track.ioed->flagWord2, 0u);
    EXPECT_EQ(track.ioed->slots.at(0).name, "Ring");
}

TEST_F(TrackStreamTest, OnlyLocatedClipsTakeSlotsInClipOrder) {
    conditioning::enableClip(1, "After the end", 60000, 1000);
    conditioning::enableClip(3, "Third", 1000, 1000);
    testtrack::Track track = testtrack::readTrack(conditioning::condition(trackOf(movieOnly())).track);
    EXPECT_EQ(track.ioed->slots.at(0).name, "Third");
    EXPECT_TRUE(track.ioed->slots.at(1).untouched);
    EXPECT_EQ(g_run.clips[0].state, ClipState::Enabled);
}

TEST_F(TrackStreamTest, AnIoedBoxOfTheTrackIsKeptAndNoneIsAdded) {
    conditioning::enableClip(1, "Ring", 0, 1000);
    testtrack::TrackLayout layout = movieOnly();
    layout.ownIoed = true;
    std::vector<uint8_t> input = trackOf(layout);
    const std::size_t own = findBox(input, "uuid");
    conditioning::Result result = conditioning::condition(input);
    testtrack::Track track = testtrack::readTrack(result.track);
    EXPECT_EQ(track.boxTypes(), (std::vector<std::string>{"ftyp", "uuid:cpgd", "uuid:ioed", "moov", "mdat"}));
    EXPECT_TRUE(std::equal(input.begin() + static_cast<std::ptrdiff_t>(own),
                           input.begin() + static_cast<std::ptrdiff_t>(own + u32At(input, own)), result.track.begin() + 72));
}

TEST_F(TrackStreamTest, WithoutTheIoedModeNoIoedBoxIsWritten) {
    conditioning::resetRun(ModeFlag::REFRAGMENT);
    conditioning::enableClip(1, "Ring", 0, 1000);
    std::vector<uint8_t> input = trackOf(movieOnly());
    conditioning::Result result = conditioning::condition(input);
    testtrack::Track track = testtrack::readTrack(result.track);
    EXPECT_EQ(track.boxTypes(), (std::vector<std::string>{"ftyp", "uuid:cpgd", "moov", "mdat"}));
    EXPECT_EQ(growth(input, result), result.shift);
}

TEST_F(TrackStreamTest, ForeignFileTypeAndUuidBoxesAreDropped) {
    testtrack::TrackLayout layout = movieOnly();
    layout.foreignUuid = true;
    std::vector<uint8_t> input = trackOf(layout);
    conditioning::Result result = conditioning::condition(input);
    testtrack::Track track = testtrack::readTrack(result.track);
    EXPECT_EQ(track.boxTypes(), (std::vector<std::string>{"ftyp", "uuid:cpgd", "uuid:ioed", "moov", "mdat"}));
    EXPECT_EQ(growth(input, result), result.shift);
}

struct SmallInput {
    const char* what;
    std::vector<uint8_t> bytes;
    int32_t shift;
    std::vector<uint8_t> after;  // what follows the prefix
};

class SmallInputs : public TrackStreamTest, public testing::WithParamInterface<SmallInput> {};

TEST_P(SmallInputs, GiveThePrefixAndAnExactShift) {
    conditioning::Result result = conditioning::condition(GetParam().bytes);
    EXPECT_EQ(result.shift, GetParam().shift);
    EXPECT_EQ(std::vector<uint8_t>(result.track.begin() + 72, result.track.end()), GetParam().after);
    EXPECT_EQ(growth(GetParam().bytes, result), result.shift);
}

INSTANTIATE_TEST_SUITE_P(
    Stream, SmallInputs,
    testing::Values(SmallInput{"empty", {}, 72, {}}, SmallInput{"only ftyp", boxOf("ftyp", 16), 72 - 24, {}},
                    SmallInput{"only a foreign uuid", boxOf("uuid", 16), 72 - 24, {}},
                    SmallInput{"trailing bytes are copied", join({boxOf("ftyp", 16), {1, 2, 3, 4, 5, 6, 7}}), 72 - 24,
                               {1, 2, 3, 4, 5, 6, 7}}),
    conditioning::nameOfCase<SmallInput>);

TEST_F(TrackStreamTest, ABoxOfTheWholeWorkBufferIsTakenAndOneByteMoreIsNot) {
    std::vector<uint8_t> fits = boxOf("free", kWorkBufferSize - 8);
    conditioning::Result taken = conditioning::condition(fits);
    EXPECT_EQ(taken.shift, 72 + 41);
    EXPECT_TRUE(std::equal(fits.begin(), fits.end(), taken.track.begin() + 72 + 41));

    std::vector<uint8_t> tooLarge = boxOf("free", kWorkBufferSize - 7);
    conditioning::Result refused = conditioning::condition(tooLarge);
    EXPECT_EQ(refused.shift, OVERSIZE_SENTINEL);
    EXPECT_TRUE(refused.track.empty());
}

struct BrokenHeader {
    const char* what;
    uint32_t size;  // of the box behind a sound ftyp
};

class BrokenHeaders : public TrackStreamTest, public testing::WithParamInterface<BrokenHeader> {};

TEST_P(BrokenHeaders, AreRefusedBeforeAnythingIsWritten) {
    std::vector<uint8_t> input = join({boxOf("ftyp", 16), trackOf(movieOnly(30))});
    putU32(input, findBox(input, "moov"), GetParam().size);
    conditioning::Result result = conditioning::condition(input);
    EXPECT_EQ(result.shift, OVERSIZE_SENTINEL);
    EXPECT_TRUE(result.track.empty());
    EXPECT_EQ(result.console, "");
}

INSTANTIATE_TEST_SUITE_P(Sizes, BrokenHeaders,
                         testing::Values(BrokenHeader{"size 0 (to the end of the file)", 0},
                                         BrokenHeader{"size 1 (64-bit size)", 1}, BrokenHeader{"size 7", 7},
                                         BrokenHeader{"past the end", 0x100000}),
                         conditioning::nameOfCase<BrokenHeader>);

TEST_F(TrackStreamTest, AnInputIndexIsDroppedAndANewOneCoversEveryRecutRun) {
    conditioning::resetRun(ModeFlag::ADD_MFRA | ModeFlag::ADD_IOED | ModeFlag::REFRAGMENT);
    testtrack::TrackLayout layout;
    layout.moovSamples = 20;
    layout.fragments = {{30}, {25}};
    layout.mfraAtEnd = true;
    testtrack::AacStream stream;
    std::vector<uint8_t> input = trackOf(layout, &stream);
    // A second stale index between the fragments: the fragment behind it must still be indexed.
    const std::vector<uint8_t> stale = boxOf("mfra", 8);
    const std::size_t secondMoof = testtrack::mapTrack(stream, layout).moofOffsets.at(1);
    input.insert(input.begin() + static_cast<std::ptrdiff_t>(secondMoof), stale.begin(), stale.end());
    const std::size_t tfhd = findBox(input, "tfhd", secondMoof);
    putU32(input, tfhd + 20, u32At(input, tfhd + 20) + static_cast<uint32_t>(stale.size()));

    conditioning::Result result = conditioning::condition(input);
    testtrack::Track track = testtrack::readTrack(result.track);
    EXPECT_EQ(track.boxTypes(), (std::vector<std::string>{"ftyp", "uuid:cpgd", "uuid:ioed", "moov", "mdat", "moof", "mdat",
                                                          "moof", "mdat", "mfra"}));
    ASSERT_TRUE(track.index);
    EXPECT_EQ(track.index->entries.size(), 4u);  // 30 samples make 2 runs, 25 make 2
    EXPECT_TRUE(testtrack::checkFragmentIndex(track, 1024).empty());
    EXPECT_TRUE(testtrack::checkSampleBytes(track, testtrack::framesUsed(stream, layout)).empty());
    EXPECT_EQ(growth(input, result), result.shift);
}

TEST_F(TrackStreamTest, WithoutTheIndexModeNoIndexIsWritten) {
    conditioning::resetRun(ModeFlag::ADD_IOED | ModeFlag::REFRAGMENT);
    testtrack::TrackLayout layout;
    layout.fragments = {{50}};
    testtrack::Track track = testtrack::readTrack(conditioning::condition(trackOf(layout)).track);
    EXPECT_FALSE(track.index);
    EXPECT_EQ(testtrack::runCounts(track.fragments.at(0)), (std::vector<uint32_t>{21, 22, 7}));
}

}  // namespace
