// Packages end to end: the real packer run in a temporary folder with several
// member combinations; every package is listed and extracted by GNU tar and
// read by our own package reader, and each member compared with its source.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/e2e/e2e_support.h"
#include "tests/tools/media_tools.h"
#include "tests/tools/package_reader.h"
#include "tests/tools/test_files.h"
#include "tests/tools/track_builder.h"
#include "tests/tools/track_checks.h"
#include "tests/tools/track_reader.h"

namespace {

using testtrack::TrackLayout;

const char kDefaultConfig[] = "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n";
const char kConfig[] = "KDDIMU01\r\nhttp://example.invalid/song\r\nwallpaper.jpg,\r\n002.000,005.000\r\n";
const char kDescription[] =
    "title,Tone Study\r\nartist,Tessaryn\r\nalbum_title,Examples\r\ntrack_number,0101\r\ntime,0004\r\n"
    "author,Tessaryn team\r\npublisher,Tessaryn\r\ncopyright,Tessaryn team\r\n";

// Bytes that stand in for an image; the packer copies them without looking.
std::vector<uint8_t> imageBytes(std::size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
    if (size >= 4) {
        bytes[0] = 0xFF, bytes[1] = 0xD8, bytes[size - 2] = 0xFF, bytes[size - 1] = 0xD9;
    }
    return bytes;
}

TrackLayout songLayout() {
    TrackLayout layout;
    layout.moovSamples = 40;
    layout.fragments = {{20, 10}, {15}};
    return layout;
}

struct SideFiles {
    bool config = true;
    bool jacket = true;
    bool description = true;
    bool wallpaper = true;
    bool emptyDescription = false;
    bool music = true;
};

struct Expected {
    std::vector<std::string> names;                        // members after index.txt, in order
    std::vector<std::pair<std::string, std::vector<uint8_t>>> sources;  // member name → bytes it must hold (music apart)
};

class PackageRun : public testing::Test {
protected:
    void SetUp() override {
        std::string missing = testenv::missingPeers();
        if (!missing.empty()) GTEST_SKIP() << missing;
        stream_ = testtrack::encodeTone(22050, 4, TESSARYN_MEDIA_CACHE);
        song_ = testtrack::buildTrack(stream_, songLayout());
    }

    void writeSideFiles(const SideFiles& files) {
        if (files.music) testenv::writeFile(folder_.file("song.3g2"), song_);
        if (files.config) testenv::writeFile(folder_.file("config.txt"), std::string(kConfig));
        if (files.jacket) testenv::writeFile(folder_.file("jacket.jpg"), jacket_);
        if (files.description) testenv::writeFile(folder_.file("description.txt"), files.emptyDescription ? std::string() : kDescription);
        if (files.wallpaper) testenv::writeFile(folder_.file("wallpaper.jpg"), wallpaper_);
    }

    testenv::ProcessResult pack(const std::vector<std::string>& options, const std::string& package = "song.kmf") {
        std::vector<std::string> arguments = {folder_.file("song.3g2"), "-o:" + folder_.file(package),
                                              e2e::modeOption(ModeFlag::ADD_IOED | ModeFlag::REFRAGMENT | ModeFlag::ADD_MFRA)};
        arguments.insert(arguments.end(), options.begin(), options.end());
        testenv::ProcessResult run = e2e::runPacker(arguments, folder_.path());
        EXPECT_EQ(run.exitCode, 0);
        return run;
    }

    // Judges one package with tar and our reader; returns what our reader found.
    testpkg::Package judge(const std::string& package, const Expected& expected) {
        std::vector<uint8_t> bytes = testenv::readFile(folder_.file(package));
        testpkg::Package read = testpkg::readPackage(bytes);
        EXPECT_TRUE(read.ok()) << read.report();
        EXPECT_EQ(read.memberNames(), expected.names);
        for (std::size_t i = 1; i < read.members.size(); ++i) {
            EXPECT_EQ(read.members[i].modificationTime, e2e::kSourceDateEpoch) << read.members[i].name << " header time";
        }
        expectTarListing(package, expected.names);
        expectTarExtraction(package, expected, read);
        return read;
    }

