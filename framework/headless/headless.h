// The headless backend's test interface. Windows are in-memory records: a
// dialog's controls come into being the first time they are used by ID. The
// test plays the user and the operating system: it scripts what happens while
// a modal dialog is up, answers file dialogs, drops files, sets the program's
// resources, and reads back what the program showed and started.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/framework.h"

namespace framework::headless {

// Forgets every window, script, record, answer and resource.
void Reset();

// ---- The program's own file and resources

void SetModulePath(const std::string& path);
void SetFileVersion(const FileVersion& version);

struct StringResource {
    UINT id;
    std::string text;  // CP932
};
// The program's string table, as its .rc holds it.
void SetStringTable(const std::vector<StringResource>& strings);

// ---- Modal dialogs

// Plays the user while a dialog of template `templateId` is up, after its
// OnInitDialog. A dialog still up when the script returns is cancelled as the
// Escape key does. A template without a script cannot be shown: DoModal returns -1.
using DialogScript = std::function<void(CDialog& dialog)>;
void OnDialog(UINT templateId, DialogScript script);

// ---- The controls of a dialog that is up, by ID

std::string ControlText(const CWnd& dialog, int id);
// Replaces the control's text, as typing over it does: an edit with a typing
// limit takes that many characters (a double-byte character counts one).
void TypeText(const CWnd& dialog, int id, const std::string& text);
int ControlCheck(const CWnd& dialog, int id);
bool IsControlEnabled(const CWnd& dialog, int id);
// The typing limit set on an edit; 0 when none was set.
UINT ControlLimit(const CWnd& dialog, int id);
// The ID of the dialog's control that has the focus; 0 when none has it.
int FocusedControl(const CWnd& dialog);

// A button click, routed through the dialog's message map. A disabled control
// cannot be clicked: false, and nothing happens.
bool Click(CWnd& dialog, int id);
// A click on an auto check box: the tick flips, then the click is routed.
bool ClickCheckBox(CWnd& dialog, int id);
// Files dropped from the shell: WM_DROPFILES with a drop that holds `paths`.
void DropFiles(CWnd& dialog, const std::vector<std::string>& paths);
// Drops whose handle the program has not released yet.
int UnreleasedDrops();

// ---- Window state

void SetClientSize(const CWnd& window, LONG width, LONG height);
HICON WindowIcon(const CWnd& window, bool bigIcon);

struct MenuItem {
    UINT flags;
    UINT_PTR id;
    std::string text;
};
// The items the program appended to the window menu.
std::vector<MenuItem> SystemMenuItems(const CWnd& window);

struct DrawnIcon {
    HWND window;
    int x;
    int y;
    HICON icon;
};
const std::vector<DrawnIcon>& DrawnIcons();

struct Message {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
// Messages to dialogs that got the system's default processing: those without
// a handler, and those whose handler called Default(). Of these, the system
// commands SC_CLOSE (cancels the dialog), SC_MINIMIZE and SC_RESTORE are acted on.
const std::vector<Message>& DefaultProcessed();

// ---- Message boxes, file dialogs, started processes

struct ShownMessageBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};
// Every message box shown; each was closed with OK.
const std::vector<ShownMessageBox>& MessageBoxes();

// The answer to the next file dialog that has none yet: a path, or std::nullopt
// to cancel. A dialog shown without an answer is cancelled.
void AnswerFileDialog(std::optional<std::string> path);

struct ShownFileDialog {
    bool save;
    HWND owner;
    FileDialogRequest request;
};
const std::vector<ShownFileDialog>& FileDialogs();

struct StartedProcess {
    std::string program;
    std::string commandLine;
};
const std::vector<StartedProcess>& StartedProcesses();

}  // namespace framework::headless
