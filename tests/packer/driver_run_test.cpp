// Runs of the real packer in temporary folders, with standard input from
// /dev/null and no key wait unless a test is about the key wait.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "packer/driver.h"
#include "packer/run_state.h"
#include "tests/packer/test_support.h"
#include "tests/tools/package_reader.h"

namespace {

using packertest::fileExists;
using packertest::readFile;
using packertest::TempFolder;
using packertest::writeFile;

const std::string kBanner = "Tessaryn (20051110)\n3GPP2 music track to KDDI Music File packer\n\n";
const std::string kCompleted = "\n completed. (T)\n";
const std::string kDefaultConfig = "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n";

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct RunResult {
    std::string output;  // standard output, the elapsed time masked
    int exitCode = -1;
};

RunResult runShell(const std::string& command) {
    RunResult result;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.output = std::regex_replace(result.output, std::regex(R"(completed\. \(\d+\.\d{3}sec\))"), "completed. (T)");
    return result;
}

std::string commandLine(const std::string& program, const std::vector<std::string>& arguments) {
    std::string command = quoted(program);
    for (const std::string& argument : arguments) command += " " + quoted(argument);
    return command;
}

// The packer run in `folder`, given `arguments`; `environment` is put before the command.
RunResult pack(const TempFolder& folder, const std::vector<std::string>& arguments,
               const std::string& environment = "", const std::string& input = "</dev/null") {
    return runShell("cd " + quoted(folder.path()) + " && " + environment + " " + commandLine(TESSARYN_EXE, arguments) +
                    " " + input + " 2>/dev/null");
}

// A music file the conditioner stores unchanged: its first box claims to run
// past the end of the file.
std::string fakeTrack(std::size_t size) {
    std::string bytes = "\xff\xff\xff\xff" "fake";
    for (std::size_t i = bytes.size(); i < size; ++i) bytes += static_cast<char>('a' + i % 26);
    return bytes.substr(0, size);
}

std::string filler(std::size_t size, char first = 'A') {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(first + i % 23);
    return bytes;
}

// The package read back by the shared package reader, which checks every header
// field and checksum, the padding, the end blocks and index.txt.
testpkg::Package readBack(const std::string& path) { return testpkg::readPackage(testenv::readFile(path)); }

std::string dataOf(const testpkg::Member& member) { return std::string(member.data.begin(), member.data.end()); }

std::string zeros(std::size_t count) { return std::string(count, '\0'); }

void writeFullSet(const TempFolder& folder) {
    writeFile(folder / "song.3g2", fakeTrack(300072));
    writeFile(folder / "config.txt", "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n002.000,005.000\r\n" + filler(13) + "\r\n");
    writeFile(folder / "jacket.jpg", filler(10000, 'J'));
    writeFile(folder / "description.txt", filler(200, 'D'));
    writeFile(folder / "wallpaper.jpg", filler(20000, 'W'));
}

TEST(PackerRun, AllFiveMembersLaidOutBlockByBlock) {
    TempFolder folder;
    writeFullSet(folder);
    ASSERT_EQ(readFile(folder / "config.txt").size(), 60u);
    RunResult run = pack(folder, {"song.3g2", "-mode:16"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, kBanner +
                              " output: song.kmf\n"
                              "  input: config.txt (60bytes)\n"
                              "  input: song.3g2 (293KB)\n"
                              "  error: Atom size over (.3g2 file)\n"
                              "  input: jacket.jpg (10000bytes)\n"
                              "  input: description.txt (200bytes)\n"
                              "  input: wallpaper.jpg (20000bytes)\n" +
                              kCompleted);

    std::string package = readFile(folder / "song.kmf");
    ASSERT_EQ(package.size(), 336896u);
    EXPECT_EQ(package.substr(512, 204), packertest::kWorkedExampleIndexText);
    EXPECT_EQ(package.substr(512 + 204, 512 - 204), zeros(512 - 204));
    EXPECT_EQ(package.substr(148, 8), std::string("010416\0\0", 8));

    struct Member {
        const char* name;
        uint32_t header;
        const char* source;
    };
    const Member members[] = {{"config.txt", 1024, "config.txt"},   {"music.3g2", 2048, "song.3g2"},
                              {"jacket.jpg", 303104, "jacket.jpg"}, {"description.txt", 313856, "description.txt"},
                              {"wallpaper.jpg", 314880, "wallpaper.jpg"}};
    testpkg::Package read = readBack(folder / "song.kmf");
    EXPECT_TRUE(read.ok()) << read.report();
    ASSERT_EQ(read.members.size(), 6u);
    for (std::size_t i = 0; i < 5; ++i) {
        const testpkg::Member& member = read.members[i + 1];
        EXPECT_EQ(member.name, members[i].name);
        EXPECT_EQ(member.headerOffset, members[i].header) << member.name;
        EXPECT_EQ(dataOf(member), readFile(folder / members[i].source)) << member.name;
    }
}

TEST(PackerRun, MissingSideFilesAreReportedAndConfigIsCreated) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "m");
    writeFile(folder / "m/song.3g2", fakeTrack(100));
    std::filesystem::create_directory(folder / "m/jacket.jpg");  // a folder is not a jacket
    std::string m = folder / "m";
    RunResult run = pack(folder, {m + "/song.3g2", "-mode:16"});
    EXPECT_EQ(run.output, kBanner + " output: " + m + "/song.kmf\n" + "created: " + m + "/config.txt\n" +
                              "  input: " + m + "/song.3g2 (100bytes)\n" + "  error: Atom size over (.3g2 file)\n" +
                              "  error: " + m + "/jacket.jpg\n" + "  error: " + m + "/description.txt\n" +
                              "  error: " + m + "/wallpaper.jpg\n" + kCompleted);
    EXPECT_FALSE(fileExists(folder / "m/config.txt")) << "the default config.txt goes only into the package";
    std::string package = readFile(folder / "m/song.kmf");
    EXPECT_EQ(package.substr(512, 80), std::string("KDDIMU01\r\nconfig.txt,0       ,28,text/plain\r\n"
                                                   "music.3g2,1024    ,100,audio/3gpp2\r\n", 80));
}

