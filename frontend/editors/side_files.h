// What the two forms share: reading description.txt or config.txt from the
// music file's folder and putting the confirmed text in its place.
#pragma once

#include <string>

// The file's first 4096 bytes (one read, as much as it gives); empty when the
// file is missing or can't be opened.
std::string ReadSideFile(const std::string& path);

// Replaces the file with `text`, which is stored as it stands (CP932, no
// conversion). Nothing is said when it fails: the old file then stays whole.
void WriteSideFile(const std::string& path, const std::string& text);
