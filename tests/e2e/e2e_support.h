// What both end-to-end suites share: running the built packer the way a user
// runs it (but never waiting for a key), and the mode words they pass.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packer/run_state.h"
#include "tests/tools/process.h"

namespace e2e {

// Member header times of every run; packages made with it are reproducible.
constexpr uint32_t kSourceDateEpoch = 1700000000;

// "-mode:N" with the given ADD_MFRA / ADD_IOED / REFRAGMENT bits, the settings
// file off (a tessaryn.ini on the machine must not change a test) and no key wait.
std::string modeOption(uint32_t flags);

// Runs the packer in `folder` with stdin from /dev/null, SOURCE_DATE_EPOCH and TZ=UTC set.
testenv::ProcessResult runPacker(const std::vector<std::string>& arguments, const std::string& folder);

// True when the run printed exactly this line (without its line feed).
bool printedLine(const testenv::ProcessResult& run, const std::string& line);

}  // namespace e2e
