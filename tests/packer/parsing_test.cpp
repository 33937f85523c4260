// Everything the packer reads as text (options, tessaryn.ini, config.txt's clip lines, SOURCE_DATE_EPOCH), as tables of cases.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>
#include <sstream>

#include "packer/base/container.h"
#include "packer/clip_lines.h"
#include "packer/command_line.h"
#include "packer/settings.h"
#include "tests/tools/testkit.h"

namespace {

using testkit::TempFolder;

std::string repeat(int count, const std::string& text) { return count > 0 ? text + repeat(count - 1, text) : ""; }

// What the command line gave: mode, paths, -chkufr, the three clips and the clips whose names were kept as given.
std::string optionsOf(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    const CommandLine line = ReadCommandLine(static_cast<int>(argv.size()), argv.data());
    const PackerOptions& o = line.options;
    auto path = [](const std::optional<std::string>& p) { return p ? "\"" + *p + "\"" : std::string("-"); };
    std::string summary = "mode=" + std::to_string(o.modeFlags) + " o=" + path(o.outputPath) + " jct=" + path(o.jacketPath) +
                          " wall=" + path(o.wallpaperPath) + " fr=" + std::to_string(o.freeToUse);
    for (const ClipRange& clip : line.clips)
        summary += clip.state == ClipState::Unused ? std::string(" -") : " \"" + std::string(clip.name) + "\"";
    for (int clip : line.namesKeptAsGiven) summary += " kept:" + std::to_string(clip);
    return summary;
}

TEST(Parsing, OptionsByPrefixTheLaterOneWinning) {
    const std::string q31(31, 'q'), a30(30, 'a'), a29(29, 'a');
    const std::string none = "mode=14 o=- jct=- wall=- fr=0";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"song.3g2"}, none + " - - -"},
        {{"-o:x.kmf", "-mode:0"}, "mode=0 o=- jct=- wall=- fr=0 - - -"},  // argv[1] is the music file, never an option
        {{"s", "-o:a.kmf", "-o:b.kmf"}, "mode=14 o=\"b.kmf\" jct=- wall=- fr=0 - - -"},
        {{"s", "-o:"}, "mode=14 o=\"\" jct=- wall=- fr=0 - - -"},
        {{"s", "-mode:23"}, "mode=23 o=- jct=- wall=- fr=0 - - -"},
        {{"s", "-mode:abc"}, "mode=0 o=- jct=- wall=- fr=0 - - -"},
        {{"s", "-MODE:3", "-mode3"}, none + " - - -"},
        {{"s", "-jct:", "-wall:\"w.jpg\""}, "mode=14 o=- jct=\"\" wall=\"\"w.jpg\"\" fr=0 - - -"},
        // Quotes: an opening one goes, and a closing one with it; a lone closing one stays.
        {{"s", "-chku1:\"Intro\"", "-chku2:\"Open", "-chku3:plain\""}, none + " \"Intro\" \"Open\" \"plain\"\""},
        {{"s", "-chku1:\"", "-chku2:\"\"\"", "-chku3:a\"b"}, none + " \"\" \"\"\" \"a\"b\""},
        {{"s", "-chku1:\"" + q31 + "\"", "-chku2:" + q31 + "qqq"}, none + " \"" + q31 + "\" \"" + q31 + "\" -"},
        {{"s", "-chku1:first", "-chku1:second", "-chku3:a", "-chku3:"}, none + " \"second\" - \"\""},
        {{"s", "-chkufrXYZ"}, "mode=14 o=- jct=- wall=- fr=1 - - -"},
        {{"s", "-chkuf", "-CHKUFR", "-x", "song2.3g2", "-chku4:x", "-o", "-jct", ""}, none + " - - -"},
        // Clip names reach the handset in code page 932, cut on a character boundary.
        {{"s", "-chku1:イントロ", "-chku2:\"ロ\""}, none + " \"\x83\x43\x83\x93\x83\x67\x83\x8D\" \"\x83\x8D\" -"},
        {{"s", "-chku1:" + a30 + "熙", "-chku2:" + a29 + "イ"}, none + " \"" + a30 + "\" \"" + a29 + "\x83\x43\" -"},  // 熙 is 0xEA 0xA4
        {{"s", "-chku3:\xF0\x9F\x98\x80", "-chku1:\xFF"}, none + " \"\xFF\" - \"\xF0\x9F\x98\x80\" kept:3 kept:1"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {"tessaryn"};
        argv.insert(argv.end(), c.first.begin(), c.first.end());
        EXPECT_EQ(optionsOf(argv), c.second) << testing::PrintToString(c.first);
    }
}

// What tessaryn.ini beside a program in a fresh folder made of the options: "mode camouflage name".
std::string settingsAfter(const std::string& ini, uint32_t modeBefore) {
    PackerOptions options;
    options.modeFlags = modeBefore;
    TempFolder folder;
    testkit::writeFile(folder / "tessaryn.ini", ini);
    EXPECT_EQ(ReadSettings((folder / "tessaryn").c_str(), options), SettingsFile::Read);
    return std::to_string(options.modeFlags) + " " + std::to_string(options.camouflageBitrate) + " " + options.musicMemberName;
}

