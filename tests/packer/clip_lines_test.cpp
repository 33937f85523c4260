#include "packer/clip_lines.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "packer/run_state.h"

namespace {

struct Clip {
    int8_t state;
    uint32_t start;
    uint32_t length;
};

constexpr Clip kNone{0, 0, 0};

struct ClipCase {
    const char* title;
    std::string config;
    Clip clips[kClipCount];
};

const std::string kHead = "KDDIMU01\r\nhttp://example.invalid/\r\nwallpaper.jpg,\r\n";

std::string lf(std::string text) {
    std::string out;
    for (char c : text) {
        if (c != '\r') out += c;
    }
    return out;
}

// Parses exactly the bytes of the text: a copy of just that length, so a read
// past the count is a read past the allocation.
void parse(const std::string& config) {
    std::vector<uint8_t> bytes(config.begin(), config.end());
    parseClipLines(bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(bytes.size()));
}

class ClipLines : public testing::TestWithParam<ClipCase> {
protected:
    void SetUp() override { resetPackerRun(); }
    void TearDown() override { resetPackerRun(); }
};

TEST_P(ClipLines, FillTheClipRecords) {
    const ClipCase& c = GetParam();
    parse(c.config);
    for (int i = 0; i < kClipCount; ++i) {
        EXPECT_EQ(g_run.clips[i].state, c.clips[i].state) << "clip " << i + 1;
        EXPECT_EQ(g_run.clips[i].start, c.clips[i].start) << "clip " << i + 1;
        EXPECT_EQ(g_run.clips[i].length, c.clips[i].length) << "clip " << i + 1;
    }
}

const ClipCase kClipCases[] = {
    {"ThreeClipsAsTheFrontendWrites", kHead + "005.250,035.250\r\n010.000,020.500\r\n000.100,001.000\r\n",
     {{1, 5250, 30000}, {1, 10000, 10500}, {1, 100, 900}}},
    {"ThreeClipsWithLineFeedsOnly", lf(kHead + "005.250,035.250\r\n010.000,020.500\r\n000.100,001.000\r\n"),
     {{1, 5250, 30000}, {1, 10000, 10500}, {1, 100, 900}}},
    {"MillisecondsAreWholeNumbers", kHead + "5.25,6.5\r\n", {{1, 5025, 980}, kNone, kNone}},
    {"FileEndsAfterLineFive", kHead + "001.000,002.000\r\n003.000,005.000\r\n", {{1, 1000, 1000}, {1, 3000, 2000}, kNone}},
    {"EmptyLineFourThenLineFive", kHead + "\r\n003.000,005.000\r\n", {kNone, {1, 3000, 2000}, kNone}},
    {"ClipOneWithoutLineFeed", kHead + "001.000,002.000", {kNone, kNone, kNone}},
    {"ClipOneWithLineFeed", kHead + "001.000,002.000\n", {{1, 1000, 1000}, kNone, kNone}},
    {"ClipTwoWithoutLineFeed", kHead + "001.000,002.000\r\n003.000,005.000", {{1, 1000, 1000}, kNone, kNone}},
    {"ClipThreeWithoutLineFeed", kHead + "\r\n\r\n007.000,009.500", {kNone, kNone, {1, 7000, 2500}}},
    {"ClipThreeEndsWithCarriageReturn", kHead + "\r\n\r\n007.000,009.500\r", {kNone, kNone, {1, 7000, 2500}}},
    {"LinesAfterClipThreeIgnored", kHead + "\r\n\r\n\r\n001.000,002.000\r\n", {kNone, kNone, kNone}},
    {"DefaultConfig", "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n", {kNone, kNone, kNone}},
    {"FirstLineNotChecked", "SOMETHING\r\n\r\nelse\r\n002.000,003.000\r\n", {{1, 2000, 1000}, kNone, kNone}},
    {"FewerThanThreeLines", "KDDIMU01\r\n\r\n001.000,002.000", {kNone, kNone, kNone}},
    {"Empty", "", {kNone, kNone, kNone}},
    {"OnlyOneCarriageReturnIsDropped", kHead + "\r\r\n", {{1, 0, 0}, kNone, kNone}},
    {"CarriageReturnAloneIsEmpty", kHead + "\r\n\r\n005.000,006.000\r\n", {kNone, kNone, {1, 5000, 1000}}},
    {"ZeroByteEndsTheLine", kHead + std::string("\0" "1.000,2.000\r\n", 14), {kNone, kNone, kNone}},
    {"BlanksBeforeNumbersSkipped", kHead + " 5. 25, 6.\t5\r\n", {{1, 5025, 980}, kNone, kNone}},
    {"SignedNumbers", kHead + "+5.0,+6.0\r\n", {{1, 5000, 1000}, kNone, kNone}},
    {"TextAfterTheFourthNumberIgnored", kHead + "1.0,2.0 and more\r\n", {{1, 1000, 1000}, kNone, kNone}},
    // Lines the frontend never writes: enabled, unread numbers count as 0.
    {"NotARange", kHead + "abc\r\n", {{1, 0, 0}, kNone, kNone}},
    {"BlankLineIsNotEmpty", kHead + " \r\n", {{1, 0, 0}, kNone, kNone}},
    {"OnlyTheStart", kHead + "5.25\r\n", {{1, 5025, 0}, kNone, kNone}},
    {"EndWithoutMilliseconds", kHead + "1.500,3\r\n", {{1, 1500, 1500}, kNone, kNone}},
    {"BlankBeforeSeparatorStops", kHead + "5 .25,6.5\r\n", {{1, 5000, 0}, kNone, kNone}},
    {"EndBeforeStartIsEmpty", kHead + "010.000,005.000\r\n", {{1, 10000, 0}, kNone, kNone}},
    {"HugeNumbersWrapWithoutHarm", kHead + "99999999999.0,1.0\r\n", {{1, 1215752191u * 1000u, 0}, kNone, kNone}},
};

INSTANTIATE_TEST_SUITE_P(Config, ClipLines, testing::ValuesIn(kClipCases),
                         [](const testing::TestParamInfo<ClipCase>& param) { return param.param.title; });

TEST(ClipLinesBounds, BytesPastTheCountAreNotRead) {
    resetPackerRun();
    std::string config = kHead + "\r\n\r\n1.0,2.5\r\n";
    std::vector<uint8_t> bytes(config.begin(), config.end());
    uint32_t upToTheLastDot = static_cast<uint32_t>(config.size() - std::strlen("5\r\n"));
    parseClipLines(bytes.data(), upToTheLastDot);
    EXPECT_EQ(g_run.clips[2].start, 1000u);
    EXPECT_EQ(g_run.clips[2].length, 1000u);  // the 5 lay past the count
    resetPackerRun();
}

TEST(ClipLinesBounds, TheBytesAreLeftAsTheyWere) {
    resetPackerRun();
    std::string config = kHead + "005.250,035.250\r\n010.000,020.500\r\n000.100,001.000";
    std::vector<uint8_t> bytes(config.begin(), config.end());
    parseClipLines(bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), config);
    resetPackerRun();
}

TEST(ClipLinesNames, NameFromTheOptionStaysWhenTheFileEnablesTheClip) {
    resetPackerRun();
    std::strcpy(g_run.clips[0].name, "Intro");
    g_run.clips[0].state = ClipState::Enabled;
    g_run.clips[1].state = ClipState::Enabled;  // named by option, no line in the file
    parse(kHead + "005.250,035.250\r\n");
    EXPECT_STREQ(g_run.clips[0].name, "Intro");
    EXPECT_EQ(g_run.clips[0].start, 5250u);
    EXPECT_EQ(g_run.clips[1].state, ClipState::Enabled);
    EXPECT_EQ(g_run.clips[1].start, 0u);
    EXPECT_EQ(g_run.clips[1].length, 0u);
    resetPackerRun();
}

}  // namespace
