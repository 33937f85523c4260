// The packer's command line: the music file first, then options recognised by
// their prefix, a later one overriding an earlier one.
#pragma once

#include <string>
#include <vector>

#include "packer/base/clip_range.h"
#include "packer/base/options.h"

struct CommandLine {
    PackerOptions options;
    ClipRanges clips{};                 // named and enabled by -chku1: to -chku3:
    std::vector<int> namesKeptAsGiven;  // clips whose name has no code page 932 form
};

// Without an opening double quote the name as it is; else without it and
// without a closing one.
std::string StripQuotes(const std::string& name);

// argv[1] is the music file; the options are looked for from argv[2] on.
CommandLine ReadCommandLine(int argc, char* argv[]);
