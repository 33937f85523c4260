// One-second pieces, clip conversion and clip location.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "packer/conditioner/pieces.h"
#include "tests/conditioner/conditioning.h"
#include "tests/tools/track_checks.h"

namespace {

struct CutCase {
    uint32_t timescale;
    uint32_t delta;
    uint32_t total;
    std::vector<uint32_t> pieces;
};

class CutOneSecondTest : public testing::TestWithParam<CutCase> {};

TEST_P(CutOneSecondTest, CutsOnWholeSecondsAndJoinsShortTails) {
    const CutCase& c = GetParam();
    EXPECT_EQ(testtrack::oneSecondPieces(c.total, c.timescale, c.delta), c.pieces);
    EXPECT_EQ(CountPieces({c.timescale, c.delta}, c.total), c.pieces.size());
}

INSTANTIATE_TEST_SUITE_P(
    Rates, CutOneSecondTest,
    testing::Values(CutCase{22050, 1024, 100, {21, 22, 21, 22, 14}}, CutCase{22050, 1024, 45, {21, 24}},
                    CutCase{22050, 1024, 50, {21, 22, 7}}, CutCase{44100, 1024, 100, {43, 43, 14}},
                    CutCase{48000, 1024, 100, {46, 47, 7}}, CutCase{22050, 1024, 2, {2}},
                    CutCase{22050, 1024, 0, {}}, CutCase{22050, 1024, 23, {23}},
                    // Samples longer than a second: every one still makes a piece.
                    CutCase{1000, 1500, 6, {1, 1, 1, 3}}));

TEST(CutOneSecond, ComputesPieceBoundariesBeyondThirtyTwoBits) {
    // 100000 × 48000 does not fit 32 bits; the boundary must still be exact.
    const PieceClock clock{48000, 1024};
    const uint32_t taken = static_cast<uint32_t>(uint64_t{99999} * 48000 / 1024);
    const uint32_t expected = static_cast<uint32_t>(uint64_t{100000} * 48000 / 1024) - taken;
    EXPECT_EQ(CutOneSecond(clock, 100000, taken, taken + 1000), expected);
}

class ClipTest : public testing::Test {
protected:
    void SetUp() override { conditioning::resetRun(); }
};

TEST_F(ClipTest, ConvertsSecondsAndMillisecondsApart) {
    conditioning::enableClip(1, "a", 1500, 5000);
    ConvertClipRanges(1024, 22050);
    EXPECT_EQ(g_run.clips[0].start, 31u);  // 21 + 10; one step would give 32
    EXPECT_EQ(g_run.clips[0].length, 107u);
}

TEST_F(ClipTest, ConvertsOncePerRunAndOnlyClipsInUse) {
    conditioning::enableClip(2, "b", 2000, 1000);
    g_run.clips[0].start = 1000;  // not in use: stays as it is
    ConvertClipRanges(1024, 44100);
    ConvertClipRanges(1024, 44100);
    EXPECT_EQ(g_run.clips[1].start, 86u);
    EXPECT_EQ(g_run.clips[1].length, 43u);
    EXPECT_EQ(g_run.clips[0].start, 1000u);
}

TEST_F(ClipTest, ConvertsLongClipsWithoutOverflow) {
    conditioning::enableClip(1, "long", 0, 200000);  // 200000 × 44100 overflows 32 bits
    ConvertClipRanges(1024, 44100);
    EXPECT_EQ(g_run.clips[0].length, 8613u);
}

TEST_F(ClipTest, LocatesEachClipOnceInThePieceThatHoldsItsStart) {
    conditioning::enableClip(1, "in chunk 2", 0, 0);
    conditioning::enableClip(3, "at zero", 0, 0);
    g_run.clips[0].start = 31;
    g_run.clips[2].start = 0;
    ConditionerContext context(nullptr);
    LocateClips(context, 500, 1, 0, 21);
    LocateClips(context, 500, 2, 21 * 1024, 22);
    LocateClips(context, 900, 2, 0, 100);  // a later piece does not move a located clip

    EXPECT_EQ(g_run.clips[0].state, ClipState::Located);
    EXPECT_EQ(g_run.clips[0].boxOffset, 500u);
    EXPECT_EQ(g_run.clips[0].runNumber, 2);
    EXPECT_EQ(g_run.clips[0].sampleNumber, 11);
    EXPECT_EQ(g_run.clips[2].runNumber, 1);
    EXPECT_EQ(g_run.clips[2].sampleNumber, 1);
    EXPECT_EQ(g_run.clips[1].state, ClipState::Unused);
}

TEST_F(ClipTest, LeavesClipsThatStartAfterThePiece) {
    conditioning::enableClip(1, "late", 0, 0);
    g_run.clips[0].start = 21;
    ConditionerContext context(nullptr);
    LocateClips(context, 0, 1, 0, 21);
    EXPECT_EQ(g_run.clips[0].state, ClipState::Enabled);
}

}  // namespace
