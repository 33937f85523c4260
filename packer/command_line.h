// The packer's command line: its options, the clip-name quote rule and the
// default output path.
#pragma once

#include <cstdint>
#include <string>

// Removes an opening double quote and, when there was one, a closing one too.
void stripQuotes(char* name);

// Applies the options from argv[2] on to the run globals; argv[1] is the input.
void readOptions(int argc, char* argv[]);