TEST(Parsing, SettingsFileKeysAndTheLinesThatCount) {
    const std::string a31(31, 'a');
    const struct { std::string ini; uint32_t before; std::string after; /* mode, bitrate cap, music name */ } cases[] = {
        {"ADD_MFRA=yes\n", 14, "15 0 music.3g2"}, {"ADD_MFRA=true\n", 15, "14 0 music.3g2"},
        {"ADD_MFRA=0\n", 15, "14 0 music.3g2"}, {"CHECK_HITKEY=Y\n", 0, "4 0 music.3g2"},
        {"add_ioed=1\n", 0, "2 0 music.3g2"}, {"ADD_IOED =1\n", 0, "0 0 music.3g2"},  // the blank belongs to the key
        {"REFRAGMENT= 1\n", 14, "6 0 music.3g2"}, {"# ADD_MFRA=1\n ADD_MFRA=1\n\tADD_MFRA=1\n\x82" "ADD_MFRA=1\n", 14, "14 0 music.3g2"},
        {"ADD_IOED=0\n*\nADD_MFRA=1\n", 14, "12 0 music.3g2"}, {"*end\nADD_MFRA=1\n", 14, "14 0 music.3g2"},
        {"ADD_MFRA\nREFRAGMENT=0\n", 14, "6 0 music.3g2"},
        {"ADD_MFRAX=1\n=1\nNO_SETTINGS_FILE=1\nFIXED_CAMOUFLAGE=1\n", 14, "14 0 music.3g2"},
        {"ADD_MFRA=1\nADD_MFRA=0\nADD_IOED=0\nADD_IOED=y\n", 14, "14 0 music.3g2"},
        {"ADD_MFRA=1\r\nREFRAGMENT=n\r\n", 14, "7 0 music.3g2"}, {"ADD_MFRA=1 \t \r\n", 0, "1 0 music.3g2"},
        {repeat(99, "#\n") + "ADD_MFRA=1\n", 14, "15 0 music.3g2"}, {repeat(100, "#\n") + "ADD_MFRA=1\n", 14, "14 0 music.3g2"},
        {repeat(100, "\n") + "ADD_MFRA=1\n", 14, "14 0 music.3g2"},
        // One read takes 511 characters; the rest of a longer line is a line of its own.
        {std::string(511, 'x') + "ADD_MFRA=1\n", 14, "15 0 music.3g2"}, {std::string(510, 'x') + "ADD_MFRA=1\n", 14, "14 0 music.3g2"},
        {"ADD_MFRA=1", 0, "1 0 music.3g2"}, {"", 14, "14 0 music.3g2"},
        {"CAMOUFLAGE_BITRATE=64000\n", 14, "14 64000 music.3g2"}, {"camouflage_bitrate=96000kbps\n", 14, "14 96000 music.3g2"},
        {"MUSIC_FILENAME=track.3g2\n", 14, "14 0 track.3g2"}, {"MUSIC_FILENAME= my song.3g2\n", 14, "14 0  my song.3g2"},
        {"MUSIC_FILENAME=song\x82\xa0\n", 14, "14 0 song"}, {"MUSIC_FILENAME=\n", 14, "14 0 music.3g2"},
        {"MUSIC_FILENAME=" + a31 + "\n", 14, "14 0 " + a31}, {"MUSIC_FILENAME=" + a31 + "a\n", 14, "14 0 music.3g2"},
    };
    for (const auto& c : cases) EXPECT_EQ(settingsAfter(c.ini, c.before), c.after) << testing::PrintToString(c.ini);

    const char* settings[][2] = {{"tessaryn", "tessaryn.ini"}, {"/opt/tools/tessaryn", "/opt/tools/tessaryn.ini"},
                                 {"./tessaryn", "./tessaryn.ini"}, {"C:\\tools\\tessaryn.exe", "tessaryn.ini"}};
    for (auto& c : settings) EXPECT_EQ(SettingsPath(c[0]), c[1]) << c[0];
    EXPECT_EQ(SettingsPath(nullptr), "tessaryn.ini");

    TempFolder folder;
    PackerOptions options;
    EXPECT_EQ(ReadSettings((folder / "tessaryn").c_str(), options), SettingsFile::NotFound) << "no file";
    std::filesystem::create_directory(folder / "tessaryn.ini");
    EXPECT_EQ(ReadSettings((folder / "tessaryn").c_str(), options), SettingsFile::NotFound) << "a folder is not a settings file";
    std::filesystem::create_directory(folder / "pipe");
    ASSERT_EQ(::mkfifo((folder / "pipe/tessaryn.ini").c_str(), 0600), 0);  // opening it would wait for a writer
    EXPECT_EQ(ReadSettings((folder / "pipe/tessaryn").c_str(), options), SettingsFile::NotFound) << "a named pipe";
}