    void expectTarListing(const std::string& package, const std::vector<std::string>& names) {
        testenv::TarListing listing = testenv::listWithTar(folder_.file(package));
        ASSERT_TRUE(listing.ok) << listing.error;
        std::vector<std::string> all = {"index.txt"};
        all.insert(all.end(), names.begin(), names.end());
        ASSERT_EQ(listing.lines.size(), all.size());
        for (std::size_t i = 0; i < all.size(); ++i) {
            std::istringstream fields(listing.lines[i]);
            std::string mode, owner, size, date, time, name;
            fields >> mode >> owner >> size >> date >> time >> name;
            EXPECT_EQ(mode, "-rw-rw-rw-") << listing.lines[i];
            EXPECT_EQ(owner.substr(0, 5), "root/") << listing.lines[i];
            EXPECT_EQ(name, all[i]) << listing.lines[i];
            // index.txt keeps its fixed time; the others take SOURCE_DATE_EPOCH (1700000000).
            std::string expectedTime = i == 0 ? "2005-03-29 16:19" : "2023-11-14 22:13";
            EXPECT_EQ(date + " " + time, expectedTime) << listing.lines[i];
        }
    }

    void expectTarExtraction(const std::string& package, const Expected& expected, const testpkg::Package& read) {
        std::string into = folder_.file("x-" + package);
        testenv::makeFolders(into);
        EXPECT_EQ(testenv::extractWithTar(folder_.file(package), into), "");
        for (const auto& source : expected.sources) {
            std::string path = into + "/" + source.first;
            ASSERT_TRUE(testenv::fileExists(path)) << source.first << " not extracted";
            EXPECT_EQ(testenv::firstDifference(source.second, testenv::readFile(path)), "") << source.first;
        }
        const testpkg::Member* music = read.find("music.3g2");
        if (music == nullptr) return;
        std::vector<uint8_t> extracted = testenv::readFile(into + "/music.3g2");
        EXPECT_EQ(testenv::firstDifference(music->data, extracted), "") << "tar and our reader disagree on music.3g2";
        expectConditionedSong(extracted);
    }

    // The music member is the song conditioned: prefix, same samples, a true index.
    void expectConditionedSong(const std::vector<uint8_t>& music) {
        testtrack::Track track = testtrack::readTrack(music);
        EXPECT_TRUE(track.problems.empty()) << track.report();
        for (const std::string& problem : testtrack::checkPrefix(track)) ADD_FAILURE() << problem;
        for (const std::string& problem : testtrack::checkSampleBytes(track, testtrack::framesUsed(stream_, songLayout()))) {
            ADD_FAILURE() << problem;
        }
        for (const std::string& problem : testtrack::checkFragmentIndex(track, 1024)) ADD_FAILURE() << problem;
    }

