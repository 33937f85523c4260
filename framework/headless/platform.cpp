// The operating-system shims, answered from what the test set and recorded for
// it to read back.
#include "framework/platform.h"

#include "framework/headless/state.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#endif

namespace framework {

namespace {

using headless::TheState;

bool FitsPathBuffer(const std::string& path) { return path.size() <= kMaxPathBytes; }

bool RecordFileDialog(bool save, HWND owner, const FileDialogRequest& request, std::string& path) {
    headless::State& state = TheState();
    state.fileDialogs.push_back({save, owner, request});
    path.clear();
    if (state.fileAnswers.empty()) return false;
    std::optional<std::string> answer = std::move(state.fileAnswers.front());
    state.fileAnswers.pop_front();
    if (!answer || !FitsPathBuffer(*answer)) return false;  // the real dialog refuses a name its buffer can't hold
    path = *answer;
    return true;
}

#ifndef _WIN32
// The first of $VISUAL, $EDITOR and xdg-open. The variables may hold options
// ("emacsclient -n"), so the shell reads them, with the path as its own argument.
std::string EditorCommand() {
    for (const char* variable : {"VISUAL", "EDITOR"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return value;
    }
    return "xdg-open";
}

// Runs the editor in a grandchild, so nothing waits for it and no zombie stays.
bool StartEditorDetached(const std::string& path) {
    const std::string script = EditorCommand() + " \"$1\"";
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        if (::fork() == 0) {
            ::execl("/bin/sh", "sh", "-c", script.c_str(), "sh", path.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::_exit(0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}
#endif

}  // namespace

bool GetModulePath(std::string& path) {
    path = TheState().modulePath;
    if (!path.empty() && FitsPathBuffer(path)) return true;
    path.clear();
    return false;
}

bool GetOwnFileVersion(FileVersion& version) {
    if (!TheState().fileVersion) return false;
    version = *TheState().fileVersion;
    return true;
}

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    TheState().messageBoxes.push_back({owner, text ? text : "", caption ? caption : "", type});
    return IDOK;
}

bool ChooseFileToOpen(HWND owner, const FileDialogRequest& request, std::string& path) {
    return RecordFileDialog(false, owner, request, path);
}

bool ChooseFileToSave(HWND owner, const FileDialogRequest& request, std::string& path) {
    return RecordFileDialog(true, owner, request, path);
}

bool TakeFirstDroppedFile(HDROP drop, std::string& path) {
    path.clear();
    auto it = TheState().drops.find(drop);
    if (it == TheState().drops.end()) return false;
    std::vector<std::string> paths = std::move(it->second);
    TheState().drops.erase(it);
    if (paths.empty() || !FitsPathBuffer(paths.front())) return false;
    path = paths.front();
    return true;
}

bool StartDetachedProcess(const std::string& program, const std::string& commandLine) {
    TheState().processes.push_back({program, commandLine});
    return true;
}

// Recorded as the Windows build starts notepad; on POSIX the editor is started too.
bool StartTextEditor(const std::string& quotedPath) {
    TheState().processes.push_back({"notepad", "notepad.exe " + quotedPath});
#ifdef _WIN32
    return true;
#else
    const bool quoted = quotedPath.size() >= 2 && quotedPath.front() == '"' && quotedPath.back() == '"';
    return StartEditorDetached(quoted ? quotedPath.substr(1, quotedPath.size() - 2) : quotedPath);
#endif
}

bool LoadStringResource(UINT id, std::string& text) {
    auto it = TheState().strings.find(id);
    if (it == TheState().strings.end()) return false;
    text = it->second;
    return true;
}

// Every ID has an icon; the same ID gives the same handle.
HICON LoadIconResource(UINT id) { return reinterpret_cast<HICON>(static_cast<uintptr_t>(0x10000 + id)); }

}  // namespace framework

#ifndef _WIN32
int GetSystemMetrics(int index) { return index == SM_CXICON || index == SM_CYICON ? 32 : 0; }
#endif
