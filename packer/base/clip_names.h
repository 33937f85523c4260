// Clip names as the handset reads them: code page 932 (Shift-JIS) text of at
// most 31 bytes in the ioed box.
#pragma once

#include <cstddef>
#include <string>

// The name in code page 932. Windows builds receive their arguments in the
// ANSI code page already and keep them; POSIX builds convert from UTF-8, the
// terminal's encoding. False when the name can't be converted (not UTF-8, or a
// character code page 932 lacks); `*converted` then holds the name as given.
bool ToHandsetText(const std::string& name, std::string* converted);

// A clip name read from an ioed box, in double quotes for a report line. The
// POSIX builds show it in UTF-8, the terminal's encoding: each code page 932
// character converted, and a byte that does not convert as \xNN, as are ASCII
// control bytes, the backslash and the double quote. The Windows builds show
// every byte that is not printable ASCII as \xNN.
std::string QuotedClipName(const std::string& name);
