// dialog_driver: drives a running dialog program from outside, one command per
// run, for tests/wine/frontend_under_wine.sh.
//
//   dialog_driver [-t SECONDS] COMMAND ARGUMENTS...
//
// A window is named by its exact title and looked for among the visible
// top-level windows for up to SECONDS (default 10). Texts on the command line
// and on standard output are UTF-8 (the tool works in UTF-16 inside), so a
// script compares them with its own literals whatever code page the target
// uses. Commands:
//   wait TITLE            returns once the window is there
//   gone TITLE            returns once no such window is left
//   text TITLE ID         the text of control ID (WM_GETTEXT)
//   check TITLE ID        its check state (BM_GETCHECK: 0, 1 or 2)
//   enabled TITLE [ID]    1 when it (or the window itself) is enabled, else 0
//   click TITLE ID        posts BM_CLICK to it, so a modal window it opens cannot block us
//   type TITLE ID TEXT    replaces the control's text (WM_SETTEXT), as typing over it does
//   focus TITLE           the ID of the window's control that has the keyboard focus
//   msgbox TITLE          the text of the message box titled TITLE; then presses its OK
//   drop TITLE PATH       drops the file on the window (WM_DROPFILES)
//   xid TITLE             the X11 window that Wine made for it (for xwd -id)
//   key EXE               types a key into the console of the running program EXE
//                         (its file name), waits for it to end and prints its exit code
// Exit code 0 on success, 1 when a window, control or process is not found in
// time, 2 for a command line it does not understand.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace {

DWORD g_timeoutMs = 10000;

std::string Utf8(const std::wstring& text) {
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// Prints one line; returns 0, the exit code of a command that answered.
int Print(const std::wstring& text) {
    std::fputs((Utf8(text) + "\n").c_str(), stdout);
    return 0;
}

int Fail(const std::wstring& why) {
    std::fprintf(stderr, "dialog_driver: %s\n", Utf8(why).c_str());
    return 1;
}

// A message sent to another process's window, given up after five seconds if it hangs.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT rather than GetWindowText: the latter does not ask controls of another process.
    LRESULT length = Send(window, WM_GETTEXTLENGTH, 0, 0);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    Send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return buffer.data();
}

// The visible top-level window titled `title`; null when there is none.
HWND FindTitled(const std::wstring& title) {
    std::pair<const std::wstring*, HWND> search{&title, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM found) -> BOOL {
            auto* wanted = reinterpret_cast<std::pair<const std::wstring*, HWND>*>(found);
            if (::IsWindowVisible(window) && WindowText(window) == *wanted->first) wanted->second = window;
            return wanted->second == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// Calls `found` every 100 ms until it gives a non-null value or the time is up.
template <typename T, typename F>
T Poll(F found) {
    for (DWORD waited = 0;; waited += 100) {
        if (T value = found()) return value;
        if (waited >= g_timeoutMs) return T{};
        ::Sleep(100);
    }
}

// The text of a message box: its static control with text (the icon's is empty).
std::wstring MessageText(HWND box) {
    std::wstring text;
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM out) -> BOOL {
            std::wstring* found = reinterpret_cast<std::wstring*>(out);
            wchar_t kind[16] = L"";
            ::GetClassNameW(child, kind, 16);
            if (_wcsicmp(kind, L"Static") == 0) *found = WindowText(child);
            return found->empty();
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

// The drop handle a program gets from the shell is a block of its own memory
// that DragQueryFile reads through GlobalLock. We allocate pages in the target,
// write a DROPFILES block with the wide file name into them and post its
// address as the handle: GlobalLock returns a fixed (non-handle, aligned)
// address as it is, in Wine as in Windows. The block starts 64 bytes into the
// pages, so that DragFinish's GlobalFree, which looks at the heap header in
// front of it, reads zeros there and only fails. The pages stay behind.
bool DropFile(HWND window, const std::wstring& path) {
    // The name and the empty name that ends the list, after the header.
    std::vector<char> block(64 + sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t), '\0');
    DROPFILES* header = reinterpret_cast<DROPFILES*>(block.data() + 64);
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(header + 1, path.c_str(), path.size() * sizeof(wchar_t));
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return false;
    char* remote = static_cast<char*>(
        ::VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    bool written = remote && ::WriteProcessMemory(process, remote, block.data(), block.size(), nullptr);
    ::CloseHandle(process);
    return written && ::PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote + 64), 0);
}

DWORD FindProcess(const std::wstring& exe) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD pid = 0;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !pid; more = ::Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, exe.c_str()) == 0) pid = entry.th32ProcessID;
    }
    ::CloseHandle(snapshot);
    return pid;
}

