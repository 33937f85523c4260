// The backend-neutral part of CDialog; DoModal and EndDialog are the backend's.
#include "framework/dialog.h"

#include "framework/app.h"

CDialog::CDialog(UINT templateId, CWnd* pParentWnd) : m_nIDTemplate(templateId), m_pParentWnd(pParentWnd) {}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnSysCommand(UINT, LPARAM) { Default(); }

void CDialog::OnPaint() { Default(); }

HCURSOR CDialog::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }

void CDialog::OnDropFiles(HDROP) { Default(); }

HWND CDialog::ModalOwner() const {
    const CWnd* owner = m_pParentWnd;
    if (owner == nullptr && AfxGetApp() != nullptr) owner = AfxGetApp()->m_pMainWnd;
    if (owner == nullptr || owner == this) return nullptr;
    return owner->m_hWnd;
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_BN_CLICKED(IDOK, OnOK)
    ON_BN_CLICKED(IDCANCEL, OnCancel)
END_MESSAGE_MAP()
