#include "packer/settings.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/decimal.h"
#include "common/paths.h"
#include "packer/base/files.h"

namespace {

constexpr int kLineBufferSize = 512;  // one read takes at most 511 characters
constexpr int kMaxReads = 100;

// A byte counts as blank when, taken as a signed 8-bit number, it is at most 32:
// blanks, control characters, and every byte from 0x80 on.
bool IsBlankByte(char c) { return static_cast<int8_t>(c) <= 32; }

void TrimTrailingBlanks(char* line) {
    std::size_t length = std::strlen(line);
    while (length > 0 && IsBlankByte(line[length - 1])) line[--length] = '\0';
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool KeyIs(const char* key, const char* known) {
    for (; *key && *known; ++key, ++known) {
        if (LowerAscii(*key) != LowerAscii(*known)) return false;
    }
    return *key == '\0' && *known == '\0';
}

bool IsYes(const char* value) { return value[0] == '1' || value[0] == 'Y' || value[0] == 'y'; }

void SetModeFlag(PackerOptions& options, uint32_t flag, const char* value) {
    if (IsYes(value)) {
        options.modeFlags |= flag;
    } else {
        options.modeFlags &= ~flag;
    }
}

// A member name must fit the header and its index.txt line; others are ignored.
void SetMusicMemberName(PackerOptions& options, const char* value) {
    std::size_t length = std::strlen(value);
    if (length == 0 || length > kMaxMemberNameLength) return;
    options.musicMemberName = value;
}

struct FlagKey {
    const char* key;
    uint32_t flag;
};
const FlagKey kFlagKeys[] = {
    {"ADD_MFRA", ModeFlag::ADD_MFRA},
    {"ADD_IOED", ModeFlag::ADD_IOED},
    {"CHECK_HITKEY", ModeFlag::CHECK_HITKEY},
    {"REFRAGMENT", ModeFlag::REFRAGMENT},
};

void ApplySetting(PackerOptions& options, const char* key, const char* value) {
    for (const FlagKey& flagKey : kFlagKeys) {
        if (KeyIs(key, flagKey.key)) {
            SetModeFlag(options, flagKey.flag, value);
            return;
        }
    }
    if (KeyIs(key, "CAMOUFLAGE_BITRATE")) {
        options.camouflageBitrate = ReadDecimal(value, DecimalOverflow::Wrap).value;
    } else if (KeyIs(key, "MUSIC_FILENAME")) {
        SetMusicMemberName(options, value);
    }
}

enum class LineResult { Continue, Stop };

LineResult ReadSettingLine(PackerOptions& options, char* line) {
    TrimTrailingBlanks(line);
    if (line[0] == '\0' || IsBlankByte(line[0]) || line[0] == '#') return LineResult::Continue;
    if (line[0] == '*') return LineResult::Stop;
    char* equals = std::strchr(line, '=');
    if (!equals) return LineResult::Continue;
    *equals = '\0';
    ApplySetting(options, line, equals + 1);
    return LineResult::Continue;
}

}  // namespace

std::string SettingsPath(const char* programPath) {
    return SiblingPath(programPath ? programPath : "", "tessaryn.ini");
}

SettingsFile ReadSettings(const char* programPath, PackerOptions& options) {
    // A folder, a device or a named pipe of that name is not a settings file,
    // and opening a pipe would wait for a writer.
    const std::string path = SettingsPath(programPath);
    if (!IsRegularFileAt(path)) return SettingsFile::NotFound;
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return SettingsFile::NotFound;
    if (!IsRegularFile(file)) {  // replaced by something else since it was looked at
        std::fclose(file);
        return SettingsFile::NotFound;
    }
    char line[kLineBufferSize];
    for (int reads = 0; reads < kMaxReads && std::fgets(line, sizeof line, file); ++reads) {
        if (ReadSettingLine(options, line) == LineResult::Stop) break;
    }
    std::fclose(file);
    return SettingsFile::Read;
}
