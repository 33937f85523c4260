#include "packer/paths.h"

namespace paths {

std::string folderOfPath(const std::string& path) {
    std::string::size_type lastSeparator = path.rfind(kFolderSeparator);
    if (lastSeparator == std::string::npos) return std::string();
    return path.substr(0, lastSeparator + 1);
}

std::string siblingPath(const std::string& path, const std::string& name) { return folderOfPath(path) + name; }

}  // namespace paths
