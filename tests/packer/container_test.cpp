#include "packer/container.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "tests/packer/test_support.h"

namespace {

using packertest::readFile;
using packertest::TempFolder;

// A header block laid out field by field from the archive format, independently
// of the writer: every named field at its offset, zeros elsewhere.
std::string expectedHeader(const std::string& name, const char* size, const char* time, const char* checksum) {
    std::string block(512, '\0');
    auto put = [&block](std::size_t offset, const std::string& text) { block.replace(offset, text.size(), text); };
    put(0, name);
    put(100, "0100666");
    put(108, "0000000");
    put(116, "0000000");
    put(124, size);
    put(136, time);
    put(148, checksum);
    put(257, "ustar  ");
    put(265, "root");
    return block;
}

std::string asString(const MemberHeaderBlock& block) { return std::string(block.begin(), block.end()); }

// The usual archive checksum: all 512 bytes, the checksum field counted as blanks.
uint32_t archiveChecksum(const std::string& block) {
    uint32_t sum = 0;
    for (std::size_t i = 0; i < block.size(); ++i) sum += (i >= 148 && i < 156) ? ' ' : static_cast<uint8_t>(block[i]);
    return sum;
}

MemberSlot slot(const char* name, int32_t size, int32_t offset, const char* mime, MemberKind kind) {
    return MemberSlot{size, offset, "", name, mime, kind};
}

// The member table of a package with all five members present.
std::vector<MemberSlot> fullMemberTable() {
    return {
        slot("config.txt", 60, 0, "text/plain", MemberKind::Config),
        slot("music.3g2", 300072, 1024, "audio/3gpp2", MemberKind::Music),
        slot("jacket.jpg", 10000, 302080, "image/jpeg", MemberKind::Jacket),
        slot("description.txt", 200, 312832, "text/plain", MemberKind::Description),
        slot("wallpaper.jpg", 20000, 313856, "image/jpeg", MemberKind::Wallpaper),
        slot("", 0, 0, "", MemberKind::End),
    };
}

class ScopedEpoch {
public:
    explicit ScopedEpoch(const char* value) {
        if (value) {
            setenv("SOURCE_DATE_EPOCH", value, 1);
        } else {
            unsetenv("SOURCE_DATE_EPOCH");
        }
    }
    ~ScopedEpoch() { unsetenv("SOURCE_DATE_EPOCH"); }
};

TEST(MemberHeader, IndexHeaderOfTheFullPackageMatchesTheKnownBlock) {
    MemberHeaderBlock block = buildMemberHeader("index.txt", 204, kIndexHeaderTime);
    EXPECT_EQ(asString(block), expectedHeader("index.txt", "00000000314", "10222300000", "010416"));
}

TEST(MemberHeader, ChecksumAgreesWithTheArchiveRule) {
    for (uint32_t size : {0u, 28u, 6287360u, 0xFFFFFFFFu}) {
        std::string block = asString(buildMemberHeader("description.txt", size, 1234567890));
        char checksum[7] = {};
        std::memcpy(checksum, block.data() + 148, 6);
        EXPECT_EQ(std::strtoul(checksum, nullptr, 8), archiveChecksum(block)) << size;
        EXPECT_EQ(block[154], '\0');
        EXPECT_EQ(block[155], '\0');
    }
}

TEST(MemberHeader, LongNameFillsTheNameFieldWithoutSpilling) {
    std::string block = asString(buildMemberHeader(std::string(150, 'n'), 1, 0));
    EXPECT_EQ(block.substr(0, 100), std::string(100, 'n'));
    EXPECT_EQ(block.substr(100, 7), "0100666");
}

TEST(MemberHeader, WriterPutsTheBlockAtItsPositionAndLaterCallsWin) {
    ScopedEpoch epoch("1234567890");
    TempFolder folder;
    std::string path = folder / "package";
    OutputFile output;
    ASSERT_TRUE(output.create(path));
    output.writeZeros(3 * 512);
    writeMemberHeader(output, "index.txt", 0, 204);
    EXPECT_EQ(output.position(), 154u);  // just after the checksum digits
    writeMemberHeader(output, "config.txt", 1024, 60);
    writeMemberHeader(output, "config.txt", 1024, 28);
    ASSERT_TRUE(output.close());

    std::string bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 3u * 512);
    EXPECT_EQ(bytes.substr(0, 512), expectedHeader("index.txt", "00000000314", "10222300000", "010416"));
    EXPECT_EQ(bytes.substr(512, 512), std::string(512, '\0'));
    std::string config = bytes.substr(1024, 512);
    EXPECT_EQ(config, asString(buildMemberHeader("config.txt", 28, 1234567890)));
    EXPECT_EQ(config.substr(124, 12), std::string("00000000034", 12));
    EXPECT_EQ(config.substr(136, 12), std::string("11145401322", 12));
}

