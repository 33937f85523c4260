// Feeds arbitrary tessaryn.ini files to the settings reader: it may change only
// the four flag bits, the bitrate cap and a sound music member name.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_scratch.h"
#include "packer/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PackerOptions options;
    options.modeFlags = 0x30;
    fuzz::writeScratchFile("tessaryn.ini", data, size);
    const std::string program = fuzz::scratchFolder() + "/tessaryn";
    if (ReadSettings(program.c_str(), options) != SettingsFile::Read) std::abort();
    if ((options.modeFlags & 0x30) != 0x30 || (options.modeFlags & ~0x3Fu) != 0) std::abort();
    const std::string& name = options.musicMemberName;
    if (name.empty() || name.size() > kMaxMemberNameLength) std::abort();
    return 0;
}
