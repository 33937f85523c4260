// tessaryn.ini: optional key=value lines beside the program that change the
// default ModeFlags bits, the bitrate cap and the music member's name.
#pragma once

#include <string>

// Where the settings file is looked for: beside the program, or in the current
// folder when the program's path names no folder.
std::string settingsPath(const char* programPath);

// Reads the settings file into the run globals: 0 when it was opened (whatever
// its lines held), 1 when it can't be opened.
int readSettings(const char* programPath);