TEST(PackerRun, OnlyTheDefaultConfigMakesA3072BytePackage) {
    TempFolder folder;
    RunResult run = pack(folder, {"song", "-mode:16"});
    EXPECT_EQ(run.output, kBanner +
                              " output: song.kmf\n"
                              "created: config.txt\n"
                              "  error: song\n"
                              "  error: jacket.jpg\n"
                              "  error: description.txt\n"
                              "  error: wallpaper.jpg\n" +
                              kCompleted);
    std::string package = readFile(folder / "song.kmf");
    ASSERT_EQ(package.size(), 3072u);
    std::string index = "KDDIMU01\r\nconfig.txt,0       ,28,text/plain\r\n";
    EXPECT_EQ(package.substr(512, 512), index + zeros(512 - index.size()));
    EXPECT_EQ(package.substr(1536, 512), kDefaultConfig + zeros(512 - 28));
    testpkg::Package read = readBack(folder / "song.kmf");
    EXPECT_TRUE(read.ok()) << read.report();
    EXPECT_EQ(read.memberNames(), (std::vector<std::string>{"config.txt"}));
}

TEST(PackerRun, EmptyMemberTakesAHeaderBlockButNoIndexLine) {
    TempFolder folder;
    writeFile(folder / "config.txt", kDefaultConfig);
    writeFile(folder / "description.txt", "");
    writeFile(folder / "wallpaper.jpg", filler(512, 'W'));
    pack(folder, {"song.3g2", "-mode:16"});
    std::string package = readFile(folder / "song.kmf");
    ASSERT_EQ(package.size(), 1024u + 1024 + 512 + 1024 + 1024u);
    EXPECT_EQ(package.substr(2048 + 124, 12), std::string("00000000000\0", 12));
    EXPECT_EQ(package.substr(512, package.find('\0', 512) - 512),
              "KDDIMU01\r\nconfig.txt,0       ,28,text/plain\r\nwallpaper.jpg,1536    ,512,image/jpeg\r\n");
    testpkg::Package read = readBack(folder / "song.kmf");
    EXPECT_TRUE(read.ok()) << read.report();
    ASSERT_EQ(read.memberNames(), (std::vector<std::string>{"config.txt", "description.txt", "wallpaper.jpg"}));
    EXPECT_EQ(read.members[2].headerOffset, 2048u);
    EXPECT_EQ(read.members[3].headerOffset, 2560u);  // an exact block: no padding behind the empty member
    EXPECT_EQ(dataOf(read.members[3]), filler(512, 'W'));
}

