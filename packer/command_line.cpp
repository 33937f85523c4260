#include "packer/command_line.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/decimal.h"
#include "common/shift_jis.h"
#include "packer/clip_names.h"
#include "packer/run_state.h"

namespace {

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
    const std::size_t length = LengthAtCharacterBoundary(name, kMaxClipNameLength);
    std::memcpy(clip.name, name.data(), length);
    clip.name[length] = '\0';
    clip.state = ClipState::Enabled;
}

void applyOption(const char* argument) {
    if (startsWith(argument, "-o:")) {
        g_run.outputPath = std::string(argument + 3);
    } else if (startsWith(argument, "-mode:")) {
        g_run.modeFlags = ReadDecimal(argument + 6, DecimalOverflow::Wrap).value;
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
