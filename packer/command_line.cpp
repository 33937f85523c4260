#include "packer/command_line.h"

#include <cstring>

#include "common/decimal.h"
#include "common/shift_jis.h"
#include "packer/base/clip_names.h"

namespace {

bool StartsWith(const char* argument, const char* prefix) {
    return std::strncmp(argument, prefix, std::strlen(prefix)) == 0;
}

// Strips the quotes, then takes the name into the handset's code page, then
// cuts it to the slot's length on a character boundary, so that a quoted name
// of full length keeps all of its characters.
void NameClip(CommandLine& line, int number, const char* value) {
    std::string name;
    if (!ToHandsetText(StripQuotes(value), &name)) line.namesKeptAsGiven.push_back(number);
    ClipRange& clip = line.clips[number - 1];
    const std::size_t length = LengthAtCharacterBoundary(name, kMaxClipNameLength);
    std::memcpy(clip.name, name.data(), length);
    clip.name[length] = '\0';
    clip.state = ClipState::Enabled;
}

void ApplyOption(CommandLine& line, const char* argument) {
    PackerOptions& options = line.options;
    if (StartsWith(argument, "-o:")) {
        options.outputPath = std::string(argument + 3);
    } else if (StartsWith(argument, "-mode:")) {
        options.modeFlags = ReadDecimal(argument + 6, DecimalOverflow::Wrap).value;
    } else if (StartsWith(argument, "-jct:")) {
        options.jacketPath = std::string(argument + 5);
    } else if (StartsWith(argument, "-wall:")) {
        options.wallpaperPath = std::string(argument + 6);
    } else if (StartsWith(argument, "-chku1:")) {
        NameClip(line, 1, argument + 7);
    } else if (StartsWith(argument, "-chku2:")) {
        NameClip(line, 2, argument + 7);
    } else if (StartsWith(argument, "-chku3:")) {
        NameClip(line, 3, argument + 7);
    } else if (StartsWith(argument, "-chkufr")) {
        options.freeToUse = true;
    }
}

}  // namespace

std::string StripQuotes(const std::string& name) {
    if (name.empty() || name[0] != '"') return name;
    std::string inner = name.substr(1);
    if (!inner.empty() && inner.back() == '"') inner.pop_back();
    return inner;
}

CommandLine ReadCommandLine(int argc, char* argv[]) {
    CommandLine line;
    if (argc >= 2 && argv[1]) line.options.inputPath = argv[1];
    for (int i = 2; i < argc; ++i) {
        if (argv[i]) ApplyOption(line, argv[i]);
    }
    return line;
}
