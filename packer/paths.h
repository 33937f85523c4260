// Folder rules for the packer's paths. This is the one place that knows which
// character separates folders: the backslash on Windows, the slash elsewhere.
#pragma once

#include <string>

namespace paths {

#ifdef _WIN32
constexpr char kFolderSeparator = '\\';
#else
constexpr char kFolderSeparator = '/';
#endif

// The path up to and including its last folder separator; empty when it has none.
std::string folderOfPath(const std::string& path);

// A file named `name` in the folder of `path` (just `name` when `path` has no folder).
std::string siblingPath(const std::string& path, const std::string& name);

}  // namespace paths
