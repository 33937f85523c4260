// Command lines built by the framework, split back by the C runtime's rules as
// written down here, independently of the framework's code.
#include <string>
#include <vector>

#include "framework/command_line.h"
#include "framework_test.h"

namespace {

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The program name: up to the next quote when it starts with one, else up to a blank.
std::string ProgramName(const std::string& line, std::size_t& at) {
    std::string name;
    char end = ' ';
    if (line[at] == '"') {
        end = '"';
        ++at;
    }
    while (at < line.size() && line[at] != end && !(end == ' ' && IsBlank(line[at]))) name += line[at++];
    if (end == '"' && at < line.size()) ++at;
    return name;
}

// One argument from `at`: quotes toggle, 2n backslashes before a quote give n and
// the quote toggles, 2n+1 give n and a literal quote; a double-byte character is
// copied whole (its trail byte is never a backslash).
std::string NextArgument(const std::string& line, std::size_t& at) {
    std::string argument;
    bool quoted = false;
    while (at < line.size() && (quoted || !IsBlank(line[at]))) {
        std::size_t backslashes = 0;
        while (at < line.size() && line[at] == '\\') ++backslashes, ++at;
        if (at < line.size() && line[at] == '"') {
            argument.append(backslashes / 2, '\\');
            if (backslashes % 2 == 1) {
                argument += '"';
            } else if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
                argument += '"';
                ++at;
            } else {
                quoted = !quoted;
            }
            ++at;
            continue;
        }
        argument.append(backslashes, '\\');
        if (at >= line.size() || (!quoted && IsBlank(line[at]))) break;
        if (IsLeadByte(static_cast<unsigned char>(line[at])) && at + 1 < line.size()) argument += line[at++];
        argument += line[at++];
    }
    return argument;
}

std::vector<std::string> SplitLikeTheCRuntime(const std::string& line) {
    std::size_t at = 0;
    std::vector<std::string> arguments = {ProgramName(line, at)};
    for (;;) {
        while (at < line.size() && IsBlank(line[at])) ++at;
        if (at >= line.size()) return arguments;
        arguments.push_back(NextArgument(line, at));
    }
}

struct QuotingCase {
    const char* name;
    std::string argument;
    std::string quoted;
};

const QuotingCase kQuotingCases[] = {
    {"plain path", "D:\\m\\song.3g2", "\"D:\\m\\song.3g2\""},
    {"spaces", "D:\\My Music\\song.3g2", "\"D:\\My Music\\song.3g2\""},
    {"tab", "a\tb", "\"a\tb\""},
    {"quotes inside", "say \"hi\"", "\"say \\\"hi\\\"\""},
    {"trailing backslash", "D:\\out\\", "\"D:\\out\\\\\""},
    {"two backslashes before a quote", "a\\\\\"b", "\"a\\\\\\\\\\\"b\""},
    {"backslashes not before a quote", "\\\\server\\share", "\"\\\\server\\share\""},
    {"empty", "", "\"\""},
    {"ソ at the end: its 0x5C is no backslash", "D:\\ソ", "\"D:\\ソ\""},
    {"表 before a quote", "表\"", "\"表\\\"\""},
    {"ソ before a real trailing backslash", "ソ\\", "\"ソ\\\\\""},
    {"ソ表 inside a folder name", "D:\\ソ表\\曲.3g2", "\"D:\\ソ表\\曲.3g2\""},
};

class Quoting : public ::testing::TestWithParam<QuotingCase> {};

TEST_P(Quoting, QuotesSoTheRuntimeSplitsItBackWhole) {
    const QuotingCase& row = GetParam();
    EXPECT_EQ(framework::QuoteArgument(row.argument), row.quoted);

    const std::vector<std::string> prefixed = {"prog.exe", "-o:" + row.argument};
    EXPECT_EQ(SplitLikeTheCRuntime("prog.exe -o:" + framework::QuoteArgument(row.argument)), prefixed);

    const std::vector<std::string> arguments = {"C:\\Program Files\\t\\tessaryn.exe", row.argument, "-mode:23"};
    EXPECT_EQ(SplitLikeTheCRuntime(framework::BuildCommandLine(arguments)), arguments);
}

INSTANTIATE_TEST_SUITE_P(Arguments, Quoting, ::testing::ValuesIn(kQuotingCases), RowName());

TEST(BuildCommandLine, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(framework::BuildCommandLine({"C:\\t\\tessaryn.exe", "D:\\ソ\\a b.3g2", "-mode:23", "-chkufr", ""}),
              "C:\\t\\tessaryn.exe \"D:\\ソ\\a b.3g2\" -mode:23 -chkufr \"\"");
}

struct RawCommandLineCase {
    const char* commandLine;
    const char* arguments;
};

std::ostream& operator<<(std::ostream& out, const RawCommandLineCase& row) { return out << row.commandLine; }

class RawCommandLine : public ::testing::TestWithParam<RawCommandLineCase> {};

TEST_P(RawCommandLine, IsWhatFollowsTheProgramName) {
    EXPECT_STREQ(framework::ArgumentsAfterProgramName(GetParam().commandLine), GetParam().arguments);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, RawCommandLine,
                         ::testing::Values(RawCommandLineCase{"frontend.exe", ""},
                                           RawCommandLineCase{"frontend.exe   D:\\a b.3g2", "D:\\a b.3g2"},
                                           RawCommandLineCase{"\"C:\\My Tools\\frontend.exe\" \"D:\\a.3g2\"",
                                                              "\"D:\\a.3g2\""},
                                           RawCommandLineCase{"\"C:\\表\\frontend.exe\"\t x", "x"},
                                           RawCommandLineCase{"\"C:\\unclosed", ""}));

}  // namespace
