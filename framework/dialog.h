// CDialog: a dialog built from a template of the program's resources, run
// modally. While it runs its owner (the parent given, else the application's
// main window) is disabled.
#pragma once

#include "framework/data_exchange.h"
#include "framework/message_map.h"
#include "framework/window.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* pParentWnd = nullptr);

    // Shows the dialog and returns when it ends: the value given to EndDialog,
    // or -1 when it could not be shown.
    INT_PTR DoModal();
    void EndDialog(int result);

    // Pushes the members into the controls; TRUE lets the system place the focus.
    virtual BOOL OnInitDialog();

protected:
    // Enter and the default button: pull the controls with their checks, end with IDOK when they pass.
    virtual void OnOK();
    // Escape, the cancel button and the close box: end with IDCANCEL.
    virtual void OnCancel();

    // Handlers for the messages their ON_WM_ macros bind; by default the
    // system's own processing.
    virtual void OnSysCommand(UINT nID, LPARAM lParam);
    virtual void OnPaint();
    virtual HCURSOR OnQueryDragIcon();
    virtual void OnDropFiles(HDROP hDropInfo);

    // The window that this dialog disables while it runs; null for none.
    HWND ModalOwner() const;

    DECLARE_MESSAGE_MAP()

private:
    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
};
