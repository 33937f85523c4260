// The packer beside the frontend (its banner date and what follows from it) and
// the clips config.txt defines, as the survey reads them.
#include <gtest/gtest.h>

#include <string>

#include "frontend/probes/config_clips.h"
#include "frontend/probes/versions.h"
#include "tests/tools/testkit.h"

namespace {

using testkit::Bytes;

// A clip is there when its line holds anything, the lines found as the packer
// finds them (tests/common) in the first 4096 bytes: here line 5 ends past them.
TEST(ConfigClips, LinesFourToSixOfTheFirst4096Bytes) {
    const std::string text = "KDDIMU01\r\n\r\n" + std::string(4078, 'w') + "\r\n1\r\n2\r\n3\r\n";
    framework::MemoryFile file(Bytes(text.begin(), text.end()));
    EXPECT_EQ(ProbeConfigClips(file), (ClipFlags{true, false, false}));
    framework::DiskFile missing("/nonexistent/config.txt");
    EXPECT_EQ(ProbeConfigClips(missing), std::nullopt);
}

Bytes PackerImage(std::size_t size, std::size_t at, const std::string& banner) {
    Bytes image(size, 'x');
    std::copy(banner.begin(), banner.end(), image.begin() + std::ptrdiff_t(at));
    return image;
}

TEST(PackerVersion, TheDateIsReadFromTheFirstBanner) {
    struct Case { const char* what; Bytes image; uint32_t date; };
    const std::string banner = "Tessaryn (20051110)";
    const Case cases[] = {
        {"a banner", PackerImage(5000, 1000, banner), 20051110},
        {"two banners: the first counts", PackerImage(5000, 9, "Tessaryn (20210101) " + banner), 20210101},
        {"no opening", PackerImage(5000, 0, "Tessaryn 20051110"), 0},
        {"a T right before the opening", PackerImage(5000, 9, "T" + banner), 20051110},
        {"only eight characters count", PackerImage(5000, 9, "Tessaryn (200511109)"), 20051110},
        {"a negative number", PackerImage(5000, 9, "Tessaryn (-0000001)"), 0},  // held at 0, not wrapped
        {"the opening across 64 KiB", PackerImage(70000, 65530, banner), 20051110},
        {"the date across 64 KiB", PackerImage(70000, 65520, banner), 20051110},
        {"the opening's T ending a chunk", PackerImage(70000, 65535, banner), 20051110},
        {"exactly 64 KiB ending in the banner", PackerImage(65536, 65536 - 19, banner), 20051110},
        {"exactly 64 KiB ending in half an opening", PackerImage(65536, 65530, "Tessar"), 0},
        {"the file ending in the date", PackerImage(5000, 5000 - 14, "Tessaryn (2005"), 2005},
        {"the file ending in the opening", PackerImage(5000, 5000 - 9, "Tessaryn "), 0},
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
        {20051110, PackerState::Usable, "Tessaryn 20051110"}, {20051012, PackerState::Usable, "Tessaryn 20051012"},
        {20051011, PackerState::TooOld, "Tessaryn 20051011"}, {20050831, PackerState::TooOld, "Tessaryn 20050831"},
        {20201231, PackerState::Usable, "Tessaryn 20201231"}, {20050830, PackerState::NotRecognised, error},
        {20210101, PackerState::NotRecognised, error},        {0, PackerState::NotRecognised, error},
    };
    for (const Case& c : cases) {
        const PackerBeside packer = RecognisePacker(c.date);
        EXPECT_EQ(packer.state, c.state) << c.date;
        EXPECT_EQ(std::to_string(packer.version) + " " + packer.versionText, std::to_string(c.date) + " " + c.text);
    }
}

}  // namespace
