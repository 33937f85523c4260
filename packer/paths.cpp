#include "packer/paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace paths {

namespace {

// Where the last folder separator stands, or npos. On Windows the path is in
// the ANSI code page and is walked character by character: in code page 932
// the second byte of ソ, 表 or 能 is 0x5C, the same byte as the backslash.
std::string::size_type lastSeparator(const std::string& path) {
#ifdef _WIN32
    std::string::size_type found = std::string::npos;
    for (std::string::size_type i = 0; i < path.size(); ++i) {
        if (path[i] == kFolderSeparator) {
            found = i;
        } else if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
            ++i;  // the trail byte belongs to this character
        }
    }
    return found;
#else
    return path.rfind(kFolderSeparator);
#endif
}

}  // namespace

std::string folderOfPath(const std::string& path) {
    std::string::size_type separator = lastSeparator(path);
    if (separator == std::string::npos) return std::string();
    return path.substr(0, separator + 1);
}

std::string siblingPath(const std::string& path, const std::string& name) { return folderOfPath(path) + name; }

}  // namespace paths
