// Code page 932 (Shift-JIS): the text of the handset and of a Japanese Windows.
// A double-byte character is a lead byte and the byte after it, which may be a
// backslash (0x5C, the second byte of ソ, 表 and 能) or another ASCII byte.
#pragma once

#include <cstddef>
#include <string>

// True for the first byte of a double-byte character in code page 932.
bool IsCp932LeadByte(unsigned char value);

// True for the first byte of a double-byte character in the ANSI code page,
// the one paths are written in. On Windows that is the system's own code page
// (on a European Windows no byte is one: 0xE9 is a whole 'é'); elsewhere code
// page 932, as the headless frontend stands for a Japanese Windows.
bool IsAnsiCodePageLeadByte(unsigned char value);

// How many of the first `limit` bytes of the code page 932 text to keep so
// that no double-byte character is cut in two.
std::size_t LengthAtCharacterBoundary(const std::string& text, std::size_t limit);
