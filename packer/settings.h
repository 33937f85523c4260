// tessaryn.ini: optional key=value lines beside the program that change the
// default ModeFlags bits, the bitrate cap and the music member's name.
#pragma once

#include <string>

#include "packer/base/options.h"

enum class SettingsFile { Read, NotFound };

// Where the settings file is looked for: beside the program, or in the current
// folder when the program's path names no folder.
std::string SettingsPath(const char* programPath);

// Applies the settings file's lines to `options`. Read when it was opened,
// whatever its lines held.
SettingsFile ReadSettings(const char* programPath, PackerOptions& options);
