#include "framework/headless/state.h"

namespace framework::headless {

namespace {

void DestroyControls(HWND dialog) {
    std::map<HWND, WindowRecord>& windows = TheState().windows;
    for (auto it = windows.begin(); it != windows.end();) {
        it = it->second.parent == dialog ? windows.erase(it) : std::next(it);
    }
}

void ApplySystemCommand(WindowRecord& record, UINT command) {
    switch (command & 0xFFF0) {
    case SC_CLOSE:
        if (record.dialog != nullptr) record.dialog->SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        break;
    case SC_MINIMIZE:
        record.iconic = true;
        break;
    case SC_RESTORE:
        record.iconic = false;
        break;
    default:
        break;
    }
}

}  // namespace

State& TheState() {
    static State state;
    return state;
}

WindowRecord* FindRecord(HWND window) {
    if (window == nullptr) return nullptr;
    auto it = TheState().windows.find(window);
    return it == TheState().windows.end() ? nullptr : &it->second;
}

HWND ControlOf(HWND dialog, int id) {
    if (FindRecord(dialog) == nullptr) return nullptr;
    for (auto& [handle, record] : TheState().windows) {
        if (record.parent == dialog && record.id == id) return handle;
    }
    HWND control = NewHandle<HWND>();
    WindowRecord& record = TheState().windows[control];
    record.parent = dialog;
    record.id = id;
    return control;
}

HWND CreateDialogWindow(CDialog& dialog) {
    HWND window = NewHandle<HWND>();
    TheState().windows[window].dialog = &dialog;
    return window;
}

void DestroyRecord(HWND window) {
    State& state = TheState();
    if (WindowRecord* focused = FindRecord(state.focus)) {
        if (state.focus == window || focused->parent == window) state.focus = nullptr;
    }
    DestroyControls(window);
    state.windows.erase(window);
}

LRESULT DefaultProcessing(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = FindRecord(window);
    if (record == nullptr || record->dialog == nullptr) return 0;
    TheState().defaultProcessed.push_back({window, message, wParam, lParam});
    if (message == WM_SYSCOMMAND) ApplySystemCommand(*record, static_cast<UINT>(wParam));
    return 0;
}

}  // namespace framework::headless
