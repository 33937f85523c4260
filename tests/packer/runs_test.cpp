// The packer run as a user runs it, in temporary folders, its package read back by our reader and GNU
// tar; and runs inside this process, where the allocator can fail and runs follow each other.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

#include "packer/driver.h"
#include "tests/tools/testkit.h"

namespace {

using namespace testkit;

const std::string kBanner = "Tessaryn (20051110)\n3GPP2 music track to KDDI Music File packer\n\n";
const std::string kDone = "\n completed. (T)\n";
const std::string kDefaultConfig = "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n";
const std::string kKey = "please hit any key !!";
const char kEpoch[] = "1700000000";  // 2023-11-14 22:13:20 UTC

Ran pack(const std::string& folder, const std::vector<std::string>& arguments, Run::Input input = Run::Input::DevNull,
         const std::string& text = "", long fileSizeLimit = -1) {
    Run packer({"timeout", input == Run::Input::SilentPipe ? "10" : "60", TESSARYN_EXE}, folder);  // a hang fails, never stalls
    packer.argv.insert(packer.argv.end(), arguments.begin(), arguments.end());
    packer.input = input, packer.text = text, packer.fileSizeLimit = fileSizeLimit;
    packer.env = {{"SOURCE_DATE_EPOCH", kEpoch}, {"TZ", "UTC"}};
    return run(packer);
}

std::string filler(std::size_t size, char first = 'A') {
    std::string bytes;
    while (bytes.size() < size) bytes += static_cast<char>(first + bytes.size() % 23);
    return bytes;
}

// A music file the packer stores unchanged: its first box claims to run past the end.
std::string unsplittable(std::size_t size) { return ("\xff\xff\xff\xff" "fake" + filler(size)).substr(0, size); }

std::set<std::string> filesIn(const std::string& folder) {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files.insert(std::filesystem::relative(entry.path(), folder).string());
    return files;
}

// GNU tar lists every member with mode 0100666, owner root and its time (index.txt's fixed one) and extracts
// it without a complaint; the packer's own check finds the package sound.
std::vector<Member> readBack(const std::string& package, const std::string& scratch) {
    EXPECT_EQ(packerVerdict(TESSARYN_EXE, package), "0 ok");
    std::string problems;
    std::vector<Member> members = tarMembers(package, scratch, problems);
    EXPECT_EQ(problems, "");
    for (const Member& member : members)
        EXPECT_EQ(member.listing, "-rw-rw-rw- root/ " + std::to_string(member.data.size()) +
                                      (member.name == "index.txt" ? " 2005-03-29 16:19" : " 2023-11-14 22:13"));
    return members;
}

TEST(PackerRun, PackagesLaidOutBlockByBlock) {
    const std::string config60 = "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n002.000,005.000\r\n" + filler(13) + "\r\n";
    using Named = std::vector<std::pair<std::string, std::string>>;
    // files: a name ending in "/" is a folder, one ending in "|" a named pipe; report: between the banner and the completed line; members: name
    // and source ("": the default config.txt).
    const struct { const char* what; Named files; std::vector<std::string> arguments; std::string report; int exitCode;
                   std::string package, index; std::size_t size; Named members; } cases[] = {
        {"the five members", {{"song.3g2", unsplittable(300072)}, {"config.txt", config60}, {"jacket.jpg", filler(10000, 'J')},
                              {"description.txt", filler(200, 'D')}, {"wallpaper.jpg", filler(20000, 'W')}},
         {"song.3g2", "-mode:16"},
         " output: song.kmf\n  input: config.txt (60bytes)\n  input: song.3g2 (293KB)\n  error: Atom size over (.3g2 file)\n"
         "  input: jacket.jpg (10000bytes)\n  input: description.txt (200bytes)\n  input: wallpaper.jpg (20000bytes)\n",
         0, "song.kmf",
         "KDDIMU01\r\nconfig.txt,0       ,60,text/plain\r\nmusic.3g2,1024    ,300072,audio/3gpp2\r\n"
         "jacket.jpg,302080  ,10000,image/jpeg\r\n"
         "description.txt,312832  ,200,text/plain\r\nwallpaper.jpg,313856  ,20000,image/jpeg\r\n",
         336896, {{"config.txt", "config.txt"}, {"music.3g2", "song.3g2"}, {"jacket.jpg", "jacket.jpg"},
                  {"description.txt", "description.txt"}, {"wallpaper.jpg", "wallpaper.jpg"}}},
        {"side files missing from the music's folder", {{"m/song.3g2", unsplittable(100)}, {"m/jacket.jpg/", ""}},
         {"m/song.3g2", "-mode:16"},
         " output: m/song.kmf\ncreated: m/config.txt\n  input: m/song.3g2 (100bytes)\n  error: Atom size over (.3g2 file)\n"
         "  error: m/jacket.jpg\n  error: m/description.txt\n  error: m/wallpaper.jpg\n",
         0, "m/song.kmf", "KDDIMU01\r\nconfig.txt,0       ,28,text/plain\r\nmusic.3g2,1024    ,100,audio/3gpp2\r\n", 4096,
         {{"config.txt", ""}, {"music.3g2", "m/song.3g2"}}},
        {"an empty member has a header but no line",
         {{"config.txt", kDefaultConfig}, {"description.txt", ""}, {"wallpaper.jpg", filler(512, 'W')}}, {"song.3g2", "-mode:16"},
         " output: song.kmf\n  input: config.txt (28bytes)\n  error: song.3g2\n  error: jacket.jpg\n  input: description.txt (0bytes)\n"
         "  input: wallpaper.jpg (512bytes)\n",
         1, "song.kmf", "KDDIMU01\r\nconfig.txt,0       ,28,text/plain\r\nwallpaper.jpg,1536    ,512,image/jpeg\r\n", 4608,
         {{"config.txt", "config.txt"}, {"description.txt", "description.txt"}, {"wallpaper.jpg", "wallpaper.jpg"}}},
        {"images named by options, a clip name not in CP932", {{"jacket.jpg", filler(10)}, {"img/cover.jpg", filler(777, 'C')}},
         {"song.3g2", "-jct:img/cover.jpg", "-wall:jacket.jpg", "-chku2:\xF0\x9F\x98\x80", "-mode:16"},
         " notice: clip 2 name can't be converted to CP932; kept as given\n output: song.kmf\ncreated: config.txt\n  error: song.3g2\n  input: img/cover.jpg (777bytes)\n  error: description.txt\n"
         "  input: jacket.jpg (10bytes)\n",
         1, "song.kmf",
         "KDDIMU01\r\nconfig.txt,0       ,28,text/plain\r\njacket.jpg,1024    ,777,image/jpeg\r\nwallpaper.jpg,2560    ,10,image/jpeg\r\n",
         5632, {{"config.txt", ""}, {"jacket.jpg", "img/cover.jpg"}, {"wallpaper.jpg", "jacket.jpg"}}},
        {"a jacket that is the package, an empty wallpaper path", {{"config.txt", kDefaultConfig}},
         {"song.3g2", "-o:out.kmf", "-jct:out.kmf", "-wall:", "-mode:16"},
         " output: out.kmf\n  input: config.txt (28bytes)\n  error: song.3g2\n  error: out.kmf\n  error: description.txt\n  error: \n",
         1, "out.kmf", "KDDIMU01\r\nconfig.txt,0       ,28,text/plain\r\n", 3072, {{"config.txt", "config.txt"}}},
        {"named pipes as jacket, description.txt and wallpaper",
         {{"song.3g2", unsplittable(100)}, {"jacket.jpg|", ""}, {"description.txt|", ""}, {"pipe|", ""}},
         {"song.3g2", "-wall:pipe", "-mode:16"},
         " output: song.kmf\ncreated: config.txt\n  input: song.3g2 (100bytes)\n  error: Atom size over (.3g2 file)\n"
         "  error: jacket.jpg\n  error: description.txt\n  error: pipe\n",
         0, "song.kmf", "KDDIMU01\r\nconfig.txt,0       ,28,text/plain\r\nmusic.3g2,1024    ,100,audio/3gpp2\r\n", 4096,
         {{"config.txt", ""}, {"music.3g2", "song.3g2"}}},
        {"the size limit of 6,287,360 bytes",
         {{"song.3g2", unsplittable(6287361)}, {"jacket.jpg", filler(20479, 'J')}, {"description.txt", filler(20480, 'D')},
          {"wallpaper.jpg", filler(6287360, 'W')}},
         {"song.3g2", "-mode:16"},
         " output: song.kmf\ncreated: config.txt\n  error: song.3g2 Size over (6140KB)\n  input: jacket.jpg (20479bytes)\n"
         "  input: description.txt (20KB)\n  input: wallpaper.jpg (6140KB)\n",
         1, "song.kmf",
         "KDDIMU01\r\nconfig.txt,0       ,28,text/plain\r\njacket.jpg,1024    ,20479,image/jpeg\r\n"
         "description.txt,22016   ,20480,text/plain\r\nwallpaper.jpg,43008   ,6287360,image/jpeg\r\n",
         6332928,
         {{"config.txt", ""}, {"jacket.jpg", "jacket.jpg"}, {"description.txt", "description.txt"}, {"wallpaper.jpg", "wallpaper.jpg"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        std::set<std::string> expectedFiles = {c.package};
        for (const auto& file : c.files) {
            if (file.first.back() == '/') std::filesystem::create_directories(folder / file.first);
            else if (file.first.back() == '|') ASSERT_EQ(::mkfifo((folder / file.first.substr(0, file.first.size() - 1)).c_str(), 0600), 0);
            else writeFile(folder / file.first, file.second), expectedFiles.insert(file.first);
        }
        Ran ran = pack(folder.path(), c.arguments);
        EXPECT_EQ(ran.out, kBanner + c.report + kDone);
        EXPECT_EQ(ran.exitCode, c.exitCode);
        EXPECT_EQ(filesIn(folder.path()), expectedFiles) << "the default config.txt goes only into the package";
        const Bytes package = readFile(folder / c.package);
        EXPECT_EQ(package.size(), c.size);
        EXPECT_EQ(std::string(package.begin() + 512, package.begin() + 512 + static_cast<std::ptrdiff_t>(c.index.size())), c.index);
        if (c.size == 336896) {  // index.txt's header of the worked layout
            EXPECT_EQ(std::string(package.begin() + 148, package.begin() + 156), std::string("010416\0\0", 8));
        }
        std::vector<Member> members = readBack(folder / c.package, folder / "tar");
        ASSERT_EQ(members.size(), c.members.size() + 1);
        for (std::size_t i = 0; i < c.members.size(); ++i) {
            EXPECT_EQ(members[i + 1].name, c.members[i].first);
            const std::string& source = c.members[i].second;
            EXPECT_TRUE(members[i + 1].data == (source.empty() ? bytesOf(kDefaultConfig) : readFile(folder / source)))
                << c.members[i].first;
        }
    }
}

TEST(PackerRun, FragmentsThatCantBeRecutAreNamedInARowPerReason) {
    TrackLayout layout = layoutOf(0, {{30}, {30}, {30}, {30}});
    layout.style.behindRuns = {0, 0, 0, 8, 's', 'e', 'n', 'c'};
    Bytes track = buildTrack(fakeFrames(22050, 120), layout);
    track[boxes(track, "moof/traf/senc").at(1).at + 4] = 'f';  // the second fragment's samples are in the clear
    TempFolder folder;
    writeFile(folder / "song.3g2", track);
    const Ran ran = pack(folder.path(), {"song.3g2", "-mode:24"});
    EXPECT_NE(ran.out.find("\n notice: fragment 1 kept as it came (encrypted samples)\n"
                           " notice: fragments 3 to 4 kept as they came (encrypted samples)\n"), std::string::npos) << ran.out;
}

TEST(PackerRun, APackagePathNamingAnInputIsRefusedBeforeAnythingIsEmptied) {
    TempFolder folder;
    writeFile(folder / "song.3g2", unsplittable(700));
    writeFile(folder / "config.txt", kDefaultConfig);
    ASSERT_EQ(::link((folder / "config.txt").c_str(), (folder / "alias.kmf").c_str()), 0);
    for (const char* output : {"song.3g2", "./song.3g2", "alias.kmf"}) {
        Ran ran = pack(folder.path(), {"song.3g2", std::string("-o:") + output, "-mode:16"});
        EXPECT_EQ(ran.out, kBanner + " output: " + output + "\n  error: file open error (" + output + ")\n" + kDone);
        EXPECT_EQ(ran.exitCode, 1) << output;
    }
    EXPECT_EQ(readFile(folder / "song.3g2"), bytesOf(unsplittable(700)));
    EXPECT_EQ(readFile(folder / "config.txt"), bytesOf(kDefaultConfig));
    EXPECT_EQ(filesIn(folder.path()), (std::set<std::string>{"song.3g2", "config.txt", "alias.kmf"}));
}

TEST(PackerRun, AFailedWriteIsReportedAndRemovesThePackageButNeverADevice) {
    TempFolder folder;
    writeFile(folder / "config.txt", kDefaultConfig);
    writeFile(folder / "description.txt", filler(9000));
    Ran limited = pack(folder.path(), {"song.3g2", "-mode:16"}, Run::Input::DevNull, "", 4096);
    EXPECT_EQ(limited.out.substr(limited.out.find("  error: song.kmf")), "  error: song.kmf\n" + kDone);
    EXPECT_EQ(limited.exitCode, 1);
    EXPECT_FALSE(exists(folder / "song.kmf"));

    Ran full = pack(folder.path(), {"song.3g2", "-o:/dev/full", "-mode:16"});
    EXPECT_EQ(full.out.substr(full.out.find("  error: /dev/full")), "  error: /dev/full\n" + kDone);
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_TRUE(exists("/dev/full"));
}

TEST(PackerRun, UsageHelpVersionAndTheKeyWaitNeverHang) {
    using Input = Run::Input;
    const std::string usage = kBanner + "tessaryn InputFile.3g2\n\nplease hit any key !!";
    const std::string packed = kBanner + " output: song.kmf\ncreated: config.txt\n  input: song.3g2 (50bytes)\n"
                               "  error: Atom size over (.3g2 file)\n  error: jacket.jpg\n  error: description.txt\n"
                               "  error: wallpaper.jpg\n" + kDone + kKey;
    const struct { std::vector<std::string> arguments; Input input; std::string text, out; int exitCode; } cases[] = {  // out "": help
        {{}, Input::DevNull, "", usage, 2},           {{}, Input::Closed, "", usage, 2},
        {{}, Input::Text, "x", usage, 2},             {{"song.3g2", "-mode:20"}, Input::DevNull, "", packed, 0},
        {{"song.3g2", "-mode:20"}, Input::Closed, "", packed, 0}, {{"song.3g2", "-mode:20"}, Input::Text, "k", packed, 0},
        {{"--version"}, Input::SilentPipe, "", "Tessaryn (20051110)\n", 0},
        {{"-h"}, Input::SilentPipe, "", "", 0},       {{"--help"}, Input::SilentPipe, "", "", 0},
        {{"song.3g2", "-mode:20", "--help"}, Input::SilentPipe, "", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments) + " with input " + std::to_string(static_cast<int>(c.input)));
        TempFolder folder;
        writeFile(folder / "song.3g2", unsplittable(50));
        Ran ran = pack(folder.path(), c.arguments, c.input, c.text);
        EXPECT_EQ(ran.exitCode, c.exitCode);
        if (exists(folder / "song.kmf")) {
            EXPECT_EQ(packerVerdict(TESSARYN_EXE, folder / "song.kmf"), "0 ok");
        }
        if (!c.out.empty()) {
            EXPECT_EQ(ran.out, c.out);
            continue;
        }
        EXPECT_EQ(ran.out.substr(0, kBanner.size()), kBanner);
        for (const char* shown : {"-o:", "-mode:", "-jct:", "-wall:", "-chku1:", "-chkufr", "--inspect", "ADD_MFRA", "ADD_IOED", "CHECK_HITKEY",
                                  "REFRAGMENT", "NO_SETTINGS_FILE", "FIXED_CAMOUFLAGE"})
            EXPECT_NE(ran.out.find(shown), std::string::npos) << shown;
        EXPECT_EQ(filesIn(folder.path()), std::set<std::string>{"song.3g2"});
    }
    const Bytes executable = readFile(TESSARYN_EXE);  // the frontend reads the version from here
    EXPECT_NE(std::string(executable.begin(), executable.end()).find("Tessaryn (20051110)"), std::string::npos);
}

TEST(PackerRun, TessarynIniBesideTheProgramComesAfterTheOptions) {
    // besideProgram: else in the current folder, with the program found on PATH.
    const struct { std::string ini; bool besideProgram; const char* mode; bool notice; const char* musicName; uint32_t maxBitrate;
                   bool waitsForKey; } cases[] = {
        {"MUSIC_FILENAME=track.3g2\r\nCAMOUFLAGE_BITRATE=64000\r\n", true, "-mode:0", true, "track.3g2", 64000, false},
        {"CAMOUFLAGE_BITRATE=64000\n", true, "-mode:32", true, "music.3g2", 48000, false},
        {"CAMOUFLAGE_BITRATE=abc\n", true, "-mode:0", true, "music.3g2", 48000, false},
        {"MUSIC_FILENAME=a.3g2\nCAMOUFLAGE_BITRATE=9\n", true, "-mode:16", false, "music.3g2", 48000, false},
        {"CHECK_HITKEY=1\n", true, "-mode:0", true, "music.3g2", 48000, true},
        {"", false, "-mode:0", true, "music.3g2", 48000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.ini) + " " + c.mode);
        TempFolder folder;
        std::filesystem::create_directories(folder / "bin");
        std::filesystem::copy_file(TESSARYN_EXE, folder / "bin/tessaryn");
        std::filesystem::permissions(folder / "bin/tessaryn", std::filesystem::perms::owner_all);
        writeFile(folder / (c.besideProgram ? "bin/tessaryn.ini" : "tessaryn.ini"), c.ini);
        writeFile(folder / "song.3g2", buildTrack(fakeFrames(22050, 30), layoutOf(30)));
        testkit::Run packer({c.besideProgram ? folder / "bin/tessaryn" : "tessaryn", "song.3g2", c.mode}, folder.path());
        packer.env = {{"PATH", folder / "bin:" + std::string(std::getenv("PATH"))}};
        Ran ran = run(packer);
        EXPECT_EQ(ran.out.substr(0, ran.out.find(" output:")), kBanner + (c.notice ? " notice: tessaryn.ini was read\n" : ""));
        EXPECT_EQ(ran.out.size() >= kKey.size() && ran.out.substr(ran.out.size() - kKey.size()) == kKey, c.waitsForKey);
        std::string problems;
        std::vector<Member> members = tarMembers(folder / "song.kmf", folder / "tar", problems);
        EXPECT_EQ(packerVerdict(TESSARYN_EXE, folder / "song.kmf"), "0 ok");
        ASSERT_GE(members.size(), 3u);
        EXPECT_EQ(members[2].name, c.musicName);
        const Box esds = findBox(members[2].data, "moov/trak/mdia/minf/stbl/stsd/mp4a/esds");
        EXPECT_EQ(esds.found() ? u32(members[2].data, esds.at + 30) : 0, c.maxBitrate);
    }
}

uint8_t* noMemory(std::size_t) { return nullptr; }

int packInProcess(std::vector<std::string> arguments, std::string* report, uint8_t* (*allocate)(std::size_t) = AllocateWorkBufferWithNew) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    testing::internal::CaptureStdout();
    const int status = RunPacker(static_cast<int>(argv.size()), argv.data(), allocate);
    *report = maskElapsed(testing::internal::GetCapturedStdout());
    return status;
}

TEST(PackerRun, InThisProcessMemoryRunsShortAndRunsRepeat) {
    TempFolder folder;
    writeFile(folder / "song.3g2", buildTrack(fakeFrames(22050, 100), layoutOf(100)));
    writeFile(folder / "config.txt", kDefaultConfig + "001.500,006.500\r\n");
    std::string report;
    EXPECT_EQ(packInProcess({"tessaryn", folder / "song.3g2", "-mode:18"}, &report, noMemory), 1);
    EXPECT_EQ(report, kBanner + "  error: out of memory\n" + kDone);
    EXPECT_FALSE(exists(folder / "song.kmf"));

    // Nothing of one run may carry over into the next: the same inputs give the same package.
    setenv("SOURCE_DATE_EPOCH", kEpoch, 1);
    for (const char* name : {"first.kmf", "second.kmf"})
        EXPECT_EQ(packInProcess({"tessaryn", folder / "song.3g2", "-o:" + (folder / name), "-mode:18", "-chku1:Intro"}, &report), 0);
    unsetenv("SOURCE_DATE_EPOCH");
    const Bytes first = readFile(folder / "first.kmf");
    EXPECT_TRUE(first == readFile(folder / "second.kmf")) << "the second run wrote another package";
    EXPECT_EQ(packerVerdict(TESSARYN_EXE, folder / "first.kmf"), "0 ok");
}

TEST(PackerRun, TheExampleFolderPacksToTheGoldenPackage) {
    const std::string examples = TESSARYN_SOURCE_DIR "/examples/", golden = TESSARYN_SOURCE_DIR "/tests/fixtures/example.kmf";
    TempFolder folder;
    Ran ran = pack(folder.path(), {examples + "song.3g2", "-o:" + (folder / "example.kmf"), "-mode:27", "-chku1:Intro"});
    EXPECT_EQ(ran.exitCode, 0);
    std::string report = ran.out;
    for (const std::string& path : {examples, folder.path() + "/"}) {
        for (std::size_t at; (at = report.find(path)) != std::string::npos;)
            report.replace(at, path.size(), path == examples ? "EXAMPLES/" : "OUT/");
    }
    EXPECT_EQ(report, kBanner + " output: OUT/example.kmf\n  input: EXAMPLES/config.txt (45bytes)\n  input: EXAMPLES/song.3g2 (41KB)\n"
                                "max.128000bps typ.32000bps\n22050Hz (1024samples)\n  input: EXAMPLES/jacket.jpg (3943bytes)\n"
                                "  input: EXAMPLES/description.txt (157bytes)\n  input: EXAMPLES/wallpaper.jpg (7842bytes)\n" + kDone);
    const Bytes made = readFile(folder / "example.kmf");
    readBack(folder / "example.kmf", folder / "tar");
    if (std::getenv("TESSARYN_UPDATE_GOLDEN")) {
        writeFile(golden, made);
        GTEST_SKIP() << "rewrote " << golden;
    }
    EXPECT_TRUE(made == readFile(golden)) << "the package differs from " << golden << ". If the change is meant, rewrite "
                                             "it with\n  TESSARYN_UPDATE_GOLDEN=1 ctest --test-dir <build> -R GoldenPackage\n"
                                             "and commit tests/fixtures/example.kmf with the change.";
}

TEST(PackerRun, InspectShowsClipNamesInUtf8) {
    Bytes package = readFile(TESSARYN_SOURCE_DIR "/tests/fixtures/example.kmf");
    // イントロ in code page 932, a backslash and a double quote, 85 40 (no character), ｱ, FF.
    const std::string name = "\x83\x43\x83\x93\x83\x67\x83\x8D\\\"\x85\x40\xB1\xFF";
    std::copy(name.begin(), name.end(), package.begin() + 2560 + 113);  // clip slot 1's name
    TempFolder folder;
    writeFile(folder / "clip.kmf", package);
    const Ran ran = pack(folder.path(), {"--inspect", "clip.kmf"});
    EXPECT_NE(ran.out.find("\nioed slot 1: \"イントロ\\x5C\\x22\\x85@ｱ\\xFF\", moov at 266, chunk 3"), std::string::npos) << ran.out;
}

// The tar checksum of the header at `at`, written as the packer writes it.
void resum(Bytes& package, std::size_t at) {
    unsigned sum = 8 * ' ';
    for (std::size_t i = 0; i < 512; ++i) sum += i >= 148 && i < 156 ? 0 : package[at + i];
    char digits[8];
    std::snprintf(digits, sizeof digits, "%06o", sum);
    std::copy(digits, digits + 6, package.begin() + static_cast<std::ptrdiff_t>(at + 148));
}

TEST(PackerRun, InspectNamesTheFirstProblemOfADamagedPackage) {
    const Bytes golden = readFile(TESSARYN_SOURCE_DIR "/tests/fixtures/example.kmf");
    // The music member's data at 2560: its ioed box at 72 (clip slot 1 at 113), its tfra at 42539 (entries at 42563).
    const std::size_t slot = 2560 + 113, entries = 2560 + 42563;
    const struct { const char* what; std::function<void(Bytes&)> damage; std::string verdict; } cases[] = {
        {"as made", [](Bytes&) {}, "0 ok"},
        {"cut short", [](Bytes& b) { b.resize(30000); },
         "1 problem: member music.3g2: its 42634 bytes of data at 2560 run past the end of the package (30000 bytes)"},
        {"without its end blocks", [](Bytes& b) { b.resize(b.size() - 1024); },
         "1 problem: the package ends at 59904 without the two zero blocks that close it"},
        {"a header's time changed, not its checksum", [](Bytes& b) { b[1024 + 146] += 1; },
         "1 problem: member config.txt: header checksum 010606 but the bytes sum to 010607"},
        {"a header's mode changed, its checksum too", [](Bytes& b) { b[1024 + 106] = '4', b[1024 + 105] = '4', resum(b, 1024); },
         "1 problem: member config.txt: header field mode reads \"0100644\" where the packer writes \"0100666\""},
        {"index.txt lying about a size", [](Bytes& b) { b[512 + 31] = '6'; },
         "1 problem: index.txt line 2 gives config.txt 46 bytes, its header 45"},
        {"a clip slot naming a chunk the moov lacks", [&](Bytes& b) { b[slot + 37] = 6; },
         "1 problem: ioed slot 1 names chunk 6 of the moov at 266, which has 5 chunks"},
        {"a clip slot naming a sample its chunk lacks", [&](Bytes& b) { b[slot + 38] = 22; },
         "1 problem: ioed slot 1 names sample 22 of chunk 3 of the moov at 266, which holds 21 samples"},
        {"a clip slot naming a box past the track", [&](Bytes& b) { putU32(b, slot + 32, 42634); },
         "1 problem: ioed slot 1 names a box at 42634, past the end of the track (42634 bytes)"},
        {"an index entry naming a run its fragment lacks", [&](Bytes& b) { b[entries + 11 + 9] = 4; },
         "1 problem: tfra entry 2 names trun 4 of traf 1 of the moof at 21716, which has 3 runs"},
        {"an index entry naming no moof", [&](Bytes& b) { putU32(b, entries + 4, 266); },
         "1 problem: tfra entry 1 names the moov at 266, not a moof"},
        {"a chunk offset naming the moof", [&](Bytes& b) { putU32(b, 2560 + 1314, 21800); },  // the stco's third entry
         "1 problem: track: chunk 3 of track 1 in the moov at 266 starts at 21800, outside the media data"},
        {"a run offset naming the moof", [&](Bytes& b) { putU32(b, 2560 + 21892, 21800); },  // the second trun's data offset
         "1 problem: track: trun 2 of traf 1 of the moof at 21716 starts at 21800, outside the media data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        Bytes damaged = golden;
        c.damage(damaged);
        writeFile(folder / "damaged.kmf", damaged);
        EXPECT_EQ(packerVerdict(TESSARYN_EXE, folder / "damaged.kmf"), c.verdict);
        EXPECT_EQ(filesIn(folder.path()), std::set<std::string>{"damaged.kmf"});
        EXPECT_TRUE(readFile(folder / "damaged.kmf") == damaged) << "the check wrote into the package";
    }
    EXPECT_EQ(packerVerdict(TESSARYN_EXE, "/nonexistent/song.kmf"), "1 problem: can't open \"/nonexistent/song.kmf\" as a file");
    EXPECT_EQ(packerVerdict(TESSARYN_EXE, ""), "1 problem: no package given: tessaryn --inspect PACKAGE.kmf");
}

}  // namespace
