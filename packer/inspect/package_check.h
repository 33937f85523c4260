// `tessaryn --inspect PACKAGE.kmf`: reads a package the way the packer writes
// one and reports what it finds, ending with "ok" or the first problem. It
// only reads: no package, no temporary file, no settings file, no key wait.
#pragma once

#include <cstdio>
#include <string>

enum class CheckStatus {
    Sound,    // the last line is "ok"
    Problem,  // the last line is "problem: ..."
};

// Writes the report of the package at `path` to `out`; returns its status.
CheckStatus CheckPackage(const std::string& path, std::FILE* out);
