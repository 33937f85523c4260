// Windows and controls: CWnd and the small control classes the frontend binds.
// A CWnd is a handle to a window plus the message map of its class; the
// methods act on the real window (framework/win32/) or on its in-memory record
// (framework/headless/).
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "framework/cstring.h"
#include "framework/message_map.h"
#include "framework/win_types.h"

class CDataExchange;

class CMenu {
public:
    HMENU m_hMenu = nullptr;

    // flags MF_STRING with a command ID and text, or MF_SEPARATOR alone.
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const char* text = nullptr);
};

class CWnd {
public:
    HWND m_hWnd = nullptr;

    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The control `id` of this dialog, or null. The object stays valid while the dialog exists.
    CWnd* GetDlgItem(int id) const;

    void SetWindowText(const char* text);
    void GetWindowText(CString& text) const;
    // Returns TRUE when the window was disabled before.
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    void SetFocus();

    // TRUE: the controls into the members, with their checks; returns FALSE when
    // a check failed (the user was told and the focus is on that field).
    // FALSE: the members into the controls.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    // A modal message box owned by this window; returns the button pressed.
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);

    // The window menu; null when the window has none.
    CMenu* GetSystemMenu(BOOL revert);
    // Returns the icon set before.
    HICON SetIcon(HICON icon, BOOL bigIcon);
    BOOL IsIconic() const;
    void GetClientRect(LPRECT rect) const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // For the backends: runs the message map's handler for the message. False
    // when the default processing must follow (no handler, or it called Default()).
    bool RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // For the backends: the window is gone; forget it and every control bound to it.
    void DetachWindow();
    // For DDX_Control: `control` now stands for one of this dialog's controls.
    void BindControl(CWnd& control, HWND item);

protected:
    // The dialog's fields, listed once with DDX_ and DDV_ calls; see data_exchange.h.
    virtual void DoDataExchange(CDataExchange* pDX);

    // Called by a handler: the message also gets the default processing once
    // the handler returns (as if it had no handler).
    LRESULT Default();

    static const framework::MessageMap* GetThisMessageMap();
    virtual const framework::MessageMap* GetMessageMap() const;

    // The CWnd that GetDlgItem hands out for control `id`, kept for reuse.
    CWnd* ItemObject(int id, HWND item) const;

private:
    mutable std::map<int, std::unique_ptr<CWnd>> items_;
    std::vector<CWnd*> boundControls_;
    CMenu systemMenu_;
    bool defaultRequested_ = false;
};

class CButton : public CWnd {
public:
    int GetCheck() const;  // BST_UNCHECKED, BST_CHECKED
    void SetCheck(int check);
};

class CEdit : public CWnd {
public:
    // The most the user can type.
    void SetLimitText(UINT limit);
};

// Painting a window inside its WM_PAINT handler (begins and ends the paint).
class CPaintDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    BOOL DrawIcon(int x, int y, HICON icon);

    HDC m_hDC = nullptr;

private:
    struct PaintState;  // the backend's
    CWnd* window_;
    std::unique_ptr<PaintState> state_;
};