TEST(MemberHeaderTime, SourceDateEpochHoldsOnlyWhenItIsADecimalNumber) {
    struct Case {
        const char* value;
        bool used;
        uint64_t time;
    };
    const Case cases[] = {
        {"1234567890", true, 1234567890}, {"0", true, 0},        {"", false, 0},     {"12a", false, 0},
        {"-5", false, 0},                 {" 15", false, 0},     {"+15", false, 0},  {nullptr, false, 0},
    };
    for (const Case& c : cases) {
        ScopedEpoch epoch(c.value);
        uint64_t before = static_cast<uint64_t>(std::time(nullptr));
        uint64_t time = memberHeaderTime();
        uint64_t after = static_cast<uint64_t>(std::time(nullptr));
        if (c.used) {
            EXPECT_EQ(time, c.time) << c.value;
        } else {
            EXPECT_GE(time, before) << (c.value ? c.value : "(unset)");
            EXPECT_LE(time, after) << (c.value ? c.value : "(unset)");
        }
    }
}

TEST(OctalFields, FixedDigitsWithLeadingZerosAndNoOverflow) {
    struct Case {
        uint64_t value;
        int digits;
        const char* text;
    };
    const Case cases[] = {
        {0, 11, "00000000000"},         {204, 11, "00000000314"},       {1112113152, 11, "10222300000"},
        {0xFFFFFFFF, 11, "37777777777"}, {0x1FFFFFFFFull, 11, "77777777777"}, {UINT64_MAX, 11, "77777777777"},
        {4366, 6, "010416"},            {07777777, 6, "777777"},
    };
    for (const Case& c : cases) {
        char field[12] = {};
        std::memset(field, 'x', 11);
        formatOctal(field, c.value, c.digits);
        EXPECT_EQ(std::string(field, static_cast<std::size_t>(c.digits)), c.text);
        EXPECT_EQ(field[c.digits], c.digits < 11 ? 'x' : '\0') << "wrote past its digits";
    }
}

TEST(IndexText, FullPackageGivesTheKnownText) {
    std::string text = buildIndexText(fullMemberTable());
    EXPECT_EQ(text, packertest::kWorkedExampleIndexText);
    EXPECT_EQ(text.size(), 204u);
}

TEST(IndexText, AbsentAndEmptyMembersHaveNoLine) {
    std::vector<MemberSlot> members = fullMemberTable();
    members[1].size = 0;  // missing music
    members[3].size = 0;  // empty description
    EXPECT_EQ(buildIndexText(members),
              "KDDIMU01\r\n"
              "config.txt,0       ,60,text/plain\r\n"
              "jacket.jpg,302080  ,10000,image/jpeg\r\n"
              "wallpaper.jpg,313856  ,20000,image/jpeg\r\n");
}

TEST(IndexText, OnlyTheDefaultConfig) {
    std::vector<MemberSlot> members = fullMemberTable();
    for (MemberSlot& member : members) member.size = 0;
    members[0].size = 28;
    EXPECT_EQ(buildIndexText(members), "KDDIMU01\r\nconfig.txt,0       ,28,text/plain\r\n");
}

TEST(IndexText, RowsAfterTheEndRowAreNotListed) {
    std::vector<MemberSlot> members = fullMemberTable();
    members.push_back(slot("stray.bin", 5, 0, "x/y", MemberKind::Description));
    EXPECT_EQ(buildIndexText(members), packertest::kWorkedExampleIndexText);
}

TEST(IndexText, LongestAllowedNameFitsItsLineAndLongerNamesAreCut) {
    std::vector<MemberSlot> members = fullMemberTable();
    members[1].name = std::string(kMaxNameLength, 'm');
    members[1].offset = 99999999;
    members[1].size = 99999999;
    std::string line = std::string(kMaxNameLength, 'm') + ",99999999,99999999,audio/3gpp2\r\n";
    ASSERT_EQ(line.size(), 63u);
    EXPECT_NE(buildIndexText(members).find(line), std::string::npos);

    members[1].name = std::string(200, 'm');
    std::string text = buildIndexText(members);
    std::size_t start = text.find("mmm");
    EXPECT_EQ(text.find("jacket.jpg", start) - start, 63u);
}

TEST(IndexText, NeverExceedsItsBlock) {
    std::vector<MemberSlot> members;
    for (int i = 0; i < 20; ++i) members.push_back(slot("description.txt", 12345678, 12345678, "text/plain", MemberKind::Description));
    members.push_back(slot("", 0, 0, "", MemberKind::End));
    EXPECT_LE(buildIndexText(members).size(), 512u);
}

}  // namespace
