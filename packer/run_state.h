// The packer's run globals: everything one run of the packer reads and changes,
// kept together in one struct so that tests can reset it between runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/mode_flags.h"
#include "common/package_layout.h"

constexpr uint32_t kDefaultModeFlags = 14;
constexpr uint32_t kDefaultCamouflageBitrate = 48000;

// The one buffer the whole run works in; it also bounds what a member may hold.
constexpr std::size_t kWorkBufferSize = 0x600000;
constexpr uint32_t kMaxMemberSourceSize = 0x5FF000;

// One row of the fixed member table; the table order is the package order.
struct MemberSlot {
    int32_t size = 0;    // data length in the package; 0 = absent
    int32_t offset = 0;  // header position minus 1024
    std::string sourcePath;
    std::string name;
    std::string mimeType;
    MemberKind kind = MemberKind::End;
};

// A ring-tone clip: named by an option, timed by config.txt, located by the conditioner.
struct ClipRange {
    char name[kClipNameFieldSize] = {};
    uint32_t start = 0;   // milliseconds, later samples
    uint32_t length = 0;  // milliseconds, later samples
    uint32_t boxOffset = 0;
    uint8_t trackFragment = 1;  // 1-based, in a moof; 1 in a movie box
    uint8_t runNumber = 0;
    uint8_t sampleNumber = 0;
    int8_t state = 0;
};

namespace ClipState {
constexpr int8_t Unused = 0;
constexpr int8_t Enabled = 1;
constexpr int8_t Located = 2;
constexpr int8_t OutOfReach = 3;  // starts where the ioed slot's one-byte numbers can't name it
}  // namespace ClipState

struct PackerRun {
    uint32_t modeFlags = kDefaultModeFlags;
    uint32_t camouflageBitrate = 0;
    uint32_t chkufrFlag = 0;
    std::string musicMemberName = kDefaultMusicName;
    ClipRange clips[kClipCount] = {};
    bool clipRangesConverted = false;  // milliseconds become samples once per process

    // From the command line.
    std::string inputPath;
    std::optional<std::string> outputPath;     // -o:
    std::optional<std::string> jacketPath;     // -jct:
    std::optional<std::string> wallpaperPath;  // -wall:

    std::vector<MemberSlot> members;
    std::unique_ptr<uint8_t[]> workBuffer;

    bool hasMode(uint32_t flag) const { return (modeFlags & flag) != 0; }
};

extern PackerRun g_run;

// Puts every global back to its start value (the WorkBuffer is released).
void resetPackerRun();
