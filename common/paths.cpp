#include "common/paths.h"

#include "common/shift_jis.h"

namespace {

bool IsSeparator(char c, PathSeparators separators) {
    switch (separators) {
        case PathSeparators::Native:
#ifdef _WIN32
            return c == '\\';
#else
            return c == '/';
#endif
        case PathSeparators::Windows: return c == '\\' || c == '/';
        case PathSeparators::WindowsAndDrive: return c == '\\' || c == '/' || c == ':';
    }
    return false;
}

}  // namespace

std::size_t FileNameStart(const std::string& path, PathSeparators separators) {
#ifndef _WIN32
    if (separators == PathSeparators::Native) return path.rfind('/') + 1;  // npos + 1 is 0
#endif
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsAnsiCodePageLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;  // the trail byte belongs to this character
        } else if (IsSeparator(path[i], separators)) {
            start = i + 1;
        }
    }
    return start;
}

std::string FolderOfPath(const std::string& path) { return path.substr(0, FileNameStart(path)); }

std::string SiblingPath(const std::string& path, const std::string& name) { return FolderOfPath(path) + name; }

std::string DefaultOutputPath(const std::string& musicPath) {
    const std::string::size_type lastDot = musicPath.rfind('.');
    if (lastDot == std::string::npos) return musicPath + ".kmf";
    return musicPath.substr(0, lastDot + 1) + "kmf";
}
