// Paths as both programs take them apart: the one place that knows which
// characters end a folder.
#pragma once

#include <cstddef>
#include <string>

// Which characters end a folder, and how the bytes of a path are read.
enum class PathSeparators {
    // The system's own paths. On Windows the backslash alone, the path read
    // character by character in the ANSI code page: in code page 932 the second
    // byte of ソ, 表 or 能 is 0x5C. Elsewhere the slash, byte by byte (a UTF-8
    // character never holds one); a backslash there belongs to a name.
    Native,
    // A Windows path wherever it is read: the backslash and the slash, in the
    // ANSI code page.
    Windows,
    // The same, and the colon after a drive letter.
    WindowsAndDrive,
};

// Where the file name of `path` starts: just after its last separator; 0 when
// it has none.
std::size_t FileNameStart(const std::string& path, PathSeparators separators = PathSeparators::Native);

// The path up to and including its last separator; empty when it has none.
std::string FolderOfPath(const std::string& path);

// A file named `name` in the folder of `path` (just `name` when `path` has no folder).
std::string SiblingPath(const std::string& path, const std::string& name);

// The package's path for a music file: everything after the last "." of the
// path replaced by "kmf", or ".kmf" appended when it has no ".".
std::string DefaultOutputPath(const std::string& musicPath);
