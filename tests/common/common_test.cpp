// The rules both programs share, one table each: the decimal reader, code page
// 932 and paths, the package's layout and config.txt's clip lines.
#include <gtest/gtest.h>

#include <cstring>

#include "common/decimal.h"

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

}  // namespace
