// What the headless backend keeps: the window records and everything the test
// set or may read back. Internal to framework/headless/.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "framework/headless/headless.h"

namespace framework::headless {

struct WindowRecord {
    HWND parent = nullptr;
    int id = 0;
    std::string text;
    int check = BST_UNCHECKED;
    bool enabled = true;
    UINT limit = 0;
    bool iconic = false;
    RECT client{0, 0, 0, 0};
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    HMENU systemMenu = nullptr;
    CDialog* dialog = nullptr;  // set for the window of a running dialog
    bool ended = false;
    int result = 0;
};

struct State {
    std::map<HWND, WindowRecord> windows;
    uintptr_t lastHandle = 0;
    HWND focus = nullptr;
    std::map<UINT, DialogScript> scripts;
    std::map<HMENU, std::vector<MenuItem>> menus;
    std::map<HDROP, std::vector<std::string>> drops;
    std::vector<ShownMessageBox> messageBoxes;
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<ShownFileDialog> fileDialogs;
    std::vector<StartedProcess> processes;
    std::vector<DrawnIcon> drawnIcons;
    std::vector<Message> defaultProcessed;
    std::string modulePath;
    std::optional<FileVersion> fileVersion;
    std::map<UINT, std::string> strings;
};

State& TheState();

// A new handle value of any handle type; never null, never reused before Reset().
template <typename Handle>
Handle NewHandle() {
    return reinterpret_cast<Handle>(++TheState().lastHandle * 16);
}

WindowRecord* FindRecord(HWND window);
// The control `id` of `dialog`, made on first use; null when `dialog` does not exist.
HWND ControlOf(HWND dialog, int id);
HWND CreateDialogWindow(CDialog& dialog);
// Destroys the window and its controls.
void DestroyRecord(HWND window);
// What the system does with a message that no handler took.
LRESULT DefaultProcessing(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace framework::headless