TEST(PackerRun, MemberSizeLimitAndHowLengthsAreShown) {
    struct Case {
        std::size_t size;
        std::string line;
    };
    const Case cases[] = {
        {20479, "  input: description.txt (20479bytes)\n"},
        {20480, "  input: description.txt (20KB)\n"},
        {6287360, "  input: description.txt (6140KB)\n"},
        {6287361, "  error: description.txt Size over (6140KB)\n"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        writeFile(folder / "config.txt", kDefaultConfig);
        writeFile(folder / "description.txt", filler(c.size));
        RunResult run = pack(folder, {"song.3g2", "-mode:16"});
        EXPECT_NE(run.output.find("  error: jacket.jpg\n" + c.line + "  error: wallpaper.jpg\n"), std::string::npos)
            << run.output;
        std::string package = readFile(folder / "song.kmf");
        bool stored = c.line.find("input") != std::string::npos;
        std::size_t expectedSize = 1024 + 1024 + (stored ? 512 + (c.size + 511) / 512 * 512 : 0) + 1024;
        ASSERT_EQ(package.size(), expectedSize) << c.size;
        if (stored) {
            EXPECT_EQ(package.substr(2560, c.size), filler(c.size)) << c.size;
        }
        EXPECT_EQ(package.find("description.txt,") != std::string::npos, stored);
    }
}

TEST(PackerRun, PackageThatWouldReplaceASourceIsNotWritten) {
    TempFolder folder;
    writeFile(folder / "song.3g2", fakeTrack(700));
    writeFile(folder / "config.txt", kDefaultConfig);
    ASSERT_EQ(link((folder / "config.txt").c_str(), (folder / "alias.kmf").c_str()), 0);
    struct Case {
        const char* output;
        const char* source;
    };
    const Case cases[] = {{"song.3g2", "song.3g2"}, {"./song.3g2", "song.3g2"}, {"alias.kmf", "config.txt"}};
    for (const Case& c : cases) {
        std::string before = readFile(folder / c.source);
        RunResult run = pack(folder, {"song.3g2", std::string("-o:") + c.output, "-mode:16"});
        EXPECT_EQ(run.output, kBanner + " output: " + c.output + "\n  error: file open error (" + c.output + ")\n" +
                                  kCompleted);
        EXPECT_EQ(readFile(folder / c.source), before) << c.output;
    }
    EXPECT_FALSE(fileExists(folder / "song.kmf"));
}

TEST(PackerRun, MemberThatTurnsOutToBeThePackageIsLeftOut) {
    TempFolder folder;
    writeFile(folder / "config.txt", kDefaultConfig);
    RunResult run = pack(folder, {"song.3g2", "-o:out.kmf", "-jct:out.kmf", "-mode:16"});
    EXPECT_NE(run.output.find("  error: song.3g2\n  error: out.kmf\n  error: description.txt\n"), std::string::npos)
        << run.output;
    std::string package = readFile(folder / "out.kmf");
    EXPECT_EQ(package.size(), 3072u);
    EXPECT_EQ(package.find("jacket"), std::string::npos);
}

TEST(PackerRun, SourceDateEpochMakesPackagesReproducible) {
    TempFolder folder;
    writeFullSet(folder);
    pack(folder, {"song.3g2", "-o:first.kmf", "-mode:16"}, "SOURCE_DATE_EPOCH=1234567890");
    pack(folder, {"song.3g2", "-o:second.kmf", "-mode:16"}, "SOURCE_DATE_EPOCH=1234567890");
    std::string first = readFile(folder / "first.kmf");
    ASSERT_EQ(first.size(), 336896u);
    EXPECT_TRUE(first == readFile(folder / "second.kmf"));
    EXPECT_EQ(first.substr(136, 11), "10222300000");  // index.txt keeps its own time
    for (std::size_t header : {1024u, 2048u, 303104u, 313856u, 314880u}) {
        EXPECT_EQ(first.substr(header + 136, 12), std::string("11145401322\0", 12)) << header;
    }
}

TEST(PackerRun, FailedWriteRemovesThePartialPackage) {
    TempFolder folder;
    writeFile(folder / "config.txt", kDefaultConfig);
    writeFile(folder / "description.txt", filler(9000));
    RunResult run = runShell("cd " + quoted(folder.path()) + " && bash -c " +
                             quoted("trap '' XFSZ; ulimit -f 4; exec " + commandLine(TESSARYN_EXE, {"song.3g2", "-mode:16"})) +
                             " </dev/null 2>/dev/null");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("  error: song.kmf\n" + kCompleted), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("  error: song.kmf\n"), run.output.rfind("  error: song.kmf\n")) << "reported once";
    EXPECT_FALSE(fileExists(folder / "song.kmf"));
}

