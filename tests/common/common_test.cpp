// The rules both programs share, one table each: the decimal reader, code page
// 932 and paths, the package's layout and config.txt's clip lines.
#include <gtest/gtest.h>

#include <cstring>

#include "common/decimal.h"
#include "common/paths.h"
#include "common/shift_jis.h"

namespace {

TEST(Decimal, BlanksSignDigitsAndWhatATooLargeNumberBecomes) {
    struct Case { const char* text; uint32_t wrapped, saturated; int stop; bool found, overflowed; };  // stop: characters read
    const Case cases[] = {
        {"14", 14, 14, 2, true, false},           {"  7", 7, 7, 3, true, false},
        {"\t\n\v\f\r 23", 23, 23, 8, true, false}, {"+5", 5, 5, 2, true, false},
        {"-1", 0xFFFFFFFF, 0, 2, true, false},     {"abc", 0, 0, 0, false, false},
        {"", 0, 0, 0, false, false},               {"12abc", 12, 12, 2, true, false},
        {"- 5", 0, 0, 1, false, false},            {"0x10", 0, 0, 1, true, false},
        {"4294967295", 0xFFFFFFFF, 0xFFFFFFFF, 10, true, false},
        {"4294967296", 0, 0xFFFFFFFF, 10, true, true},
        {"-4294967296", 0, 0, 11, true, true},     {"007", 7, 7, 3, true, false},
        {"48000 bps", 48000, 48000, 5, true, false}, {"1 2", 1, 1, 1, true, false},
        {"--1", 0, 0, 1, false, false},            {"99999999999", 1215752191, 0xFFFFFFFF, 11, true, true},
    };
    for (const Case& c : cases) {
        const char* end = c.text + std::strlen(c.text);
        const DecimalRead<uint32_t> wrapped = ReadDecimal(c.text, end, DecimalOverflow::Wrap);
        EXPECT_EQ(wrapped.value, c.wrapped) << '"' << c.text << '"';
        EXPECT_EQ(wrapped.stop - c.text, c.stop) << '"' << c.text << '"';
        EXPECT_EQ(wrapped.found, c.found) << '"' << c.text << '"';
        EXPECT_EQ(wrapped.overflowed, c.overflowed) << '"' << c.text << '"';
        EXPECT_EQ(ReadDecimal(c.text, DecimalOverflow::Saturate).value, c.saturated) << '"' << c.text << '"';
    }
    const char digits[] = "123";
    EXPECT_EQ(ReadDecimal(digits, digits + 2, DecimalOverflow::Wrap).value, 12u);  // never past its end
    EXPECT_EQ(ReadDecimal<uint64_t>("18446744073709551616", DecimalOverflow::Saturate).value, UINT64_MAX);
    EXPECT_EQ(ReadDecimal<uint64_t>("18446744073709551617", DecimalOverflow::Wrap).value, 1u);
}

// On POSIX builds the ANSI code page of Windows paths is code page 932.
TEST(Paths, EachCallersSeparatorsAndTheOutputPath) {
    struct Case { const char* path; std::size_t native, windows, drive; const char* output; };  // where the name starts
    const Case cases[] = {
        {"/home/u/song.3g2", 8, 8, 8, "/home/u/song.kmf"}, {"/home/u/music.old/song", 18, 18, 18, "/home/u/music.kmf"},
        {"sub/song.3g2", 4, 4, 4, "sub/song.kmf"},         {"song", 0, 0, 0, "song.kmf"},
        {"song.", 0, 0, 0, "song.kmf"},                    {"", 0, 0, 0, ".kmf"},
        {"D:\\m\\song.3g2", 0, 5, 5, "D:\\m\\song.kmf"},  {"D:song.3g2", 0, 0, 2, "D:song.kmf"},
        {"C:\\\x95\\\\\x83\\\x83\x74.exe", 0, 6, 6, "C:\\\x95\\\\\x83\\\x83\x74.kmf"},  // 表 and ソ end in 0x5C
        {"/x/\xC4\x81/song", 6, 3, 3, "/x/\xC4\x81/song.kmf"},  // UTF-8 ā: its 0x81 is a code page 932 lead byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileNameStart(c.path), c.native) << c.path;
        EXPECT_EQ(FileNameStart(c.path, PathSeparators::Windows), c.windows) << c.path;
        EXPECT_EQ(FileNameStart(c.path, PathSeparators::WindowsAndDrive), c.drive) << c.path;
        EXPECT_EQ(DefaultOutputPath(c.path), c.output) << c.path;
    }
    EXPECT_EQ(SiblingPath("/home/u/song.3g2", "config.txt"), "/home/u/config.txt");
    EXPECT_EQ(SiblingPath("D:\\m\\song.3g2", "config.txt"), "config.txt");
}

TEST(ShiftJis, DoubleByteCharactersAreNeverCutInTwo) {
    const struct { std::string text; std::size_t limit, kept; } cases[] = {
        {"abc", 2, 2}, {"a\x83\x5C", 2, 1}, {"a\x83\x5C", 3, 3}, {"\x88\x9F\x88\x9F", 3, 2},  // 亜's trail byte is a lead byte
        {"\xA6\xA6", 1, 1}, {"\xE0\x40", 1, 0}, {"\xFC\x40", 1, 0}, {"\xFD\x40", 1, 1}, {"a\x81", 5, 2},  // a lead byte ends the text
    };
    for (const auto& c : cases) EXPECT_EQ(LengthAtCharacterBoundary(c.text, c.limit), c.kept) << c.text;
}

}  // namespace
