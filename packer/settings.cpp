#include "packer/settings.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/decimal.h"
#include "common/paths.h"
#include "packer/file_io.h"
#include "packer/run_state.h"

namespace {

constexpr int kLineBufferSize = 512;  // one read takes at most 511 characters
constexpr int kMaxReads = 100;

// A byte counts as blank when, taken as a signed 8-bit number, it is at most 32:
// blanks, control characters, and every byte from 0x80 on.
bool isBlankByte(char c) { return static_cast<int8_t>(c) <= 32; }

void trimTrailingBlanks(char* line) {
    std::size_t length = std::strlen(line);
    while (length > 0 && isBlankByte(line[length - 1])) line[--length] = '\0';
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool keyIs(const char* key, const char* known) {
    for (; *key && *known; ++key, ++known) {
        if (lowerAscii(*key) != lowerAscii(*known)) return false;
    }
    return *key == '\0' && *known == '\0';
}

bool isYes(const char* value) { return value[0] == '1' || value[0] == 'Y' || value[0] == 'y'; }

void setModeFlag(uint32_t flag, const char* value) {
    if (isYes(value)) {
        g_run.modeFlags |= flag;
    } else {
        g_run.modeFlags &= ~flag;
    }
}

// A member name must fit the header and its index.txt line; others are ignored.
void setMusicMemberName(const char* value) {
    std::size_t length = std::strlen(value);
    if (length == 0 || length > kMaxMemberNameLength) return;
    g_run.musicMemberName = value;
}

void applySetting(const char* key, const char* value) {
    struct FlagKey {
        const char* key;
        uint32_t flag;
    };
    static const FlagKey flagKeys[] = {
        {"ADD_MFRA", ModeFlag::ADD_MFRA},
        {"ADD_IOED", ModeFlag::ADD_IOED},
        {"CHECK_HITKEY", ModeFlag::CHECK_HITKEY},
        {"REFRAGMENT", ModeFlag::REFRAGMENT},
    };
    for (const FlagKey& flagKey : flagKeys) {
        if (keyIs(key, flagKey.key)) {
            setModeFlag(flagKey.flag, value);
            return;
        }
    }
    if (keyIs(key, "CAMOUFLAGE_BITRATE")) {
        g_run.camouflageBitrate = ReadDecimal(value, DecimalOverflow::Wrap).value;
    } else if (keyIs(key, "MUSIC_FILENAME")) {
        setMusicMemberName(value);
    }
}

enum class LineResult { Continue, Stop };

LineResult readSettingLine(char* line) {
    trimTrailingBlanks(line);
    if (line[0] == '\0' || isBlankByte(line[0]) || line[0] == '#') return LineResult::Continue;
    if (line[0] == '*') return LineResult::Stop;
    char* equals = std::strchr(line, '=');
    if (!equals) return LineResult::Continue;
    *equals = '\0';
    applySetting(line, equals + 1);
    return LineResult::Continue;
}

}  // namespace

std::string settingsPath(const char* programPath) {
    return SiblingPath(programPath ? programPath : "", "tessaryn.ini");
}

int readSettings(const char* programPath) {
    // A folder, a device or a named pipe of that name is not a settings file,
    // and opening a pipe would wait for a writer.
    const std::string path = settingsPath(programPath);
    if (!isRegularFileAt(path)) return 1;
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return 1;
    if (!isRegularFile(file)) {  // replaced by something else since it was looked at
        std::fclose(file);
        return 1;
    }
    char line[kLineBufferSize];
    for (int reads = 0; reads < kMaxReads && std::fgets(line, sizeof line, file); ++reads) {
        if (readSettingLine(line) == LineResult::Stop) break;
    }
    std::fclose(file);
    return 0;
}