TEST(PackerRun, FailedWriteToADeviceLeavesTheDevice) {
    if (!fileExists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    TempFolder folder;
    RunResult run = pack(folder, {"song.3g2", "-o:/dev/full", "-mode:16"});
    EXPECT_NE(run.output.find("  error: /dev/full\n" + kCompleted), std::string::npos) << run.output;
    EXPECT_TRUE(fileExists("/dev/full"));
}

TEST(PackerRun, JacketOptionWithNothingBehindIt) {
    TempFolder folder;
    writeFile(folder / "jacket.jpg", filler(10));
    RunResult run = pack(folder, {"song.3g2", "-jct:", "-wall:jacket.jpg", "-mode:16"});
    EXPECT_NE(run.output.find("  error: song.3g2\n  error: \n  error: description.txt\n  input: jacket.jpg (10bytes)\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(readFile(folder / "song.kmf").find("wallpaper.jpg,1024    ,10,image/jpeg\r\n"), std::string::npos);
}

TEST(PackerRun, NoArgumentsShowsTheUsageAndWaitsForAKey) {
    TempFolder folder;
    for (const char* input : {"</dev/null", "<&-", "< <(printf x)"}) {
        RunResult run = runShell("bash -c " + quoted(commandLine(TESSARYN_EXE, {}) + " " + input) + " 2>/dev/null");
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.output, kBanner + "tessaryn InputFile.3g2\n\nplease hit any key !!") << input;
    }
}

TEST(PackerRun, KeyWaitFollowsTheCompletedLine) {
    TempFolder folder;
    for (const char* input : {"</dev/null", "<&-"}) {
        RunResult run = pack(folder, {"song.3g2", "-mode:20"}, "", input);
        EXPECT_EQ(run.exitCode, 0);
        std::string tail = kCompleted + "please hit any key !!";
        ASSERT_GE(run.output.size(), tail.size());
        EXPECT_EQ(run.output.substr(run.output.size() - tail.size()), tail) << input;
    }
    RunResult typed = runShell("cd " + quoted(folder.path()) + " && printf 'k' | " +
                               commandLine(TESSARYN_EXE, {"song.3g2", "-mode:20"}));
    EXPECT_EQ(typed.exitCode, 0);
}

// The settings file is read beside the program, so these runs use a copy of it.
class SettingsRun : public testing::Test {
protected:
    void SetUp() override {
        program_ = folder_ / "tessaryn";
        std::filesystem::copy_file(TESSARYN_EXE, program_);
        std::filesystem::permissions(program_, std::filesystem::perms::owner_all);
        writeFile(folder_ / "config.txt", kDefaultConfig);
    }
    RunResult packWithCopy(const std::vector<std::string>& arguments) {
        return runShell("cd " + quoted(folder_.path()) + " && " + commandLine(program_, arguments) + " </dev/null");
    }
    TempFolder folder_;
    std::string program_;
};

TEST_F(SettingsRun, NoticeAndMusicNameFromTheFile) {
    writeFile(folder_ / "tessaryn.ini", "MUSIC_FILENAME=track.3g2\r\n");
    writeFile(folder_ / "song.3g2", fakeTrack(50));
    RunResult run = packWithCopy({"song.3g2", "-mode:0"});
    EXPECT_EQ(run.output.substr(0, kBanner.size() + 31), kBanner + " notice: tessaryn.ini was read\n");
    std::string package = readFile(folder_ / "song.kmf");
    testpkg::Package read = readBack(folder_ / "song.kmf");
    ASSERT_NE(read.find("track.3g2"), nullptr);
    EXPECT_EQ(read.find("track.3g2")->headerOffset, 2048u);
    EXPECT_NE(package.find("track.3g2,1024    ,50,audio/3gpp2\r\n"), std::string::npos);
    EXPECT_NE(run.output.find("  input: song.3g2 (50bytes)\n"), std::string::npos);
}

TEST_F(SettingsRun, EmptyFileStillGivesTheNotice) {
    writeFile(folder_ / "tessaryn.ini", "");
    EXPECT_NE(packWithCopy({"song.3g2", "-mode:0"}).output.find(" notice: tessaryn.ini was read\n"), std::string::npos);
}

TEST_F(SettingsRun, ModeBit16KeepsTheFileUnread) {
    writeFile(folder_ / "tessaryn.ini", "MUSIC_FILENAME=track.3g2\n");
    RunResult run = packWithCopy({"song.3g2", "-mode:16"});
    EXPECT_EQ(run.output.find("notice"), std::string::npos);
    EXPECT_EQ(readFile(folder_ / "song.kmf").find("track.3g2"), std::string::npos);
}

TEST_F(SettingsRun, FileOverridesTheModeOption) {
    writeFile(folder_ / "tessaryn.ini", "CHECK_HITKEY=1\n");
    RunResult run = packWithCopy({"song.3g2", "-mode:0"});
    std::string tail = "please hit any key !!";
    EXPECT_EQ(run.output.substr(run.output.size() - tail.size()), tail);
}

TEST_F(SettingsRun, ProgramStartedWithoutFolderReadsTheCurrentFolder) {
    TempFolder elsewhere;
    writeFile(elsewhere / "tessaryn.ini", "");
    RunResult run = runShell("cd " + quoted(elsewhere.path()) + " && PATH=" + quoted(folder_.path()) +
                             ":\"$PATH\" tessaryn song.3g2 -mode:0 </dev/null");
    EXPECT_NE(run.output.find(" notice: tessaryn.ini was read\n"), std::string::npos) << run.output;
}

TEST(PackerExecutable, HoldsItsBannerWhole) {
    std::string executable = readFile(TESSARYN_EXE);
    EXPECT_NE(executable.find("Tessaryn (20051110)"), std::string::npos);
}

// In-process runs: the run globals show what the command line and the settings decided.
uint8_t* noMemory(std::size_t) { return nullptr; }

std::string runInProcess(std::vector<std::string> arguments) {
    resetPackerRun();
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    testing::internal::CaptureStdout();
    runPacker(static_cast<int>(argv.size()), argv.data(), noMemory);
    return std::regex_replace(testing::internal::GetCapturedStdout(), std::regex(R"(completed\. \(\d+\.\d{3}sec\))"),
                              "completed. (T)");
}

TEST(PackerInProcess, OutOfMemoryEndsTheRunWithoutAPackage) {
    TempFolder folder;
    writeFile(folder / "song.3g2", fakeTrack(100));
    std::string output = runInProcess({"tessaryn", folder / "song.3g2", "-mode:16"});
    EXPECT_EQ(output, kBanner + "  error: out of memory\n" + kCompleted);
    EXPECT_FALSE(fileExists(folder / "song.kmf"));
    resetPackerRun();
}

TEST(PackerInProcess, SettingsComeAfterTheOptionsAndSettleTheBitrate) {
    TempFolder folder;
    std::string program = folder / "tessaryn";
    struct Case {
        const char* ini;
        const char* mode;
        uint32_t modeFlags;
        uint32_t bitrate;
        const char* musicName;
    };
    const Case cases[] = {
        {"ADD_MFRA=1\nREFRAGMENT=0\n", "-mode:6", 7, 48000, "music.3g2"},
        {"CAMOUFLAGE_BITRATE=64000\n", "-mode:0", 0, 64000, "music.3g2"},
        {"CAMOUFLAGE_BITRATE=64000\n", "-mode:32", 32, 48000, "music.3g2"},
        {"CAMOUFLAGE_BITRATE=abc\n", "-mode:0", 0, 48000, "music.3g2"},
        {"ADD_MFRA=1\nCAMOUFLAGE_BITRATE=9\nMUSIC_FILENAME=a.3g2\n", "-mode:16", 16, 48000, "music.3g2"},
        {"MUSIC_FILENAME=a.3g2\n", "-mode:0", 0, 48000, "a.3g2"},
    };
    for (const Case& c : cases) {
        writeFile(folder / "tessaryn.ini", c.ini);
        runInProcess({program, folder / "song.3g2", c.mode});
        EXPECT_EQ(g_run.modeFlags, c.modeFlags) << c.ini << c.mode;
        EXPECT_EQ(g_run.camouflageBitrate, c.bitrate) << c.ini << c.mode;
        EXPECT_EQ(g_run.members[1].name, c.musicName) << c.ini << c.mode;
    }
    resetPackerRun();
}

TEST(PackerInProcess, SourcesAreResolvedBesideTheInput) {
    runInProcess({"tessaryn", "/m/song.3g2", "-mode:16", "-wall:w.jpg"});
    std::vector<std::string> sources;
    for (const MemberSlot& member : g_run.members) sources.push_back(member.sourcePath);
    EXPECT_EQ(sources, (std::vector<std::string>{"/m/config.txt", "/m/song.3g2", "/m/jacket.jpg",
                                                 "/m/description.txt", "w.jpg", ""}));
    resetPackerRun();
}

}  // namespace