// Types one key into the console of process `pid` (the packer's key wait at its end).
bool TypeKey(DWORD pid) {
    ::FreeConsole();
    if (!::AttachConsole(pid)) return false;
    HANDLE input = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    INPUT_RECORD keys[2]{};  // the space bar pressed and released
    for (int i = 0; i < 2; ++i) {
        keys[i].EventType = KEY_EVENT;
        keys[i].Event.KeyEvent = {i == 0, 1, VK_SPACE, 0, {L' '}, 0};
    }
    DWORD written = 0;
    bool typed = input != INVALID_HANDLE_VALUE && ::WriteConsoleInputW(input, keys, 2, &written) && written == 2;
    if (input != INVALID_HANDLE_VALUE) ::CloseHandle(input);
    ::FreeConsole();
    return typed;
}

int Key(const std::wstring& exe) {
    DWORD pid = Poll<DWORD>([&] { return FindProcess(exe); });
    if (!pid) return Fail(L"no running " + exe);
    HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    // The process is listed before its console exists; typing waits for it.
    if (!process || !Poll<bool>([&] { return TypeKey(pid); })) return Fail(L"cannot type into the console of " + exe);
    DWORD code = STILL_ACTIVE;
    if (::WaitForSingleObject(process, g_timeoutMs) != WAIT_OBJECT_0 || !::GetExitCodeProcess(process, &code)) {
        return Fail(exe + L" did not end");
    }
    return Print(std::to_wstring(code));
}

int Run(const std::vector<std::wstring>& args) {
    const std::wstring& command = args[0];
    if (command == L"key" && args.size() == 2) return Key(args[1]);
    if (args.size() < 2) return 2;
    const std::wstring& title = args[1];
    if (command == L"gone" && args.size() == 2) {
        return Poll<bool>([&] { return FindTitled(title) == nullptr; }) ? 0 : Fail(L"still open: " + title);
    }
    HWND window = Poll<HWND>([&] { return FindTitled(title); });
    if (!window) return Fail(L"no window titled " + title);
    if (args.size() == 2) {
        if (command == L"wait") return 0;
        if (command == L"xid") {
            wchar_t id[32];
            const auto x11Window = reinterpret_cast<UINT_PTR>(::GetPropW(window, L"__wine_x11_whole_window"));
            std::swprintf(id, 32, L"0x%llx", static_cast<unsigned long long>(x11Window));
            return Print(id);
        }
        if (command == L"enabled") return Print(::IsWindowEnabled(window) ? L"1" : L"0");
        if (command == L"msgbox") {
            Print(MessageText(window));
            return ::PostMessageW(::GetDlgItem(window, IDOK), BM_CLICK, 0, 0) ? 0 : Fail(L"the box has no OK");
        }
        if (command != L"focus") return 2;
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &thread) || !thread.hwndFocus) {
            return Fail(L"nothing has the focus in " + title);
        }
        return Print(std::to_wstring(::GetDlgCtrlID(thread.hwndFocus)));
    }
    if (command == L"drop" && args.size() == 3) return DropFile(window, args[2]) ? 0 : Fail(L"cannot drop on " + title);
    HWND control = ::GetDlgItem(window, static_cast<int>(std::wcstol(args[2].c_str(), nullptr, 10)));
    if (!control) return Fail(L"no control " + args[2] + L" in " + title);
    if (command == L"type" && args.size() == 4) {
        return Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[3].c_str())) ? 0 : Fail(L"cannot type");
    }
    if (args.size() != 3) return 2;
    if (command == L"text") return Print(WindowText(control));
    if (command == L"check") return Print(std::to_wstring(Send(control, BM_GETCHECK, 0, 0)));
    if (command == L"enabled") return Print(::IsWindowEnabled(control) ? L"1" : L"0");
    if (command == L"click") return ::PostMessageW(control, BM_CLICK, 0, 0) ? 0 : Fail(L"cannot click");
    return 2;
}

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);  // lines end in LF alone
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> args(argv + 1, argv + count);
    ::LocalFree(argv);
    if (args.size() >= 2 && args[0] == L"-t") {
        g_timeoutMs = static_cast<DWORD>(std::wcstoul(args[1].c_str(), nullptr, 10) * 1000);
        args.erase(args.begin(), args.begin() + 2);
    }
    int status = args.empty() ? 2 : Run(args);
    if (status == 2) std::fputs("usage: dialog_driver [-t SECONDS] COMMAND ARGUMENTS... (see the source)\n", stderr);
    std::fflush(stdout);
    return status;
}
