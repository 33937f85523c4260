// What a run of the packer is asked to do: the command line's options, then
// tessaryn.ini's keys over them. The driver owns the value and hands the
// conditioner what it reads of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/mode_flags.h"
#include "common/package_layout.h"

constexpr uint32_t kDefaultModeFlags = 14;
constexpr uint32_t kDefaultCamouflageBitrate = 48000;

// The one buffer a run works in; it also bounds what a member may hold.
constexpr std::size_t kWorkBufferSize = 0x600000;
constexpr uint32_t kMaxMemberSourceSize = 0x5FF000;

struct PackerOptions {
    uint32_t modeFlags = kDefaultModeFlags;
    uint32_t camouflageBitrate = 0;  // 0 until settled: tessaryn.ini's value, else 48000
    bool freeToUse = false;          // -chkufr: the track may be used whole
    std::string musicMemberName = kDefaultMusicName;
    std::string inputPath;
    std::optional<std::string> outputPath;     // -o:
    std::optional<std::string> jacketPath;     // -jct:
    std::optional<std::string> wallpaperPath;  // -wall:

    bool Has(uint32_t flag) const { return (modeFlags & flag) != 0; }
};