    testenv::TempFolder folder_;
    testtrack::AacStream stream_;
    std::vector<uint8_t> song_;
    std::vector<uint8_t> jacket_ = imageBytes(1024, 3);  // a whole number of blocks
    std::vector<uint8_t> wallpaper_ = imageBytes(3001, 9);
};

TEST_F(PackageRun, AllFiveMembers) {
    writeSideFiles({});
    testenv::ProcessResult run = pack({});
    EXPECT_TRUE(e2e::printedLine(run, " output: " + folder_.file("song.kmf"))) << run.out;
    judge("song.kmf", {{"config.txt", "music.3g2", "jacket.jpg", "description.txt", "wallpaper.jpg"},
                       {{"config.txt", testenv::bytesOf(kConfig)},
                        {"jacket.jpg", jacket_},
                        {"description.txt", testenv::bytesOf(kDescription)},
                        {"wallpaper.jpg", wallpaper_}}});
}

TEST_F(PackageRun, OnlyMusicGetsTheDefaultConfig) {
    writeSideFiles({false, false, false, false});
    testenv::ProcessResult run = pack({});
    EXPECT_TRUE(e2e::printedLine(run, "created: " + folder_.file("config.txt"))) << run.out;
    EXPECT_TRUE(e2e::printedLine(run, "  error: " + folder_.file("jacket.jpg"))) << run.out;
    EXPECT_FALSE(testenv::fileExists(folder_.file("config.txt"))) << "the default config.txt is written only into the package";
    testpkg::Package read = judge("song.kmf", {{"config.txt", "music.3g2"}, {{"config.txt", testenv::bytesOf(kDefaultConfig)}}});
    ASSERT_EQ(read.index.size(), 2u);
    EXPECT_EQ(testpkg::indexLineText(read.index[0]), "config.txt,0       ,28,text/plain\r\n");
    EXPECT_EQ(read.index[1].mimeType, "audio/3gpp2");
}

TEST_F(PackageRun, MissingConfigWithOtherMembers) {
    writeSideFiles({false, true, true, true});
    pack({});
    judge("song.kmf", {{"config.txt", "music.3g2", "jacket.jpg", "description.txt", "wallpaper.jpg"},
                       {{"config.txt", testenv::bytesOf(kDefaultConfig)}, {"jacket.jpg", jacket_}, {"wallpaper.jpg", wallpaper_}}});
}

TEST_F(PackageRun, EmptyDescriptionHasAHeaderButNoIndexLine) {
    SideFiles files;
    files.emptyDescription = true;
    writeSideFiles(files);
    pack({});
    testpkg::Package read = judge("song.kmf", {{"config.txt", "music.3g2", "jacket.jpg", "description.txt", "wallpaper.jpg"},
                                               {{"description.txt", {}}}});
    ASSERT_NE(read.find("description.txt"), nullptr);
    EXPECT_EQ(read.find("description.txt")->size, 0u);
    for (const testpkg::IndexLine& line : read.index) EXPECT_NE(line.name, "description.txt");
}

TEST_F(PackageRun, JacketAndWallpaperFromOptions) {
    writeSideFiles({true, true, true, false});
    std::vector<uint8_t> otherJacket = imageBytes(777, 21);
    std::vector<uint8_t> otherWallpaper = imageBytes(5000, 42);
    testenv::writeFile(folder_.file("images/cover.jpg"), otherJacket);
    testenv::writeFile(folder_.file("images/back.jpg"), otherWallpaper);
    pack({"-jct:" + folder_.file("images/cover.jpg"), "-wall:" + folder_.file("images/back.jpg")});
    judge("song.kmf", {{"config.txt", "music.3g2", "jacket.jpg", "description.txt", "wallpaper.jpg"},
                       {{"jacket.jpg", otherJacket}, {"wallpaper.jpg", otherWallpaper}}});
}

TEST_F(PackageRun, WallpaperOptionNamingNoFileLeavesItOut) {
    writeSideFiles({});
    testenv::ProcessResult run = pack({"-wall:" + folder_.file("missing.jpg")});
    EXPECT_TRUE(e2e::printedLine(run, "  error: " + folder_.file("missing.jpg"))) << run.out;
    judge("song.kmf", {{"config.txt", "music.3g2", "jacket.jpg", "description.txt"}, {{"jacket.jpg", jacket_}}});
}

TEST_F(PackageRun, NoMusicLeavesOnlyTheDefaultConfig) {
    writeSideFiles({false, false, false, false, false, false});
    testenv::ProcessResult run = pack({});
    EXPECT_TRUE(e2e::printedLine(run, "  error: " + folder_.file("song.3g2"))) << run.out;
    testpkg::Package read = judge("song.kmf", {{"config.txt"}, {{"config.txt", testenv::bytesOf(kDefaultConfig)}}});
    EXPECT_EQ(testenv::readFile(folder_.file("song.kmf")).size(), 3072u);
}

TEST_F(PackageRun, DefaultOutputNameReplacesTheExtension) {
    writeSideFiles({});
    std::vector<std::string> arguments = {folder_.file("song.3g2"), e2e::modeOption(ModeFlag::ADD_IOED)};
    EXPECT_EQ(e2e::runPacker(arguments, folder_.path()).exitCode, 0);
    EXPECT_TRUE(testenv::fileExists(folder_.file("song.kmf")));
}

TEST_F(PackageRun, TrackThatCantBeTakenApartIsStoredUnchanged) {
    std::vector<uint8_t> broken = song_;
    const uint8_t zeroSizedBox[] = {0, 0, 0, 0, 'f', 'r', 'e', 'e', 9, 9, 9, 9};
    broken.insert(broken.end(), zeroSizedBox, zeroSizedBox + sizeof zeroSizedBox);
    writeSideFiles({});
    testenv::writeFile(folder_.file("song.3g2"), broken);
    testenv::ProcessResult run = pack({});
    EXPECT_TRUE(e2e::printedLine(run, "  error: Atom size over (.3g2 file)")) << run.out;
    testpkg::Package read = testpkg::readPackage(testenv::readFile(folder_.file("song.kmf")));
    EXPECT_TRUE(read.ok()) << read.report();
    ASSERT_NE(read.find("music.3g2"), nullptr);
    EXPECT_EQ(testenv::firstDifference(broken, read.find("music.3g2")->data), "");
    expectTarListing("song.kmf", {"config.txt", "music.3g2", "jacket.jpg", "description.txt", "wallpaper.jpg"});
}

}  // namespace
