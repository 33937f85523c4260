// Data exchange through the headless backend: members pushed into controls and
// pulled back on OK with their checks, the Japanese validation messages owned
// by the dialog, the focus on the failing field, CP932 text counted in bytes.
#include <string>

#include "framework_test.h"

namespace {

constexpr UINT kFormTemplate = 500;
constexpr int kName = 1001, kSeconds = 1002, kCount = 1003, kEnabled = 1004;

class FormDlg : public CDialog {
public:
    FormDlg() : CDialog(kFormTemplate) {}

    CEdit m_editName;
    CString m_strName = "ソ表";
    UINT m_nSeconds = 600, m_nCount = 4294967295u;
    int m_bEnabled = BST_CHECKED;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, kName, m_editName);
        DDX_Text(pDX, kName, m_strName);
        DDV_MaxChars(pDX, m_strName, 8);
        DDX_Text(pDX, kSeconds, m_nSeconds);
        DDV_MinMaxUInt(pDX, m_nSeconds, 0, 600);
        DDX_Text(pDX, kCount, m_nCount);
        DDX_Check(pDX, kEnabled, m_bEnabled);
    }
};

using DataExchange = HeadlessTest;

TEST_F(DataExchange, OkPullsEveryFieldOrStaysUpAtTheFirstFailure) {
    const std::string notAnInteger = "整数を入力してください。";
    // outcome: passed, the seconds and count pulled; failed, the message shown. focus: the failing field's, or 0.
    const struct { const char* name; std::string typedName, typedSeconds, typedCount, outcome; int focus; } rows[] = {
        {"all valid, blanks around a number", "abc", "0", " 42 ", "0 42", 0},
        {"eight bytes of double-byte text", "ソ表ソ表", "600", "4294967295", "600 4294967295", 0},
        {"half-width katakana count one byte each", "ﾊﾞｰｼﾞｮﾝ", "1", "7", "1 7", 0},
        {"seconds not a number", "a", "12a", "1", notAnInteger, kSeconds},
        {"seconds negative", "a", "-1", "1", notAnInteger, kSeconds},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        headless::Reset();
        FormDlg form;
        HWND window = nullptr;
        int focus = -1;
        std::string pushed;  // the members as the dialog came up: name, seconds, count, tick, the name's limit
        const INT_PTR result = RunDialog(form, kFormTemplate, [&](FormDlg& shown) {
            window = shown.m_hWnd;
            for (int id : {kName, kSeconds, kCount}) pushed += headless::ControlText(shown, id) + " ";
            pushed += std::to_string(headless::ControlCheck(shown, kEnabled)) + " " + std::to_string(headless::ControlLimit(shown, kName));
            headless::TypeText(shown, kName, row.typedName);
            headless::TypeText(shown, kSeconds, row.typedSeconds);
            headless::TypeText(shown, kCount, row.typedCount);
            headless::ClickCheckBox(shown, kEnabled);
            headless::Click(shown, IDOK);
            focus = headless::FocusedControl(shown);
        });
        EXPECT_EQ(pushed, "ソ表 600 4294967295 1 8");
        EXPECT_EQ(form.m_editName.m_hWnd, nullptr) << "a bound control is let go when its dialog ends";
        if (row.focus == 0) {
            EXPECT_EQ(result, IDOK);
            EXPECT_TRUE(headless::MessageBoxes().empty());
            EXPECT_EQ(std::string(form.m_strName), row.typedName);
            EXPECT_EQ(std::to_string(form.m_nSeconds) + " " + std::to_string(form.m_nCount), row.outcome);
            EXPECT_EQ(form.m_bEnabled, BST_UNCHECKED);
            continue;
        }
        EXPECT_EQ(result, IDCANCEL) << "OK left the dialog up; the script's end cancelled it";
        ASSERT_EQ(headless::MessageBoxes().size(), 1u);
        EXPECT_EQ(headless::MessageBoxes()[0].text, row.outcome);
        EXPECT_EQ(headless::MessageBoxes()[0].type, MB_OK | MB_ICONEXCLAMATION);
        EXPECT_EQ(headless::MessageBoxes()[0].owner, window);
        EXPECT_EQ(focus, row.focus);
        EXPECT_EQ(form.m_bEnabled, BST_CHECKED) << "fields after the failing one keep their values";
        if (row.focus != kName) {
            EXPECT_EQ(std::string(form.m_strName), row.typedName) << "fields before it are pulled";
        }
    }
}

}  // namespace
