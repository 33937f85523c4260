// The operating-system services the frontend needs, with one interface on both
// backends: real Win32 calls in framework/win32/, test-driven records in
// framework/headless/.
//
// Paths are CP932 texts of at most framework::kMaxPathBytes bytes; a longer one
// is refused (the call fails) rather than cut, wherever it comes from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/file.h"
#include "framework/win_types.h"

namespace framework {

// The running program's own file path.
bool GetModulePath(std::string& path);

// The four 16-bit parts of the fixed file version in the program's own version
// resource (0,5,1018,0 → {0, 5, 1018, 0}).
struct FileVersion {
    uint16_t parts[4];
};
bool GetOwnFileVersion(FileVersion& version);

// A modal message box; returns the button that closed it (IDOK for MB_OK).
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type);

struct FileFilter {
    std::string description;  // "KDDI Music File"
    std::string pattern;      // "*.kmf"
};

// A standard open or save dialog.
struct FileDialogRequest {
    std::string title;
    std::vector<FileFilter> filters;
    bool mustExist = false;           // open: only an existing file is accepted
    bool askBeforeOverwrite = false;  // save: an existing file is replaced only after asking
    std::string defaultExtension;     // save: appended to a name typed without one ("kmf")
    bool keepCurrentFolder = false;   // the process's current folder stays as it was, whatever folder is browsed
};

// True with the chosen path; false when the user cancelled or the path is too long.
bool ChooseFileToOpen(HWND owner, const FileDialogRequest& request, std::string& path);
bool ChooseFileToSave(HWND owner, const FileDialogRequest& request, std::string& path);

// The path of the first file of a drop (the others are ignored); the drop is
// released in every case. False when there is none or it is too long.
bool TakeFirstDroppedFile(HDROP drop, std::string& path);

// Starts `program` with the whole `commandLine` (its first item names the program
// again, see command_line.h) in a console of its own and returns at once; nothing
// waits for it or keeps a handle to it. An empty `program` lets the system find
// the program named first on the command line (as "notepad" is found).
bool StartDetachedProcess(const std::string& program, const std::string& commandLine);

// Starts the system's plain-text editor on one file and returns at once, as
// `notepad.exe "path"`: `quotedPath` is the path between double quotes. Where
// there is no notepad (POSIX), $VISUAL, else $EDITOR, else xdg-open is started
// with the path as its one argument. False when nothing could be started.
bool StartTextEditor(const std::string& quotedPath);

// The string resource `id` of the program, as CP932 text.
bool LoadStringResource(UINT id, std::string& text);

// The icon resource `id` of the program (an icon group in the .rc); null when there is none.
HICON LoadIconResource(UINT id);

}  // namespace framework
