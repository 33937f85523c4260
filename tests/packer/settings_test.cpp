#include "packer/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "packer/paths.h"
#include "packer/run_state.h"
#include "tests/packer/test_support.h"

namespace {

using packertest::TempFolder;
using packertest::writeFile;

std::string lines(int count, const std::string& line) {
    std::string text;
    for (int i = 0; i < count; ++i) text += line;
    return text;
}

struct SettingsCase {
    const char* title;
    std::string ini;
    uint32_t modeBefore;
    uint32_t modeAfter;
    uint32_t camouflageAfter = 0;
    const char* musicNameAfter = "music.3g2";
};

class SettingsFile : public testing::TestWithParam<SettingsCase> {
protected:
    void SetUp() override { resetPackerRun(); }
    void TearDown() override { resetPackerRun(); }

    // A program path in the folder, as the packer would be started from there.
    std::string programIn(const TempFolder& folder) { return folder.path() + paths::kFolderSeparator + "tessaryn"; }
};

TEST_P(SettingsFile, ChangesOnlyWhatItsLinesSay) {
    const SettingsCase& c = GetParam();
    TempFolder folder;
    writeFile(folder / "tessaryn.ini", c.ini);
    g_run.modeFlags = c.modeBefore;
    EXPECT_EQ(readSettings(programIn(folder).c_str()), 0);
    EXPECT_EQ(g_run.modeFlags, c.modeAfter);
    EXPECT_EQ(g_run.camouflageBitrate, c.camouflageAfter);
    EXPECT_EQ(g_run.musicMemberName, c.musicNameAfter);
}

const SettingsCase kSettingsCases[] = {
    {"YesSetsTheBit", "ADD_MFRA=yes\n", 14, 15},
    {"TrueClears", "ADD_MFRA=true\n", 15, 14},
    {"OnClears", "ADD_MFRA=ON\n", 15, 14},
    {"ZeroClears", "ADD_MFRA=0\n", 15, 14},
    {"EmptyValueClears", "ADD_MFRA=\n", 15, 14},
    {"UpperYSets", "CHECK_HITKEY=Y\n", 0, 4},
    {"KeysIgnoreCase", "add_ioed=1\n", 0, 2},
    {"BlankBeforeEqualsIsAnotherKey", "ADD_IOED =1\n", 0, 0},
    {"BlankAfterEqualsClears", "REFRAGMENT= 1\n", 14, 6},
    {"CommentSkipped", "# ADD_MFRA=1\n", 14, 14},
    {"LeadingBlankSkipped", " ADD_MFRA=1\n", 14, 14},
    {"LeadingTabSkipped", "\tADD_MFRA=1\n", 14, 14},
    {"LeadingHighByteSkipped", "\x82" "ADD_MFRA=1\n", 14, 14},
    {"StarEndsTheFile", "ADD_IOED=0\n*\nADD_MFRA=1\n", 14, 12},
    {"StarWithTextEndsTheFile", "*end\nADD_MFRA=1\n", 14, 14},
    {"LineWithoutEqualsSkipped", "ADD_MFRA\nREFRAGMENT=0\n", 14, 6},
    {"UnknownKeyIgnored", "ADD_MFRAX=1\n=1\nNO_SETTINGS_FILE=1\nFIXED_CAMOUFLAGE=1\n", 14, 14},
    {"LaterLinesOverride", "ADD_MFRA=1\nADD_MFRA=0\nADD_IOED=0\nADD_IOED=y\n", 14, 14},
    {"CrLfLines", "ADD_MFRA=1\r\nREFRAGMENT=n\r\n", 14, 7},
    {"TrailingBlanksRemoved", "ADD_MFRA=1 \t \r\n", 0, 1},
    {"LineOneHundredCounts", lines(99, "#\n") + "ADD_MFRA=1\n", 14, 15},
    {"LineOneHundredOneIgnored", lines(100, "#\n") + "ADD_MFRA=1\n", 14, 14},
    {"EmptyLinesCountAsReads", lines(100, "\n") + "ADD_MFRA=1\n", 14, 14},
    // One read takes 511 characters; the rest of a longer line is a line of its own.
    {"LongLineRestIsALine", std::string(511, 'x') + "ADD_MFRA=1\n", 14, 15},
    {"LongLineCutInsideTheKey", std::string(510, 'x') + "ADD_MFRA=1\n", 14, 14},
    {"NoLineEndAtTheEnd", "ADD_MFRA=1", 0, 1},
    {"EmptyFile", "", 14, 14},
    {"Bitrate", "CAMOUFLAGE_BITRATE=64000\n", 14, 14, 64000},
    {"BitrateLowerCaseKey", "camouflage_bitrate=96000kbps\n", 14, 14, 96000},
    {"BitrateZero", "CAMOUFLAGE_BITRATE=0\n", 14, 14, 0},
    {"BitrateNotANumber", "CAMOUFLAGE_BITRATE=abc\n", 14, 14, 0},
    {"BitrateLeadingBlanks", "CAMOUFLAGE_BITRATE=  32000\n", 14, 14, 32000},
    {"MusicName", "MUSIC_FILENAME=track.3g2\n", 14, 14, 0, "track.3g2"},
    {"MusicNameKeepsInnerBlanks", "MUSIC_FILENAME= my song.3g2\n", 14, 14, 0, " my song.3g2"},
    {"MusicNameLosesTrailingHighBytes", "MUSIC_FILENAME=song\x82\xa0\n", 14, 14, 0, "song"},
    {"MusicNameEmptyIgnored", "MUSIC_FILENAME=\n", 14, 14, 0, "music.3g2"},
    {"MusicNameOf31Characters", "MUSIC_FILENAME=" + std::string(31, 'a') + "\n", 14, 14, 0,
     "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
    {"MusicNameOf32CharactersIgnored", "MUSIC_FILENAME=" + std::string(32, 'a') + "\n", 14, 14, 0, "music.3g2"},
};

INSTANTIATE_TEST_SUITE_P(Lines, SettingsFile, testing::ValuesIn(kSettingsCases),
                         [](const testing::TestParamInfo<SettingsCase>& param) { return param.param.title; });

TEST(SettingsFileLocation, BesideTheProgramOrInTheCurrentFolder) {
    EXPECT_EQ(settingsPath("tessaryn"), "tessaryn.ini");
    EXPECT_EQ(settingsPath(nullptr), "tessaryn.ini");
#ifdef _WIN32
    EXPECT_EQ(settingsPath("C:\\tools\\tessaryn.exe"), "C:\\tools\\tessaryn.ini");
    EXPECT_EQ(settingsPath("C:/tools/tessaryn.exe"), "tessaryn.ini");
#else
    EXPECT_EQ(settingsPath("/opt/tools/tessaryn"), "/opt/tools/tessaryn.ini");
    EXPECT_EQ(settingsPath("./tessaryn"), "./tessaryn.ini");
    EXPECT_EQ(settingsPath("C:\\tools\\tessaryn.exe"), "tessaryn.ini");
#endif
}

TEST(SettingsFileLocation, MissingFileIsNotReadAndChangesNothing) {
    resetPackerRun();
    TempFolder folder;
    EXPECT_EQ(readSettings((folder.path() + paths::kFolderSeparator + "tessaryn").c_str()), 1);
    EXPECT_EQ(g_run.modeFlags, kDefaultModeFlags);
}

TEST(SettingsFileLocation, FolderOfThatNameIsNotASettingsFile) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "tessaryn.ini");
    EXPECT_EQ(readSettings((folder.path() + paths::kFolderSeparator + "tessaryn").c_str()), 1);
}

TEST(SettingsFileLocation, ProgramPathWithoutFolderReadsTheCurrentFolder) {
    resetPackerRun();
    TempFolder folder;
    writeFile(folder / "tessaryn.ini", "ADD_MFRA=1\n");
    std::string previous = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(folder.path().c_str()), 0);
    int result = readSettings("tessaryn");
    ASSERT_EQ(chdir(previous.c_str()), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_run.modeFlags, kDefaultModeFlags | ModeFlag::ADD_MFRA);
    resetPackerRun();
}

}  // namespace
