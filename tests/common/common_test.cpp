// The rules both programs share, one table each: the decimal reader, code page
// 932 and paths, the package's layout and config.txt's clip lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/clip_lines.h"
#include "common/decimal.h"
#include "common/paths.h"
#include "common/shift_jis.h"

namespace {

// "wrapped saturated characters-read", and whether no digit was found or the digits overflowed.
std::string DecimalOf(const char* text) {
    const DecimalRead<uint32_t> read = ReadDecimal(text, text + std::strlen(text), DecimalOverflow::Wrap);
    return std::to_string(read.value) + " " + std::to_string(ReadDecimal(text, DecimalOverflow::Saturate).value) + " " +
           std::to_string(read.stop - text) + (read.found ? "" : " none") + (read.overflowed ? " over" : "");
}

TEST(Decimal, BlanksSignDigitsAndWhatATooLargeNumberBecomes) {
    const std::pair<const char*, const char*> cases[] = {
        {"14", "14 14 2"}, {"  7", "7 7 3"}, {"\t\n\v\f\r 23", "23 23 8"}, {"+5", "5 5 2"}, {"-1", "4294967295 0 2"},
        {"abc", "0 0 0 none"}, {"", "0 0 0 none"}, {"12abc", "12 12 2"}, {"- 5", "0 0 1 none"}, {"--1", "0 0 1 none"},
        {"0x10", "0 0 1"}, {"007", "7 7 3"}, {"48000 bps", "48000 48000 5"}, {"1 2", "1 1 1"},
        {"4294967295", "4294967295 4294967295 10"}, {"4294967296", "0 4294967295 10 over"},
        {"-4294967296", "0 0 11 over"}, {"99999999999", "1215752191 4294967295 11 over"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(DecimalOf(text), expected) << '"' << text << '"';
    const char digits[] = "123";
    EXPECT_EQ(ReadDecimal(digits, digits + 2, DecimalOverflow::Wrap).value, 12u);  // never past its end
    EXPECT_EQ(ReadDecimal<uint64_t>("18446744073709551616", DecimalOverflow::Saturate).value, UINT64_MAX);
}

// Where the name starts by the system's separators, by Windows' and by Windows'
// with the drive's colon (read in code page 932 here), then the output path.
TEST(Paths, EachCallersSeparatorsAndTheOutputPath) {
    const std::pair<std::string, std::string> cases[] = {
        {"/home/u/song.3g2", "8 8 8 /home/u/song.kmf"}, {"/home/u/music.old/song", "18 18 18 /home/u/music.kmf"},
        {"sub/song.3g2", "4 4 4 sub/song.kmf"}, {"song", "0 0 0 song.kmf"}, {"song.", "0 0 0 song.kmf"}, {"", "0 0 0 .kmf"},
        {"D:\\m\\song.3g2", "0 5 5 D:\\m\\song.kmf"}, {"D:song.3g2", "0 0 2 D:song.kmf"},
        {"C:\\\x95\\\\\x83\\\x83\x74.exe", "0 6 6 C:\\\x95\\\\\x83\\\x83\x74.kmf"},  // 表 and ソ end in 0x5C
        {"/x/\xC4\x81/song", "6 3 3 /x/\xC4\x81/song.kmf"},  // UTF-8 ā: its 0x81 is a code page 932 lead byte
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(std::to_string(FileNameStart(path)) + " " + std::to_string(FileNameStart(path, PathSeparators::Windows)) +
                      " " + std::to_string(FileNameStart(path, PathSeparators::WindowsAndDrive)) + " " + DefaultOutputPath(path),
                  expected) << path;
    }
    EXPECT_EQ(SiblingPath("/home/u/song.3g2", "config.txt"), "/home/u/config.txt");
}

TEST(ShiftJis, DoubleByteCharactersAreNeverCutInTwo) {
    const struct { std::string text; std::size_t limit, kept; } cases[] = {
        {"abc", 2, 2}, {"a\x83\x5C", 2, 1}, {"a\x83\x5C", 3, 3}, {"\x88\x9F\x88\x9F", 3, 2},  // 亜's trail byte is a lead byte
        {"\xA6\xA6", 1, 1}, {"\xE0\x40", 1, 0}, {"\xFC\x40", 1, 0}, {"\xFD\x40", 1, 1}, {"a\x81", 5, 2},  // a lead byte ends the text
    };
    for (const auto& c : cases) EXPECT_EQ(LengthAtCharacterBoundary(c.text, c.limit), c.kept) << c.text;
}

// Lines 4 to 6 as they are found ("-": not there), and the numbers read from a line.
TEST(ClipLines, LinesFourToSixAndTheirNumbers) {
    using namespace std::string_literals;
    const std::string head = "KDDIMU01\r\n\r\nwallpaper.jpg,\r\n";
    const std::pair<std::string, const char*> configs[] = {
        {"", "-|-|-"}, {head, "-|-|-"}, {head + "005.250,035.250", "-|-|-"},  // lines 4 and 5 need their line feed
        {head + "005.250,035.250\r\n", "005.250,035.250|-|-"}, {head + "1\r\n2\r\n3", "1|2|3"},  // line 6 may end the file
        {head + "1\r\n2", "1|-|-"}, {head + "1\r\n2\r\n\r\n", "1|2|"}, {head + "\r\n\r\n\r\nmore\r\n", "||"},
        {"KDDIMU01\n\nwallpaper.jpg,\n1\n\n3\n", "1||3"}, {"a\nb\nc\n \n\r\r\nx\r", " |\r|x"},  // one CR is dropped
        {"a\nb\nc\n\0x\n2\n\0\n"s, "|2|"},  // a zero byte ends its line
    };
    for (const auto& [config, expected] : configs) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(config.data());
        std::string lines;
        for (const ClipLine& line : FindClipLines(bytes, static_cast<uint32_t>(config.size())))
            lines += (line.present ? config.substr(line.begin, line.length) : "-") + "|";
        EXPECT_EQ(lines, expected + "|"s) << testing::PrintToString(config);
    }
    const std::pair<std::string, const char*> lines[] = {
        {"005.250,035.250", "5 250 35 250"}, {" 5. 25, 6.\t5", "5 25 6 5"}, {"+5.0,+6.0", "5 0 6 0"}, {"abc", "0 0 0 0"},
        {"1.0,2.0 and more", "1 0 2 0"}, {"5.25", "5 25 0 0"}, {"1.500,3", "1 500 3 0"}, {"5 .25,6.5", "5 0 0 0"},
        {"-1.0,0.0", "4294967295 0 0 0"}, {"99999999999.0,1.0", "1215752191 0 1 0"},
    };
    auto numbersOf = [](const std::string& line, uint32_t length) {
        const ClipLineNumbers n = ScanClipLine(reinterpret_cast<const uint8_t*>(line.data()), ClipLine{true, 0, length});
        return std::to_string(n.startSeconds) + " " + std::to_string(n.startMilliseconds) + " " +
               std::to_string(n.endSeconds) + " " + std::to_string(n.endMilliseconds);
    };
    for (const auto& [line, expected] : lines) EXPECT_EQ(numbersOf(line, static_cast<uint32_t>(line.size())), expected) << line;
    EXPECT_EQ(numbersOf("1.0,2.5", 6), "1 0 2 0") << "the 5 lies past the line's end";
}

}  // namespace
