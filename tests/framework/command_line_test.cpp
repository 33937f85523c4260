// Arguments quoted by the framework, byte for byte, and the raw command line
// after the program name. Each quoted argument splits back whole by the C
// runtime's rules (see command_line.h); the Wine sample has the real runtime
// split the trickiest of them in a child process.
#include <string>

#include "framework/command_line.h"
#include "framework_test.h"

namespace {

TEST(QuoteArgument, EscapesQuotesAndTheBackslashesBeforeThem) {
    const std::pair<std::string, std::string> rows[] = {
        {"D:\\m\\song.3g2", "\"D:\\m\\song.3g2\""}, {"D:\\My Music\\song.3g2", "\"D:\\My Music\\song.3g2\""},
        {"a\tb", "\"a\tb\""}, {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"D:\\out\\", "\"D:\\out\\\\\""},                  // a trailing backslash is doubled
        {"a\\\\\"b", "\"a\\\\\\\\\\\"b\""},                 // so are backslashes before a quote
        {"\\\\server\\share", "\"\\\\server\\share\""},  // and no others
        {"", "\"\""}, {"D:\\ソ", "\"D:\\ソ\""},  // the 0x5C of ソ is no backslash: not doubled
        {"表\"", "\"表\\\"\""}, {"ソ\\", "\"ソ\\\\\""}, {"D:\\ソ表\\曲.3g2", "\"D:\\ソ表\\曲.3g2\""},
    };
    for (const auto& [argument, quoted] : rows) EXPECT_EQ(framework::QuoteArgument(argument), quoted) << argument;
}

TEST(RawCommandLine, IsWhatFollowsTheProgramName) {
    const std::pair<const char*, const char*> rows[] = {
        {"frontend.exe", ""}, {"frontend.exe   D:\\a b.3g2", "D:\\a b.3g2"},
        {"\"C:\\My Tools\\frontend.exe\" \"D:\\a.3g2\"", "\"D:\\a.3g2\""},
        {"\"C:\\表\\frontend.exe\"\t x", "x"}, {"\"C:\\unclosed", ""},
    };
    for (const auto& [commandLine, arguments] : rows)
        EXPECT_STREQ(framework::ArgumentsAfterProgramName(commandLine), arguments) << commandLine;
}

}  // namespace
