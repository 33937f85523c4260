#include "framework/data_exchange.h"

#include <cstdint>

#include "common/decimal.h"
#include "framework/app.h"

namespace {

// The validation messages as CP932 bytes, the same whichever compiler builds this.
// "%u 文字以内で入力してください。"
constexpr char kTooManyCharacters[] =
    "%u \x95\xb6\x8e\x9a\x88\xc8\x93\xe0\x82\xc5\x93\xfc\x97\xcd\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81\x42";
// "%u から %u までの整数を入力してください。"
constexpr char kOutOfRange[] =
    "%u \x82\xa9\x82\xe7 %u \x82\xdc\x82\xc5\x82\xcc\x90\xae\x90\x94\x82\xf0\x93\xfc\x97\xcd\x82\xb5\x82\xc4\x82\xad"
    "\x82\xbe\x82\xb3\x82\xa2\x81\x42";
// "整数を入力してください。"
constexpr char kNotAnInteger[] =
    "\x90\xae\x90\x94\x82\xf0\x93\xfc\x97\xcd\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81\x42";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Decimal digits with optional blanks around them, at most 4294967295.
bool ParseUnsigned(const char* text, UINT& value) {
    const char* p = text;
    while (IsBlank(*p)) ++p;
    if (!IsDecimalDigit(*p)) return false;  // no sign, no other blank
    const DecimalRead<uint32_t> number = ReadDecimal(p, DecimalOverflow::Saturate);
    if (number.overflowed) return false;
    p = number.stop;
    while (IsBlank(*p)) ++p;
    if (*p != '\0') return false;
    value = static_cast<UINT>(number.value);
    return true;
}

}  // namespace

CDataExchange::CDataExchange(CWnd* dialog, BOOL saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

CWnd* CDataExchange::PrepareCtrl(int id) {
    lastControl_ = m_pDlgWnd->GetDlgItem(id);
    lastControlIsEdit_ = false;
    return lastControl_;
}

CWnd* CDataExchange::PrepareEditCtrl(int id) {
    PrepareCtrl(id);
    lastControlIsEdit_ = true;
    return lastControl_;
}

CWnd* CDataExchange::LastEditControl() const { return lastControlIsEdit_ ? lastControl_ : nullptr; }

void CDataExchange::Fail(const CString& message) {
    m_pDlgWnd->MessageBox(message, nullptr, MB_OK | MB_ICONEXCLAMATION);
    if (lastControl_ != nullptr) {
        lastControl_->SetFocus();
        if (lastControlIsEdit_) lastControl_->SendMessage(EM_SETSEL, 0, -1);  // select it all, ready to retype
    }
    failed_ = true;
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
    if (pDX->Failed()) return;
    CWnd* control = pDX->PrepareEditCtrl(id);
    if (control == nullptr) return;
    if (pDX->m_bSaveAndValidate) {
        control->GetWindowText(value);
    } else {
        control->SetWindowText(value);
    }
}

void DDX_Text(CDataExchange* pDX, int id, UINT& value) {
    if (pDX->Failed()) return;
    CWnd* control = pDX->PrepareEditCtrl(id);
    if (control == nullptr) return;
    CString text;
    if (pDX->m_bSaveAndValidate) {
        control->GetWindowText(text);
        if (!ParseUnsigned(text, value)) pDX->Fail(kNotAnInteger);
    } else {
        text.Format("%u", value);
        control->SetWindowText(text);
    }
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    if (pDX->Failed()) return;
    CWnd* control = pDX->PrepareCtrl(id);
    if (control == nullptr) return;
    CButton button;
    button.m_hWnd = control->m_hWnd;
    if (pDX->m_bSaveAndValidate) {
        value = button.GetCheck();
    } else {
        button.SetCheck(value);
    }
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (pDX->Failed() || control.m_hWnd != nullptr) return;
    CWnd* item = pDX->PrepareCtrl(id);
    if (item != nullptr) pDX->m_pDlgWnd->BindControl(control, item->m_hWnd);
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int count) {
    if (pDX->Failed()) return;
    if (!pDX->m_bSaveAndValidate) {
        if (CWnd* control = pDX->LastEditControl()) {
            CEdit edit;
            edit.m_hWnd = control->m_hWnd;
            edit.SetLimitText(static_cast<UINT>(count));
        }
        return;
    }
    if (value.GetLength() <= count) return;
    CString message;
    message.Format(kTooManyCharacters, static_cast<unsigned>(count));
    pDX->Fail(message);
}

void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minimum, UINT maximum) {
    if (pDX->Failed() || !pDX->m_bSaveAndValidate || (value >= minimum && value <= maximum)) return;
    CString message;
    message.Format(kOutOfRange, minimum, maximum);
    pDX->Fail(message);
}
