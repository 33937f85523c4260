#include "tests/tools/media_tools.h"

#include <sstream>

#include "tests/tools/process.h"

namespace testenv {

std::string missingPeers() {
    std::string missing;
    if (!programOnPath("ffmpeg")) missing += " ffmpeg";
    if (!programOnPath("tar")) missing += " tar";
    if (missing.empty()) return "";
    return "needs" + missing + " on the PATH (the full test command installs them)";
}

DecodedAudio decodeToPcm(const std::string& path) {
    ProcessResult result = runProcess({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "s16le", "-"});
    DecodedAudio decoded;
    decoded.ok = result.exitCode == 0 && !result.out.empty();
    decoded.error = result.err;
    decoded.pcm.assign(result.out.begin(), result.out.end());
    return decoded;
}

TarListing listWithTar(const std::string& archive) {
    ProcessOptions options;
    options.environment = {{"TZ", "UTC"}, {"LC_ALL", "C"}};
    ProcessResult result = runProcess({"tar", "-tvf", archive}, options);
    TarListing listing;
    listing.ok = result.exitCode == 0;
    listing.error = result.err;
    std::istringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) listing.lines.push_back(line);
    return listing;
}

std::string extractWithTar(const std::string& archive, const std::string& folder) {
    ProcessOptions options;
    options.environment = {{"LC_ALL", "C"}};
    ProcessResult result = runProcess({"tar", "-xf", archive, "-C", folder}, options);
    if (result.exitCode != 0) return "tar -xf exited with " + std::to_string(result.exitCode) + ": " + result.err;
    return result.err;
}

}  // namespace testenv
