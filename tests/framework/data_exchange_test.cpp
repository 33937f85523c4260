// Data exchange through the headless backend: members pushed into controls and
// pulled back with their checks, the Japanese validation messages, the focus on
// the failing field, and byte counting of CP932 text.
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
    UINT m_nSeconds = 600;
    UINT m_nCount = 4294967295u;
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

TEST_F(DataExchange, PushesMembersIntoControlsAndLimitsTheEdit) {
    FormDlg form;
    RunDialog(form, kFormTemplate, [](FormDlg& shown) {
        EXPECT_EQ(headless::ControlText(shown, kName), "ソ表");
        EXPECT_EQ(headless::ControlText(shown, kSeconds), "600");
        EXPECT_EQ(headless::ControlText(shown, kCount), "4294967295");
        EXPECT_EQ(headless::ControlCheck(shown, kEnabled), BST_CHECKED);
        EXPECT_EQ(headless::ControlLimit(shown, kName), 8u);
        EXPECT_EQ(shown.m_editName.m_hWnd, shown.GetDlgItem(kName)->m_hWnd);
    });
    EXPECT_EQ(form.m_editName.m_hWnd, nullptr) << "a bound control is let go when its dialog ends";
}

const std::string kNotAnInteger = "整数を入力してください。";

struct PullCase {
    const char* name;
    std::string typedName, typedSeconds, typedCount;
    std::string message;  // empty: every check passes
    int focus;            // the field that gets the focus on failure
};

const PullCase kPullCases[] = {
    {"all valid, blanks around a number", "abc", "0", " 42 ", "", 0},
    {"eight bytes of double-byte text", "ソ表ソ表", "600", "4294967295", "", 0},
    {"half-width katakana count one byte each", "ﾊﾞｰｼﾞｮﾝ", "1", "7", "", 0},
    {"five characters but nine bytes", "ソ表ソ表a", "1", "1", "8 文字以内で入力してください。", kName},
    {"seconds above the range", "a", "601", "1", "0 から 600 までの整数を入力してください。", kSeconds},
    {"seconds empty", "a", "", "1", kNotAnInteger, kSeconds},
    {"seconds not a number", "a", "12a", "1", kNotAnInteger, kSeconds},
    {"seconds negative", "a", "-1", "1", kNotAnInteger, kSeconds},
    {"count too large for 32 bits", "a", "1", "4294967296", kNotAnInteger, kCount},
};

class Pull : public HeadlessTest, public ::testing::WithParamInterface<PullCase> {};

TEST_P(Pull, ChecksEachFieldAndStopsAtTheFirstFailure) {
    const PullCase& row = GetParam();
    bool passed = false;
    int focus = -1;
    FormDlg form;
    RunDialog(form, kFormTemplate, [&](FormDlg& shown) {
        headless::TypeText(shown, kName, row.typedName);
        headless::TypeText(shown, kSeconds, row.typedSeconds);
        headless::TypeText(shown, kCount, row.typedCount);
        headless::ClickCheckBox(shown, kEnabled);
        passed = shown.UpdateData(TRUE) != FALSE;
        focus = headless::FocusedControl(shown);
    });

    EXPECT_EQ(passed, row.message.empty());
    if (row.message.empty()) {
        EXPECT_TRUE(headless::MessageBoxes().empty());
        EXPECT_EQ(std::string(form.m_strName), row.typedName);
        EXPECT_EQ(form.m_bEnabled, BST_UNCHECKED);
        return;
    }
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, row.message);
    EXPECT_EQ(headless::MessageBoxes()[0].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(focus, row.focus);
    EXPECT_EQ(form.m_bEnabled, BST_CHECKED) << "fields after the failing one keep their values";
    if (row.focus != kName) {
        EXPECT_EQ(std::string(form.m_strName), row.typedName) << "fields before it are pulled";
    }
}

INSTANTIATE_TEST_SUITE_P(TypedValues, Pull, ::testing::ValuesIn(kPullCases), RowName());

// The edit limits characters, the check counts bytes: eight double-byte
// characters can be typed, and are refused.
TEST_F(DataExchange, TheTypingLimitCountsCharactersTheCheckBytes) {
    FormDlg form;
    bool passed = true;
    RunDialog(form, kFormTemplate, [&](FormDlg& shown) {
        headless::TypeText(shown, kName, "ソ表ソ表ソ表ソ表ソ");
        EXPECT_EQ(headless::ControlText(shown, kName), "ソ表ソ表ソ表ソ表");
        passed = shown.UpdateData(TRUE) != FALSE;
    });
    EXPECT_FALSE(passed);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, "8 文字以内で入力してください。");
}

TEST_F(DataExchange, OkKeepsTheDialogOpenUntilTheChecksPass) {
    FormDlg form;
    INT_PTR result = RunDialog(form, kFormTemplate, [](FormDlg& shown) {
        headless::TypeText(shown, kSeconds, "700");
        headless::Click(shown, IDOK);
        EXPECT_EQ(headless::FocusedControl(shown), kSeconds);
        headless::TypeText(shown, kSeconds, "60");
        headless::Click(shown, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(form.m_nSeconds, 60u);
    EXPECT_EQ(headless::MessageBoxes().size(), 1u);
}

TEST_F(DataExchange, TheValidationMessageIsOwnedByTheDialog) {
    FormDlg form;
    HWND dialogWindow = nullptr;
    RunDialog(form, kFormTemplate, [&](FormDlg& shown) {
        dialogWindow = shown.m_hWnd;
        headless::TypeText(shown, kCount, "x");
        shown.UpdateData(TRUE);
    });
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].owner, dialogWindow);
}

}  // namespace