// tessaryn.ini.sample lists every key with its default: as shipped (every key
// commented out) and with every key line switched on, it changes nothing.
TEST(Parsing, TheSampleSettingsFileHoldsTheDefaults) {
    const testkit::Bytes sampleBytes = testkit::readFile(TESSARYN_SOURCE_DIR "/tessaryn.ini.sample");
    std::string sample(sampleBytes.begin(), sampleBytes.end()), switchedOn;
    std::istringstream lines(sample);
    std::set<std::string> keys;
    for (std::string line; std::getline(lines, line);) {
        const bool keyLine = line.size() > 1 && line[0] == '#' && std::isupper(static_cast<unsigned char>(line[1]));
        if (keyLine) keys.insert(line.substr(1, line.find('=') - 1));
        switchedOn += (keyLine ? line.substr(1) : line) + "\n";
    }
    EXPECT_EQ(keys, (std::set<std::string>{"ADD_MFRA", "ADD_IOED", "CHECK_HITKEY", "REFRAGMENT", "CAMOUFLAGE_BITRATE",
                                           "MUSIC_FILENAME"}));
    EXPECT_EQ(settingsAfter(sample, kDefaultModeFlags), "14 0 music.3g2");
    EXPECT_EQ(settingsAfter(switchedOn, kDefaultModeFlags), "14 48000 music.3g2");  // as the driver settles a cap of 0
}

// Each clip as "state:start+length" (milliseconds), "-" when untouched.
std::string clipsOf(const std::string& config, uint32_t unread = 0, ClipRanges clips = {}) {
    const std::vector<uint8_t> bytes(config.begin(), config.end());  // exactly sized: a read beyond it shows
    ReadClipLines(bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(bytes.size() - unread), clips);
    std::string summary;
    for (const ClipRange& clip : clips) {
        summary += summary.empty() ? "" : " ";
        summary += clip.state == ClipState::Unused ? std::string("-")
                                                   : std::string(clip.name) + std::to_string(static_cast<int>(clip.state)) + ":" +
                                                         std::to_string(clip.start) + "+" + std::to_string(clip.length);
    }
    return summary;
}

TEST(Parsing, ClipLinesFourToSixOfConfig) {
    const std::string head = "KDDIMU01\r\nhttp://example.invalid/\r\nwallpaper.jpg,\r\n";
    const std::string three = head + "005.250,035.250\r\n010.000,020.500\r\n000.100,001.000\r\n";
    // Which lines count and how their numbers read: tests/common.
    const struct { std::string config, clips; uint32_t unread = 0; /* bytes past the count given */ } cases[] = {
        {three, "1:5250+30000 1:10000+10500 1:100+900"}, {head + "5.25,6.5\r\n", "1:5025+980 - -"},  // 5 s and 25 ms
        {"", "- - -"}, {head + "abc\r\n", "1:0+0 - -"}, {head + "1.500,3\r\n", "1:1500+1500 - -"},
        {head + "010.000,005.000\r\n", "1:10000+0 - -"},  // an end before the start gives length 0
        {head + "\r\n\r\n1.0,2.5\r\n", "- - 1:1000+1000", 3},  // the "5" lies past the count
    };
    for (const auto& c : cases) EXPECT_EQ(clipsOf(c.config, c.unread), c.clips) << testing::PrintToString(c.config);

    ClipRanges named{};  // a name from -chku1: stays when config.txt times the clip
    std::strcpy(named[0].name, "Intro");
    named[0].state = named[1].state = ClipState::Enabled;
    EXPECT_EQ(clipsOf(head + "005.250,035.250\r\n", 0, named), "Intro1:5250+30000 1:0+0 -");
}

TEST(Parsing, SourceDateEpochCountsOnlyAsADecimalNumber) {
    const struct { const char* value; bool used; uint64_t time; } cases[] = {
                 {"1234567890", true, 1234567890}, {"0", true, 0}, {"", false, 0},   {"12a", false, 0},
                 {"-5", false, 0},                 {" 15", false, 0}, {"+15", false, 0}, {nullptr, false, 0}};
    for (const auto& c : cases) {
        c.value ? setenv("SOURCE_DATE_EPOCH", c.value, 1) : unsetenv("SOURCE_DATE_EPOCH");
        const uint64_t before = static_cast<uint64_t>(std::time(nullptr));
        const uint64_t time = MemberHeaderTime();
        if (c.used) EXPECT_EQ(time, c.time) << c.value;
        else EXPECT_TRUE(time >= before && time <= static_cast<uint64_t>(std::time(nullptr))) << (c.value ? c.value : "unset");
    }
    unsetenv("SOURCE_DATE_EPOCH");
    // Times beyond eleven octal digits are written as the largest that fits.
    MemberHeaderBlock block = BuildMemberHeader("x", 0, UINT64_MAX);
    EXPECT_EQ(std::string(block.begin() + 136, block.begin() + 147), "77777777777");
}

}  // namespace
