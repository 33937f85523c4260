// CWnd and the controls over in-memory window records. A call on a window that
// does not exist (never created, or its dialog has ended) does nothing.
#include "framework/headless/state.h"

using framework::headless::FindRecord;
using framework::headless::TheState;
using framework::headless::WindowRecord;

CWnd* CWnd::GetDlgItem(int id) const {
    HWND item = framework::headless::ControlOf(m_hWnd, id);
    return item ? ItemObject(id, item) : nullptr;
}

void CWnd::SetWindowText(const char* text) {
    if (WindowRecord* window = FindRecord(m_hWnd)) window->text = text ? text : "";
}

void CWnd::GetWindowText(CString& text) const {
    WindowRecord* window = FindRecord(m_hWnd);
    text = window ? window->text.c_str() : "";
}

BOOL CWnd::EnableWindow(BOOL enable) {
    WindowRecord* window = FindRecord(m_hWnd);
    if (window == nullptr) return FALSE;
    BOOL wasDisabled = !window->enabled;
    window->enabled = enable != FALSE;
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const {
    WindowRecord* window = FindRecord(m_hWnd);
    return window && window->enabled;
}

void CWnd::SetFocus() {
    if (FindRecord(m_hWnd)) TheState().focus = m_hWnd;
}

CMenu* CWnd::GetSystemMenu(BOOL revert) {
    WindowRecord* window = FindRecord(m_hWnd);
    if (window == nullptr) return nullptr;
    if (window->systemMenu == nullptr) window->systemMenu = framework::headless::NewHandle<HMENU>();
    std::vector<framework::headless::MenuItem>& items = TheState().menus[window->systemMenu];
    if (revert) {
        items.clear();
        return nullptr;
    }
    systemMenu_.m_hMenu = window->systemMenu;
    return &systemMenu_;
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon) {
    WindowRecord* window = FindRecord(m_hWnd);
    if (window == nullptr) return nullptr;
    HICON& slot = bigIcon ? window->bigIcon : window->smallIcon;
    HICON previous = slot;
    slot = icon;
    return previous;
}

BOOL CWnd::IsIconic() const {
    WindowRecord* window = FindRecord(m_hWnd);
    return window && window->iconic;
}

void CWnd::GetClientRect(LPRECT rect) const {
    WindowRecord* window = FindRecord(m_hWnd);
    *rect = window ? window->client : RECT{0, 0, 0, 0};
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* window = FindRecord(m_hWnd);
    if (window == nullptr) return 0;
    LRESULT result = 0;
    if (window->dialog && window->dialog->RouteMessage(message, wParam, lParam, result)) return result;
    return framework::headless::DefaultProcessing(m_hWnd, message, wParam, lParam);
}

int CButton::GetCheck() const {
    WindowRecord* window = FindRecord(m_hWnd);
    return window ? window->check : BST_UNCHECKED;
}

void CButton::SetCheck(int check) {
    if (WindowRecord* window = FindRecord(m_hWnd)) window->check = check;
}

void CEdit::SetLimitText(UINT limit) {
    if (WindowRecord* window = FindRecord(m_hWnd)) window->limit = limit;
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, const char* text) {
    auto menu = TheState().menus.find(m_hMenu);
    if (menu == TheState().menus.end()) return FALSE;
    menu->second.push_back({flags, id, text ? text : ""});
    return TRUE;
}

struct CPaintDC::PaintState {};

CPaintDC::CPaintDC(CWnd* window) : m_hDC(framework::headless::NewHandle<HDC>()), window_(window) {}

CPaintDC::~CPaintDC() = default;

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon) {
    TheState().drawnIcons.push_back({window_ ? window_->m_hWnd : nullptr, x, y, icon});
    return TRUE;
}
