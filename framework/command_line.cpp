#include "framework/command_line.h"

#include "common/shift_jis.h"

namespace framework {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string QuoteArgument(const std::string& argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;  // backslashes just copied, still to be doubled if a quote follows
    for (std::size_t i = 0; i < argument.size(); ++i) {
        char c = argument[i];
        if (IsCp932LeadByte(static_cast<unsigned char>(c)) && i + 1 < argument.size()) {
            quoted += c;
            quoted += argument[++i];
            backslashes = 0;
        } else if (c == '\\') {
            quoted += c;
            ++backslashes;
        } else {
            if (c == '"') quoted.append(backslashes + 1, '\\');
            quoted += c;
            backslashes = 0;
        }
    }
    quoted.append(backslashes, '\\');  // so the closing quote stays a quote
    quoted += '"';
    return quoted;
}

const char* ArgumentsAfterProgramName(const char* commandLine) {
    const char* p = commandLine ? commandLine : "";
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p && !IsBlank(*p)) ++p;
    }
    while (IsBlank(*p)) ++p;
    return p;
}

}  // namespace framework
