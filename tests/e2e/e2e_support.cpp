#include "tests/e2e/e2e_support.h"

#include <sstream>

namespace e2e {

std::string modeOption(uint32_t flags) {
    uint32_t mode = (flags | ModeFlag::NO_SETTINGS_FILE) & ~ModeFlag::CHECK_HITKEY;
    return "-mode:" + std::to_string(mode);
}

testenv::ProcessResult runPacker(const std::vector<std::string>& arguments, const std::string& folder) {
    std::vector<std::string> argv = {TESSARYN_EXE};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    testenv::ProcessOptions options;
    options.workingDirectory = folder;
    options.environment = {{"SOURCE_DATE_EPOCH", std::to_string(kSourceDateEpoch)}, {"TZ", "UTC"}};
    return testenv::runProcess(argv, options);
}

bool printedLine(const testenv::ProcessResult& run, const std::string& line) {
    std::istringstream lines(run.out);
    std::string printed;
    while (std::getline(lines, printed)) {
        if (printed == line) return true;
    }
    return false;
}

}  // namespace e2e
