// config.txt's clip lines: lines 4 to 6 give the time ranges of clips 1 to 3 as
// "start seconds.milliseconds,end seconds.milliseconds".
#pragma once

#include <array>
#include <cstdint>

#include "common/package_layout.h"

// One clip line of config.txt as the packer reads it: without its line end (a
// CR before the LF dropped), cut at a zero byte as a C string would be.
struct ClipLine {
    bool present = false;  // false when the file ends before the line
    uint32_t begin = 0;
    uint32_t length = 0;
};

// Lines 4 to 6 of the given bytes. Lines 1 to 5 count only when they end in a
// line feed; line 6 may end the file. The frontend reads the lines by this rule
// too, so it offers exactly the clips the packer will find.
std::array<ClipLine, kClipCount> FindClipLines(const uint8_t* bytes, uint32_t count);

// The four numbers of a clip line read by the pattern "%u.%u,%u.%u": each read
// as the packer reads every decimal; numbers past the first mismatch stay 0.
struct ClipLineNumbers {
    uint32_t startSeconds = 0;
    uint32_t startMilliseconds = 0;
    uint32_t endSeconds = 0;
    uint32_t endMilliseconds = 0;
};
ClipLineNumbers ScanClipLine(const uint8_t* bytes, ClipLine line);
