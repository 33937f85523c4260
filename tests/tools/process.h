// Runs another program and captures what it prints. Standard input comes from
// /dev/null (or a given file), so a program that waits for a key never hangs a test.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testenv {

struct ProcessResult {
    int exitCode = -1;   // -1 when the program could not be started or was killed
    std::string out;     // everything written to standard output
    std::string err;     // everything written to standard error
};

struct ProcessOptions {
    std::vector<std::pair<std::string, std::string>> environment;  // added to (or replacing in) ours
    std::string workingDirectory;                                  // empty: ours
    std::string stdinPath = "/dev/null";
};

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// True when `name` is an executable file in one of the PATH folders.
bool programOnPath(const std::string& name);

}  // namespace testenv
