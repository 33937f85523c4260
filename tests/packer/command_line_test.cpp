#include "packer/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "packer/paths.h"
#include "packer/run_state.h"

namespace {

TEST(ReadDecimal, ReadsLikeTheUsualIntegerConversion) {
    struct Case {
        const char* text;
        uint32_t value;
    };
    const Case cases[] = {
        {"14", 14},        {"  7", 7},   {"\t\n 23", 23},     {"+5", 5},          {"-1", 0xFFFFFFFFu},
        {"abc", 0},        {"", 0},      {"12abc", 12},       {"- 5", 0},         {"0x10", 0},
        {"4294967296", 0}, {"007", 7},   {"48000 bps", 48000}, {"1 2", 1},        {"--1", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(readDecimal(c.text), c.value) << '"' << c.text << '"';
}

TEST(StripQuotes, RemovesAnOpeningQuoteAndThenAClosingOne) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"\"Intro\"", "Intro"}, {"\"Intro", "Intro"}, {"Intro\"", "Intro\""}, {"Intro", "Intro"},
        {"\"", ""},             {"\"\"", ""},         {"", ""},               {"a\"b", "a\"b"},
        {"\"a\"b\"", "a\"b"},   {"\"\"\"", "\""},
    };
    for (const Case& c : cases) {
        std::vector<char> name(c.in, c.in + std::string(c.in).size() + 1);
        stripQuotes(name.data());
        EXPECT_STREQ(name.data(), c.out) << c.in;
    }
}


PackerRun& runWith(std::vector<std::string> arguments) {
    resetPackerRun();
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    readOptions(static_cast<int>(argv.size()), argv.data());
    return g_run;
}

class Options : public testing::Test {
protected:
    void TearDown() override { resetPackerRun(); }
};

TEST_F(Options, NothingButTheInputLeavesTheDefaults) {
    PackerRun& run = runWith({"tessaryn", "song.3g2"});
    EXPECT_EQ(run.modeFlags, kDefaultModeFlags);
    EXPECT_FALSE(run.outputPath);
    EXPECT_FALSE(run.jacketPath);
    EXPECT_FALSE(run.wallpaperPath);
    EXPECT_EQ(run.chkufrFlag, 0u);
    for (const ClipRange& clip : run.clips) EXPECT_EQ(clip.state, ClipState::Unused);
}

TEST_F(Options, TheFirstArgumentIsNeverAnOption) {
    PackerRun& run = runWith({"tessaryn", "-o:x.kmf", "-mode:0"});
    EXPECT_FALSE(run.outputPath);
    EXPECT_EQ(run.modeFlags, 0u);
}

TEST_F(Options, OutputPathAndTheLaterOneWins) {
    EXPECT_EQ(*runWith({"t", "s", "-o:a.kmf"}).outputPath, "a.kmf");
    EXPECT_EQ(*runWith({"t", "s", "-o:a.kmf", "-o:b.kmf"}).outputPath, "b.kmf");
    EXPECT_EQ(*runWith({"t", "s", "-o:"}).outputPath, "");
}

TEST_F(Options, ModeReplacesTheWholeWord) {
    struct Case {
        const char* option;
        uint32_t mode;
    };
    const Case cases[] = {{"-mode:0", 0}, {"-mode:23", 23}, {"-mode: 16", 16}, {"-mode:abc", 0},
                          {"-mode:63junk", 63}, {"-MODE:3", kDefaultModeFlags}, {"-mode3", kDefaultModeFlags}};
    for (const Case& c : cases) EXPECT_EQ(runWith({"t", "s", c.option}).modeFlags, c.mode) << c.option;
    EXPECT_EQ(runWith({"t", "s", "-mode:1", "-mode:8"}).modeFlags, 8u);
}

TEST_F(Options, ImagePathsAreTakenUnchangedEvenWhenEmpty) {
    PackerRun& run = runWith({"t", "s", "-jct:", "-wall:\"w.jpg\""});
    ASSERT_TRUE(run.jacketPath);
    EXPECT_EQ(*run.jacketPath, "");
    EXPECT_EQ(*run.wallpaperPath, "\"w.jpg\"");
}

