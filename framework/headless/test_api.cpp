#include "common/shift_jis.h"
#include "framework/headless/state.h"

namespace framework::headless {

namespace {

WindowRecord* ControlRecord(const CWnd& dialog, int id) { return FindRecord(ControlOf(dialog.m_hWnd, id)); }

// The first `limit` characters of `text` (a double-byte character is one), as an
// edit box with that typing limit lets them in; all of it without a limit.
std::string TypedWithin(const std::string& text, UINT limit) {
    if (limit == 0) return text;
    std::size_t end = 0;
    for (UINT characters = 0; end < text.size() && characters < limit; ++characters) {
        bool doubleByte = IsCp932LeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size();
        end += doubleByte ? 2 : 1;
    }
    return text.substr(0, end);
}

}  // namespace

void Reset() { TheState() = State{}; }

void SetModulePath(const std::string& path) { TheState().modulePath = path; }

void SetFileVersion(const FileVersion& version) { TheState().fileVersion = version; }

void SetStringTable(const std::vector<StringResource>& strings) {
    TheState().strings.clear();
    for (const StringResource& string : strings) TheState().strings[string.id] = string.text;
}

void OnDialog(UINT templateId, DialogScript script) { TheState().scripts[templateId] = std::move(script); }

std::string ControlText(const CWnd& dialog, int id) {
    WindowRecord* control = ControlRecord(dialog, id);
    return control ? control->text : "";
}

void TypeText(const CWnd& dialog, int id, const std::string& text) {
    if (WindowRecord* control = ControlRecord(dialog, id)) control->text = TypedWithin(text, control->limit);
}

int ControlCheck(const CWnd& dialog, int id) {
    WindowRecord* control = ControlRecord(dialog, id);
    return control ? control->check : BST_UNCHECKED;
}

bool IsControlEnabled(const CWnd& dialog, int id) {
    WindowRecord* control = ControlRecord(dialog, id);
    return control && control->enabled;
}

UINT ControlLimit(const CWnd& dialog, int id) {
    WindowRecord* control = ControlRecord(dialog, id);
    return control ? control->limit : 0;
}

int FocusedControl(const CWnd& dialog) {
    WindowRecord* focused = FindRecord(TheState().focus);
    return focused && focused->parent == dialog.m_hWnd ? focused->id : 0;
}

bool Click(CWnd& dialog, int id) {
    HWND control = ControlOf(dialog.m_hWnd, id);
    if (control == nullptr || !FindRecord(control)->enabled) return false;
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), reinterpret_cast<LPARAM>(control));
    return true;
}

bool ClickCheckBox(CWnd& dialog, int id) {
    WindowRecord* control = ControlRecord(dialog, id);
    if (control == nullptr || !control->enabled) return false;
    control->check = control->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    return Click(dialog, id);
}

void DropFiles(CWnd& dialog, const std::vector<std::string>& paths) {
    HDROP drop = NewHandle<HDROP>();
    TheState().drops[drop] = paths;
    dialog.SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
}

int UnreleasedDrops() { return static_cast<int>(TheState().drops.size()); }

void SetClientSize(const CWnd& window, LONG width, LONG height) {
    if (WindowRecord* record = FindRecord(window.m_hWnd)) record->client = RECT{0, 0, width, height};
}

HICON WindowIcon(const CWnd& window, bool bigIcon) {
    WindowRecord* record = FindRecord(window.m_hWnd);
    if (record == nullptr) return nullptr;
    return bigIcon ? record->bigIcon : record->smallIcon;
}

std::vector<MenuItem> SystemMenuItems(const CWnd& window) {
    WindowRecord* record = FindRecord(window.m_hWnd);
    if (record == nullptr || record->systemMenu == nullptr) return {};
    return TheState().menus[record->systemMenu];
}

const std::vector<DrawnIcon>& DrawnIcons() { return TheState().drawnIcons; }

const std::vector<Message>& DefaultProcessed() { return TheState().defaultProcessed; }

const std::vector<ShownMessageBox>& MessageBoxes() { return TheState().messageBoxes; }

void AnswerFileDialog(std::optional<std::string> path) { TheState().fileAnswers.push_back(std::move(path)); }

const std::vector<ShownFileDialog>& FileDialogs() { return TheState().fileDialogs; }

const std::vector<StartedProcess>& StartedProcesses() { return TheState().processes; }

}  // namespace framework::headless
