// Which ring-tone clips config.txt defines: lines 4, 5 and 6 give clips 1, 2
// and 3, and a clip is there when its line holds anything.
#pragma once

#include <array>
#include <optional>

#include "common/package_layout.h"
#include "framework/file.h"

using ClipFlags = std::array<bool, kClipCount>;

// Flag k is set when line 4 + k of the file's first 4096 bytes is not empty.
// Lines are read as the packer reads them (common/clip_lines.h). Nothing when
// the file is not open.
std::optional<ClipFlags> ProbeConfigClips(framework::File& file);
