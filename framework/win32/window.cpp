// CWnd and the controls over real windows. Inside these members the names of
// the Win32 functions are taken by the class's own; the API is called with ::.
#include <string>

#include "framework/window.h"

CWnd* CWnd::GetDlgItem(int id) const {
    HWND item = ::GetDlgItem(m_hWnd, id);
    return item ? ItemObject(id, item) : nullptr;
}

void CWnd::SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text ? text : ""); }

void CWnd::GetWindowText(CString& text) const {
    int length = ::GetWindowTextLengthA(m_hWnd);
    std::string buffer(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    int copied = ::GetWindowTextA(m_hWnd, &buffer[0], static_cast<int>(buffer.size()));
    buffer.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    text = buffer.c_str();
}

BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }

BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }

void CWnd::SetFocus() { ::SetFocus(m_hWnd); }

CMenu* CWnd::GetSystemMenu(BOOL revert) {
    HMENU menu = ::GetSystemMenu(m_hWnd, revert);
    if (menu == nullptr) return nullptr;
    systemMenu_.m_hMenu = menu;
    return &systemMenu_;
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon) {
    LRESULT previous =
        ::SendMessageA(m_hWnd, WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return reinterpret_cast<HICON>(previous);
}

BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }

void CWnd::GetClientRect(LPRECT rect) const {
    if (!::GetClientRect(m_hWnd, rect)) *rect = RECT{0, 0, 0, 0};
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

int CButton::GetCheck() const { return static_cast<int>(::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0)); }

void CButton::SetCheck(int check) { ::SendMessageA(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(check), 0); }

void CEdit::SetLimitText(UINT limit) { ::SendMessageA(m_hWnd, EM_SETLIMITTEXT, limit, 0); }

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, const char* text) { return ::AppendMenuA(m_hMenu, flags, id, text); }

struct CPaintDC::PaintState {
    PAINTSTRUCT paint;
};

CPaintDC::CPaintDC(CWnd* window) : window_(window), state_(std::make_unique<PaintState>()) {
    m_hDC = ::BeginPaint(window_->m_hWnd, &state_->paint);
}

CPaintDC::~CPaintDC() { ::EndPaint(window_->m_hWnd, &state_->paint); }

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
