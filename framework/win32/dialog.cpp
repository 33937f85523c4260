// Modal dialogs from the program's templates. One static dialog procedure
// serves every dialog: it keeps the CDialog in the window's DWLP_USER slot
// from WM_INITDIALOG on and routes each message through its message map.
#include "framework/dialog.h"

namespace {

CDialog* DialogOf(HWND window) { return reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER)); }

INT_PTR InitDialog(HWND window, CDialog& dialog) {
    ::SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(&dialog));
    dialog.m_hWnd = window;
    return dialog.OnInitDialog();
}

// FALSE hands the message to the system's dialog processing.
INT_PTR Route(HWND window, CDialog& dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!dialog.RouteMessage(message, wParam, lParam, result)) return FALSE;
    if (message == WM_QUERYDRAGICON) return result;  // this one answers through the return value itself
    ::SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return InitDialog(window, *reinterpret_cast<CDialog*>(lParam));
    CDialog* dialog = DialogOf(window);
    if (dialog == nullptr) return FALSE;  // messages before WM_INITDIALOG
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, DWLP_USER, 0);
        dialog->DetachWindow();
        return FALSE;
    }
    return Route(window, *dialog, message, wParam, lParam);
}

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's code: the dialog ends as one that could not be shown.
        ::EndDialog(window, -1);
        return TRUE;
    }
}

}  // namespace

INT_PTR CDialog::DoModal() {
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate), ModalOwner(),
                             &DialogProcedure, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(int result) {
    if (m_hWnd != nullptr) ::EndDialog(m_hWnd, result);
}
