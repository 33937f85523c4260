// The package reader must accept a well-made package (one GNU tar also accepts)
// and name each kind of fault a packer could make.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <cstring>

#include "tests/tools/media_tools.h"
#include "tests/tools/package_reader.h"
#include "tests/tools/test_files.h"

namespace {

struct Entry {
    std::string name;
    std::string data;
};

void putOctal(std::vector<uint8_t>& block, std::size_t at, const char* format, uint32_t value) {
    char text[16];
    int length = std::snprintf(text, sizeof text, format, static_cast<unsigned>(value));
    std::memcpy(block.data() + at, text, static_cast<std::size_t>(length));
}

std::vector<uint8_t> header(const std::string& name, uint32_t size, uint32_t time) {
    std::vector<uint8_t> block(512, 0);
    std::memcpy(block.data(), name.data(), name.size());
    std::memcpy(block.data() + 100, "0100666", 7);
    std::memcpy(block.data() + 108, "0000000", 7);
    std::memcpy(block.data() + 116, "0000000", 7);
    putOctal(block, 124, "%011o", size);
    putOctal(block, 136, "%011o", time);
    std::memcpy(block.data() + 257, "ustar  ", 7);
    std::memcpy(block.data() + 265, "root", 4);
    uint32_t sum = 256;
    for (int i = 0; i < 269; ++i) sum += block[static_cast<std::size_t>(i)];
    putOctal(block, 148, "%06o", sum);
    return block;
}

void appendMember(std::vector<uint8_t>& package, const std::string& name, const std::string& data, uint32_t time) {
    std::vector<uint8_t> block = header(name, static_cast<uint32_t>(data.size()), time);
    package.insert(package.end(), block.begin(), block.end());
    package.insert(package.end(), data.begin(), data.end());
    package.resize((package.size() + 511) / 512 * 512, 0);
}

// A package laid out as the packer lays it out: index.txt, the members, two zero blocks.
std::vector<uint8_t> makePackage(const std::vector<Entry>& entries) {
    std::string index = "KDDIMU01\r\n";
    std::vector<uint8_t> body;
    for (const Entry& entry : entries) {
        uint32_t offset = static_cast<uint32_t>(body.size());
        appendMember(body, entry.name, entry.data, 1700000000);
        const char* mime = entry.name.find(".txt") != std::string::npos ? "text/plain" : "audio/3gpp2";
        if (!entry.data.empty()) index += testpkg::indexLineText({entry.name, static_cast<int32_t>(offset), static_cast<int32_t>(entry.data.size()), mime});
    }
    std::vector<uint8_t> package;
    appendMember(package, "index.txt", index, testpkg::kIndexHeaderTime);
    package.insert(package.end(), body.begin(), body.end());
    package.resize(package.size() + 1024, 0);
    return package;
}

const std::vector<Entry> kEntries = {{"config.txt", "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n"},
                                     {"music.3g2", std::string(1024, 'm')},
                                     {"description.txt", ""},
                                     {"jacket.jpg", std::string(700, 'j')}};

TEST(PackageReader, AcceptsAWellMadePackage) {
    testpkg::Package package = testpkg::readPackage(makePackage(kEntries));
    EXPECT_TRUE(package.ok()) << package.report();
    EXPECT_EQ(package.memberNames(), (std::vector<std::string>{"config.txt", "music.3g2", "description.txt", "jacket.jpg"}));
    ASSERT_EQ(package.index.size(), 3u);  // the empty member is not listed
    EXPECT_EQ(package.index[1].name, "music.3g2");
    EXPECT_EQ(package.index[1].offset, 1024);
    EXPECT_EQ(package.find("jacket.jpg")->data, std::vector<uint8_t>(700, 'j'));
}

TEST(PackageReader, GnuTarAgreesTheHandMadePackageIsAnArchive) {
    std::string missing = testenv::missingPeers();
    if (!missing.empty()) GTEST_SKIP() << missing;
    testenv::TempFolder folder;
    testenv::writeFile(folder.file("p.kmf"), makePackage(kEntries));
    testenv::TarListing listing = testenv::listWithTar(folder.file("p.kmf"));
    ASSERT_TRUE(listing.ok) << listing.error;
    ASSERT_EQ(listing.lines.size(), 5u);
    EXPECT_EQ(listing.lines[0].substr(0, 16), "-rw-rw-rw- root/");
}

struct Fault {
    const char* name;
    void (*apply)(std::vector<uint8_t>&);
    const char* expectedWords;
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

class PackageFaults : public testing::TestWithParam<Fault> {};

TEST_P(PackageFaults, AreNamed) {
    std::vector<uint8_t> bytes = makePackage(kEntries);
    GetParam().apply(bytes);
    testpkg::Package package = testpkg::readPackage(bytes);
    EXPECT_FALSE(package.ok());
    EXPECT_NE(package.report().find(GetParam().expectedWords), std::string::npos) << package.report();
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PackageFaults,
    testing::Values(
        Fault{"checksum", [](std::vector<uint8_t>& b) { b[1024 + 150] ^= 1; }, "checksum"},
        Fault{"mode", [](std::vector<uint8_t>& b) { b[1024 + 106] = '4'; }, "mode"},
        Fault{"magic", [](std::vector<uint8_t>& b) { b[1024 + 262] = 0; }, "magic"},
        Fault{"trailingBytes", [](std::vector<uint8_t>& b) { b.push_back(0); }, "after the two end blocks"},
        Fault{"oneEndBlock", [](std::vector<uint8_t>& b) { b.resize(b.size() - 512); }, "without two zero blocks"},
        Fault{"indexOffset", [](std::vector<uint8_t>& b) { b[512 + 10 + 11] = '1'; }, "data at"},
        Fault{"indexTime", [](std::vector<uint8_t>& b) { b[136 + 10] = '1'; }, "10222300000"},
        Fault{"dirtyPadding", [](std::vector<uint8_t>& b) { b[1536 + 100] = 1; }, "last block is not zero"},
        Fault{"sizePastTheEnd", [](std::vector<uint8_t>& b) { std::memcpy(b.data() + 1024 + 124, "77777777777", 11); },
              "runs past the end"}),
    [](const testing::TestParamInfo<Fault>& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
