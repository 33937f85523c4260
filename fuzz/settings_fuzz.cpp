// Feeds arbitrary tessaryn.ini files to the settings reader: it may change only
// the four flag bits, the bitrate cap and a sound music member name.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_scratch.h"
#include "packer/run_state.h"
#include "packer/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetPackerRun();
    g_run.modeFlags = 0x30;
    fuzz::writeScratchFile("tessaryn.ini", data, size);
    const std::string program = fuzz::scratchFolder() + "/tessaryn";
    if (readSettings(program.c_str()) != 0) std::abort();
    if ((g_run.modeFlags & 0x30) != 0x30 || (g_run.modeFlags & ~0x3Fu) != 0) std::abort();
    const std::string& name = g_run.musicMemberName;
    if (name.empty() || name.size() > kMaxMemberNameLength) std::abort();
    return 0;
}
