// The survey's other probes: image sizes, config.txt's clip lines, the packer's
// banner date, and the file shim beneath them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frontend/config_clips.h"
#include "frontend/jpeg_probe.h"
#include "frontend/packer_version.h"
#include "tests/frontend/probe_inputs.h"
#include "tests/tools/testkit.h"

namespace {

using namespace probe_inputs;

TEST(JpegProbe, FindsTheImagesOwnBaselineFrame) {
    struct Case { const char* what; Bytes file; uint16_t width, height; };  // 7 x 9: left as the caller had them
    // A phone photo: EXIF of 20000 bytes whose thumbnail has a frame header of its
    // own at file position 11812, where a walk that lost count of the long segment would land.
    Bytes exif = text(std::string("Exif\0\0", 6)) + zeros(19998 - 6);
    const Bytes thumbnail = startOfImage() + frameHeader(160, 120) + Bytes{0xFF, 0xD9};
    std::copy(thumbnail.begin(), thumbnail.end(), exif.begin() + (11812 - 6 - 2));
    const Bytes jfif = segment(0xE0, text(std::string("JFIF\0", 5)) + zeros(9));
    const Bytes quantTable = segment(0xDB, zeros(65));
    const Bytes baseline = startOfImage() + jfif + quantTable + frameHeader(640, 480) + imageTail();
    const Case cases[] = {
        {"a baseline image", baseline, 640, 480},
        {"EXIF holding a thumbnail", startOfImage() + segment(0xE1, exif) + quantTable + frameHeader(4032, 3024) + imageTail(),
         4032, 3024},
        {"an ICC profile of 60000 bytes", startOfImage() + segment(0xE2, zeros(60000)) + frameHeader(8, 6), 8, 6},
        {"a marker across 8 KiB", startOfImage() + paddingUpTo(8191) + quantTable + frameHeader(3, 5), 3, 5},
        {"a length across 8 KiB", startOfImage() + paddingUpTo(8190) + quantTable + frameHeader(3, 5), 3, 5},
        {"a frame header across 8 KiB", startOfImage() + paddingUpTo(8188) + frameHeader(1280, 720), 1280, 720},
        {"the frame header right after the start", startOfImage() + frameHeader(1, 2), 1, 2},
        {"a progressive image", startOfImage() + jfif + frameHeader(640, 480, 0xC2) + imageTail(), 7, 9},
        {"not a JPEG", text("\x89PNG\r\n\x1a\n") + zeros(100), 7, 9},
        {"a frame header cut short", startOfImage() + Bytes{0xFF, 0xC0, 0, 17, 8, 1, 0xE0, 2}, 7, 9},
        {"a segment running past the end", startOfImage() + Bytes{0xFF, 0xE1, 0xFF, 0xFF} + frameHeader(9, 9), 7, 9},
        {"one byte", {0xFF}, 7, 9},
        {"an empty file", {}, 7, 9},
    };
    for (const Case& c : cases) {
        framework::MemoryFile file(c.file);
        uint16_t width = 7, height = 9;
        ProbeJpegSize(file, width, height);
        EXPECT_EQ(width, c.width) << c.what;
        EXPECT_EQ(height, c.height) << c.what;
    }
}

// A clip is there when its line holds anything, the lines found as the packer
// finds them (tests/common) in the first 4096 bytes: here line 5 ends past them.
TEST(ConfigClips, LinesFourToSixOfTheFirst4096Bytes) {
    const std::string text = "KDDIMU01\r\n\r\n" + std::string(4078, 'w') + "\r\n1\r\n2\r\n3\r\n";
    framework::MemoryFile file(Bytes(text.begin(), text.end()));
    int found[kClipCount] = {5, 5, 5};
    EXPECT_EQ(ProbeConfigClips(file, found), 0);
    EXPECT_EQ(std::to_string(found[0]) + std::to_string(found[1]) + std::to_string(found[2]), "100");
    framework::DiskFile missing("/nonexistent/config.txt");
    EXPECT_EQ(ProbeConfigClips(missing, found), 1);
    EXPECT_EQ(found[0] + found[1] + found[2], 0);
}

// A packer image of `size` bytes with `banner` written at `at`.
Bytes packerImage(std::size_t size, std::size_t at, const std::string& banner) {
    Bytes image(size, 'x');
    std::copy(banner.begin(), banner.end(), image.begin() + std::ptrdiff_t(at));
    return image;
}

TEST(PackerVersion, TheDateIsReadFromTheFirstBanner) {
    struct Case { const char* what; Bytes image; uint32_t date; };
    const std::string banner = "Tessaryn (20051110)";
    const Case cases[] = {
        {"a banner", packerImage(5000, 1000, banner), 20051110},
        {"two banners: the first counts", packerImage(5000, 9, "Tessaryn (20210101) " + banner), 20210101},
        {"no opening", packerImage(5000, 0, "Tessaryn 20051110"), 0},
        {"a T right before the opening", packerImage(5000, 9, "T" + banner), 20051110},
        {"only eight characters count", packerImage(5000, 9, "Tessaryn (200511109)"), 20051110},
        {"a negative number", packerImage(5000, 9, "Tessaryn (-0000001)"), 0},  // held at 0, not wrapped
        {"the opening across 64 KiB", packerImage(70000, 65530, banner), 20051110},
        {"the date across 64 KiB", packerImage(70000, 65520, banner), 20051110},
        {"the opening's T ending a chunk", packerImage(70000, 65535, banner), 20051110},
        {"exactly 64 KiB ending in the banner", packerImage(65536, 65536 - 19, banner), 20051110},
        {"exactly 64 KiB ending in half an opening", packerImage(65536, 65530, "Tessar"), 0},
        {"the file ending in the date", packerImage(5000, 5000 - 14, "Tessaryn (2005"), 2005},
        {"the file ending in the opening", packerImage(5000, 5000 - 9, "Tessaryn "), 0},
    };
    for (const Case& c : cases) {
        framework::MemoryFile file(c.image);
        EXPECT_EQ(ReadPackerBannerDate(file), c.date) << c.what;
    }
}

TEST(PackerVersion, DatesAreAcceptedThenUsable) {
    const std::string error = "Tessaryn \x94\x46\x8e\xaf\x83\x47\x83\x89\x81\x5b";  // 認識エラー in CP932
    struct Case { uint32_t date; PackerState state; std::string text; };
    const Case cases[] = {
        {20051110, kPackerUsable, "Tessaryn 20051110"}, {20051012, kPackerUsable, "Tessaryn 20051012"},
        {20051011, kPackerTooOld, "Tessaryn 20051011"}, {20050831, kPackerTooOld, "Tessaryn 20050831"},
        {20201231, kPackerUsable, "Tessaryn 20201231"}, {20050830, kPackerNotRecognised, error},
        {20210101, kPackerNotRecognised, error},        {0, kPackerNotRecognised, error},
    };
    for (const Case& c : cases) {
        const PackerVersion version = ClassifyPackerDate(c.date);
        EXPECT_EQ(version.state, c.state) << c.date;
        EXPECT_EQ(version.text, c.text) << c.date;
    }
}

TEST(PackerVersion, ThePackerLiesBesideTheFrontend) {
    const char* cases[][2] = {{"/opt/tessaryn/frontend", "/opt/tessaryn/tessaryn.exe"}, {"frontend", "tessaryn.exe"},
                              {"/frontend", "/tessaryn.exe"}, {"./bin.d/frontend.exe", "./bin.d/tessaryn.exe"}};
    for (auto& c : cases) EXPECT_EQ(PackerPathBeside(c[0]), c[1]) << c[0];
}

TEST(DiskFile, ReadsSeeksAndRefusesWhatItCannotOpen) {
    testkit::TempFolder folder;
    Bytes bytes(70000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
    testkit::writeFile(folder / "song.3g2", bytes);

    framework::DiskFile file(folder / "song.3g2");
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.size(), 70000u);
    uint8_t got[16];
    EXPECT_TRUE(file.seekTo(65530) && file.read(got, 10) == 10u && std::memcmp(got, &bytes[65530], 10) == 0);
    EXPECT_TRUE(file.seekTo(69995) && file.read(got, 16) == 5u && file.read(got, 16) == 0u) << "short, then none";
    EXPECT_TRUE(file.seekTo(uint64_t(1) << 40) && file.read(got, 16) == 0u);

    // The longest path accepted is 1536 bytes; extra slashes name the same file.
    const std::string name = "/song.3g2";
    const std::size_t slashes = framework::kMaxPathBytes - folder.path().size() - name.size();
    EXPECT_TRUE(framework::DiskFile(folder.path() + std::string(slashes, '/') + name).isOpen());
    EXPECT_FALSE(framework::DiskFile(folder.path() + std::string(slashes + 1, '/') + name).isOpen());
    EXPECT_FALSE(framework::DiskFile(folder.path()).isOpen());  // a folder, as on Windows
    framework::DiskFile missing(folder / "missing.3g2");
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.read(got, 16) + missing.size(), 0u);
}

}  // namespace
