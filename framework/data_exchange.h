// Dialog data exchange: DoDataExchange lists a dialog's fields once, and the
// same list moves the members into the controls (UpdateData(FALSE)) or the
// controls into the members with their checks (UpdateData(TRUE)).
//
// A DDV_ check refers to the field of the DDX_ call just before it. When a check
// fails, the user sees why, the focus goes to that field and the exchange stops
// there: every later DDX_ and DDV_ call does nothing, so the members of later
// fields keep their values, and UpdateData(TRUE) returns FALSE.
#pragma once

#include "framework/cstring.h"
#include "framework/win_types.h"
#include "framework/window.h"

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate);

    BOOL m_bSaveAndValidate;  // TRUE: controls into members
    CWnd* m_pDlgWnd;

    // The control `id`, remembered as the field later checks refer to; null when the dialog has none.
    CWnd* PrepareCtrl(int id);
    CWnd* PrepareEditCtrl(int id);

    // Tells the user `message`, puts the focus on the field and ends the exchange.
    void Fail(const CString& message);
    // A check has failed: the exchange is over.
    bool Failed() const { return failed_; }

    // For DDV_ on a push: the field's control when it is an edit, else null.
    CWnd* LastEditControl() const;

private:
    CWnd* lastControl_ = nullptr;
    bool lastControlIsEdit_ = false;
    bool failed_ = false;
};

void DDX_Text(CDataExchange* pDX, int id, CString& value);
// A decimal number from 0 to 4294967295; anything else fails with "整数を入力してください。".
void DDX_Text(CDataExchange* pDX, int id, UINT& value);
void DDX_Check(CDataExchange* pDX, int id, int& value);
// Binds a member control object to the dialog's control `id`.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

// At most `count` bytes of CP932 text (a double-byte character counts two). On
// a push it also limits the edit box to `count` characters.
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int count);
void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minimum, UINT maximum);
