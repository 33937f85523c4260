// The operating-system shims over the Win32 API (ANSI functions: CP932 on a
// Japanese system).
#include "framework/platform.h"

#include <commdlg.h>
#include <process.h>
#include <shellapi.h>

#include <vector>

namespace framework {

namespace {

// Room for a path of kMaxPathBytes bytes and its terminating zero.
using PathBuffer = std::vector<char>;
PathBuffer NewPathBuffer() { return PathBuffer(kMaxPathBytes + 1, '\0'); }

// "description\0pattern\0...\0\0" as the file dialogs take it.
std::string FilterList(const std::vector<FileFilter>& filters) {
    std::string list;
    for (const FileFilter& filter : filters) {
        list += filter.description;
        list += '\0';
        list += filter.pattern;
        list += '\0';
    }
    return list;  // c_str() adds the final zero
}

DWORD FileDialogFlags(const FileDialogRequest& request) {
    DWORD flags = OFN_EXPLORER;
    if (request.keepCurrentFolder) flags |= OFN_NOCHANGEDIR;
    if (request.mustExist) flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (request.askBeforeOverwrite) flags |= OFN_OVERWRITEPROMPT;
    return flags;
}

bool RunFileDialog(bool save, HWND owner, const FileDialogRequest& request, std::string& path) {
    path.clear();
    PathBuffer name = NewPathBuffer();
    std::string filters = FilterList(request.filters);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.empty() ? nullptr : filters.c_str();
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrTitle = request.title.c_str();
    dialog.Flags = FileDialogFlags(request);
    dialog.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
    // Fails on cancel, and when the chosen name does not fit the buffer.
    if (!(save ? ::GetSaveFileNameA(&dialog) : ::GetOpenFileNameA(&dialog))) return false;
    path = name.data();
    return true;
}

}  // namespace

bool GetModulePath(std::string& path) {
    PathBuffer buffer = NewPathBuffer();
    DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    bool fits = length > 0 && length < buffer.size();  // a cut path fills the buffer
    path = fits ? buffer.data() : "";
    return fits;
}

bool GetOwnFileVersion(FileVersion& version) {
    std::string path;
    if (!GetModulePath(path)) return false;
    DWORD unused = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &unused);
    if (size == 0) return false;
    std::vector<char> block(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixedSize < sizeof *fixed) {
        return false;
    }
    version = FileVersion{{HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                           HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)}};
    return true;
}

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    return ::MessageBoxA(owner, text, caption, type);
}

bool ChooseFileToOpen(HWND owner, const FileDialogRequest& request, std::string& path) {
    return RunFileDialog(false, owner, request, path);
}

bool ChooseFileToSave(HWND owner, const FileDialogRequest& request, std::string& path) {
    return RunFileDialog(true, owner, request, path);
}

bool TakeFirstDroppedFile(HDROP drop, std::string& path) {
    path.clear();
    UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    UINT length = count > 0 ? ::DragQueryFileA(drop, 0, nullptr, 0) : 0;
    bool fits = length > 0 && length <= kMaxPathBytes;
    if (fits) {
        PathBuffer buffer = NewPathBuffer();
        ::DragQueryFileA(drop, 0, buffer.data(), static_cast<UINT>(buffer.size()));
        path = buffer.data();
    }
    ::DragFinish(drop);
    return fits;
}

bool StartDetachedProcess(const std::string& program, const std::string& commandLine) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');  // CreateProcessA may write into the command line
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(program.empty() ? nullptr : program.c_str(), line.data(), nullptr, nullptr, FALSE,
                          CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

// notepad found along the program search path; its handle is not kept.
bool StartTextEditor(const std::string& quotedPath) {
    const intptr_t process = ::_spawnlp(_P_NOWAIT, "notepad", "notepad.exe", quotedPath.c_str(), nullptr);
    if (process == -1) return false;
    ::CloseHandle(reinterpret_cast<HANDLE>(process));
    return true;
}

bool LoadStringResource(UINT id, std::string& text) {
    // A string resource holds at most 65535 characters; grow until the string fits whole.
    for (std::size_t size = 256; size <= 0x20000; size *= 2) {
        std::vector<char> buffer(size, '\0');
        int length = ::LoadStringA(::GetModuleHandleA(nullptr), id, buffer.data(), static_cast<int>(size));
        if (length <= 0) return false;
        if (static_cast<std::size_t>(length) + 1 < size) {
            text.assign(buffer.data(), static_cast<std::size_t>(length));
            return true;
        }
    }
    return false;
}

HICON LoadIconResource(UINT id) { return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id)); }

}  // namespace framework
