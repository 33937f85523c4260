// Clip names as the handset reads them: code page 932 (Shift-JIS) text of at
// most 31 bytes in the ioed box.
#pragma once

#include <cstddef>
#include <string>

// The name in code page 932. Windows builds receive their arguments in the
// ANSI code page already and keep them; POSIX builds convert from UTF-8, the
// terminal's encoding. False when the name can't be converted (not UTF-8, or a
// character code page 932 lacks); `*converted` then holds the name as given.
bool toHandsetText(const std::string& name, std::string* converted);

// How many of the first `limit` bytes of the code page 932 text to keep so
// that no double-byte character is cut in two.
std::size_t lengthAtCharacterBoundary(const std::string& text, std::size_t limit);
