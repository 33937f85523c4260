// Windows command lines: one string that the started program's C runtime splits
// back into its argument vector. QuoteArgument writes an argument that splits
// back whole, for CP932 text.
//
// The C runtime's rules: blanks and tabs separate arguments outside double
// quotes; a double quote opens or closes a quoted part; 2n backslashes before a
// double quote stand for n backslashes, 2n+1 for n backslashes and a literal
// double quote; other backslashes are literal. A double-byte character is read
// whole, so its second byte is never a backslash even when it is 0x5C (ソ, 表).
// The program name (the first item) is read more simply: up to the next double
// quote when it starts with one, else up to the first blank.
#pragma once

#include <string>

namespace framework {

// `argument` between double quotes, with its double quotes and the backslashes
// before them (and at its end) escaped. May follow a plain prefix: "-o:" + it.
std::string QuoteArgument(const std::string& argument);

// What follows the program name (and the blanks after it) in a whole command
// line: the part a dialog program is given as its raw command line.
const char* ArgumentsAfterProgramName(const char* commandLine);

}  // namespace framework
