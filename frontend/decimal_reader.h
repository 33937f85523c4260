// The frontend's one reader of decimal numbers found in files and replies.
#pragma once

#include <cstdint>

// Reads a decimal number from the characters `at` to `end` (no terminator
// needed) the way the C library's atoi does (leading blanks, an optional sign,
// digits up to the first non-digit; no digits give 0), except that it never
// overflows: a number above 4294967295 gives 4294967295 and a negative one 0.
uint32_t ReadDecimalSaturating(const char* at, const char* end);