TEST_F(Options, ClipNamesEnableTheirClip) {
    PackerRun& run = runWith({"t", "s", "-chku1:\"Intro\"", "-chku2:\"Open", "-chku3:plain"});
    EXPECT_STREQ(run.clips[0].name, "Intro");
    EXPECT_STREQ(run.clips[1].name, "Open");
    EXPECT_STREQ(run.clips[2].name, "plain");
    for (const ClipRange& clip : run.clips) EXPECT_EQ(clip.state, ClipState::Enabled);
}

TEST_F(Options, ClipNameIsCutAfterItsQuotesAreGone) {
    std::string name31(31, 'q');
    EXPECT_EQ(std::string(runWith({"t", "s", "-chku1:\"" + name31 + "\""}).clips[0].name), name31);
    EXPECT_EQ(std::string(runWith({"t", "s", "-chku1:" + std::string(40, 'q')}).clips[0].name), name31);
    EXPECT_EQ(std::string(runWith({"t", "s", "-chku1:first", "-chku1:second"}).clips[0].name), "second");
    EXPECT_EQ(std::string(runWith({"t", "s", "-chku1:a", "-chku1:"}).clips[0].name), "");
}

TEST_F(Options, ChkufrMatchesByItsSevenCharacters) {
    EXPECT_EQ(runWith({"t", "s", "-chkufr"}).chkufrFlag, 1u);
    EXPECT_EQ(runWith({"t", "s", "-chkufrXYZ"}).chkufrFlag, 1u);
    EXPECT_EQ(runWith({"t", "s", "-chkuf"}).chkufrFlag, 0u);
    EXPECT_EQ(runWith({"t", "s", "-CHKUFR"}).chkufrFlag, 0u);
}

TEST_F(Options, UnknownArgumentsAreIgnored) {
    PackerRun& run = runWith({"t", "s", "-x", "song2.3g2", "-chku4:x", "-o", "-jct", ""});
    EXPECT_EQ(run.modeFlags, kDefaultModeFlags);
    EXPECT_FALSE(run.outputPath);
    EXPECT_FALSE(run.jacketPath);
}

TEST(OutputPath, LastDotOfTheWholePathOrKmfAppended) {
    struct Case {
        const char* input;
        const char* output;
    };
    const Case cases[] = {
        {"song.3g2", "song.kmf"},
        {"song", "song.kmf"},
        {"song.", "song.kmf"},
        {"a.b.3g2", "a.b.kmf"},
        {"D:\\m\\song.3g2", "D:\\m\\song.kmf"},
        {"D:\\music.old\\song", "D:\\music.kmf"},
        {"/home/u/song.3g2", "/home/u/song.kmf"},
        {"/home/u/music.old/song", "/home/u/music.kmf"},
        {"", ".kmf"},
    };
    for (const Case& c : cases) EXPECT_EQ(defaultOutputPath(c.input), c.output) << c.input;
}

TEST(SideFilePaths, TakenFromTheFolderOfTheInput) {
    struct Case {
        const char* input;
        const char* config;
    };
#ifdef _WIN32
    const Case cases[] = {
        {"D:\\m\\song.3g2", "D:\\m\\config.txt"},
        {"D:\\music.old\\song", "D:\\music.old\\config.txt"},
        {"song", "config.txt"},
        {"D:/m/song.3g2", "config.txt"},  // only the backslash separates folders here
        {"\\\\server\\share\\song.3g2", "\\\\server\\share\\config.txt"},
    };
#else
    const Case cases[] = {
        {"/home/u/song.3g2", "/home/u/config.txt"},
        {"/home/u/music.old/song", "/home/u/music.old/config.txt"},
        {"song", "config.txt"},
        {"sub/song.3g2", "sub/config.txt"},
        {"D:\\m\\song.3g2", "config.txt"},  // a backslash is part of a file name here
        {"/song.3g2", "/config.txt"},
    };
#endif
    for (const Case& c : cases) EXPECT_EQ(paths::siblingPath(c.input, "config.txt"), c.config) << c.input;
}

}  // namespace
