// Which ring-tone clips config.txt defines: lines 4, 5 and 6 give clips 1, 2
// and 3, and a clip is there when its line holds anything.
#pragma once

#include "common/package_layout.h"
#include "framework/file.h"

// Clears the three flags, then sets flag k when line 4 + k of the file's first
// 4096 bytes is not empty. Lines are read as the packer reads them: cut at the
// line feed, a carriage return before it dropped, cut at a zero byte; lines 4
// and 5 count only when they end in a line feed, line 6 may end the file.
// Returns 1 when the file is not open (the flags stay cleared), else 0.
int ProbeConfigClips(framework::File& file, int clipEnabled[kClipCount]);
