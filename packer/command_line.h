// The packer's command line: its options, the clip-name quote rule, the decimal
// reading shared with the settings file and the clip lines, and the default
// output path.
#pragma once

#include <cstdint>
#include <string>

// Reads a decimal integer the way the packer's numbers are read: leading blanks
// are skipped, an optional sign is taken, digits are read up to the first
// non-digit; no digits give 0. The result wraps modulo 2^32, so "-1" gives
// 0xFFFFFFFF and an overlong number never traps.
uint32_t readDecimal(const char* text);

// The same reading over the characters from `at` up to `end`, which need no
// terminator. Returns where the digits stopped, or nullptr when no digit
// followed the blanks and sign (`*value` is then left alone).
const char* scanDecimal(const char* at, const char* end, uint32_t* value);

// Removes an opening double quote and, when there was one, a closing one too.
void stripQuotes(char* name);

// Applies the options from argv[2] on to the run globals; argv[1] is the input.
void readOptions(int argc, char* argv[]);

// The input path with everything after its last "." replaced by "kmf", or with
// ".kmf" appended when it has no ".".
std::string defaultOutputPath(const std::string& inputPath);
