// Feeds arbitrary bytes to the package check (tessaryn --inspect), once as a package and once as a bare music
// track, so that the track reader meets hostile boxes without the package's checksums in the way. On every
// input the check must end, report 0 with "ok" as its last line or 1 with "problem: ..." as its last line
// (and no such verdict before it), keep every line printable (ASCII, but for clip names, which POSIX builds
// show in UTF-8), and leave the package file as it was.
#include <stdio.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_scratch.h"
#include "packer/inspect/package_check.h"
#include "packer/inspect/track_check.h"

namespace {

bool IsVerdict(const std::string& line) { return line == "ok" || line.compare(0, 9, "problem: ") == 0; }

// Whole lines without control bytes, only the last of them a verdict, and that one the status's.
void ExpectVerdict(const std::string& report, CheckStatus status) {
    if (report.empty() || report.back() != '\n') std::abort();
    for (char c : report) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte != '\n' && (byte < 0x20 || byte == 0x7F)) std::abort();
    }
    std::string last;
    for (size_t start = 0, end; (end = report.find('\n', start)) != std::string::npos; start = end + 1) {
        last = report.substr(start, end - start);
        if (end + 1 < report.size() && IsVerdict(last)) std::abort();
    }
    if (!IsVerdict(last) || status != (last == "ok" ? CheckStatus::Sound : CheckStatus::Problem)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = fuzz::writeScratchFile("package.kmf", data, size);
    CheckStatus status = CheckStatus::Problem;
    ExpectVerdict(fuzz::writtenText([&](FILE* out) { status = CheckPackage(path, out); }), status);
    if (fuzz::readWholeFile(path) != bytes) std::abort();
    ExpectVerdict(fuzz::writtenText([&](FILE* out) {
        CheckReport report(out);
        const bool sound = CheckMusicTrack(std::vector<uint8_t>(data, data + size), report);
        if (sound == report.Failed()) std::abort();
        report.Finish();
        status = sound ? CheckStatus::Sound : CheckStatus::Problem;
    }), status);
    return 0;
}
