#include "packer/command_line.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "packer/clip_names.h"
#include "packer/run_state.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool startsWith(const char* argument, const char* prefix) {
    return std::strncmp(argument, prefix, std::strlen(prefix)) == 0;
}

// Strips the quotes, then takes the name into the handset's code page, then
// cuts it to the slot's length on a character boundary, so that a quoted name
// of full length keeps all of its characters.
void nameClip(int number, const char* value) {
    std::vector<char> quoted(value, value + std::strlen(value) + 1);
    stripQuotes(quoted.data());
    std::string name;
    if (!toHandsetText(quoted.data(), &name))
        std::printf(" notice: clip %d name can't be converted to CP932; kept as given\n", number);
    ClipRange& clip = g_run.clips[number - 1];
    const std::size_t length = lengthAtCharacterBoundary(name, kMaxNameLength);
    std::memcpy(clip.name, name.data(), length);
    clip.name[length] = '\0';
    clip.state = ClipState::Enabled;
}

void applyOption(const char* argument) {
    if (startsWith(argument, "-o:")) {
        g_run.outputPath = std::string(argument + 3);
    } else if (startsWith(argument, "-mode:")) {
        g_run.modeFlags = readDecimal(argument + 6);
    } else if (startsWith(argument, "-jct:")) {
        g_run.jacketPath = std::string(argument + 5);
    } else if (startsWith(argument, "-wall:")) {
        g_run.wallpaperPath = std::string(argument + 6);
    } else if (startsWith(argument, "-chku1:")) {
        nameClip(1, argument + 7);
    } else if (startsWith(argument, "-chku2:")) {
        nameClip(2, argument + 7);
    } else if (startsWith(argument, "-chku3:")) {
        nameClip(3, argument + 7);
    } else if (startsWith(argument, "-chkufr")) {
        g_run.chkufrFlag |= 1;
    }
}

}  // namespace

const char* scanDecimal(const char* at, const char* end, uint32_t* value) {
    while (at < end && isBlank(*at)) ++at;
    const bool negative = at < end && *at == '-';
    if (at < end && (*at == '-' || *at == '+')) ++at;
    if (at >= end || !isDigit(*at)) return nullptr;
    uint32_t read = 0;
    for (; at < end && isDigit(*at); ++at) read = read * 10u + static_cast<uint32_t>(*at - '0');
    *value = negative ? 0u - read : read;
    return at;
}

uint32_t readDecimal(const char* text) {
    uint32_t value = 0;
    scanDecimal(text, text + std::strlen(text), &value);
    return value;
}

void stripQuotes(char* name) {
    if (name[0] != '"') return;
    std::size_t length = std::strlen(name);
    std::memmove(name, name + 1, length);  // the terminator moves along
    length -= 1;
    if (length > 0 && name[length - 1] == '"') name[length - 1] = '\0';
}

void readOptions(int argc, char* argv[]) {
    for (int i = 2; i < argc; ++i) {
        if (argv[i]) applyOption(argv[i]);
    }
}

std::string defaultOutputPath(const std::string& inputPath) {
    std::string::size_type lastDot = inputPath.rfind('.');
    if (lastDot == std::string::npos) return inputPath + ".kmf";
    return inputPath.substr(0, lastDot + 1) + "kmf";
}
