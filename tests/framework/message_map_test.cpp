// Message maps beyond what the frontend's own dialogs show: a derived class's
// entry wins over its base's, and a click that no entry takes gets the system's
// processing.
#include <string>

#include "framework_test.h"

namespace {

constexpr UINT kTemplate = 102;
constexpr int kShared = 1001, kUnmapped = 1002;

class BaseDlg : public CDialog {
public:
    BaseDlg() : CDialog(kTemplate) {}
    std::string log;

protected:
    afx_msg void OnShared() { log += "base "; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseDlg, CDialog)
    ON_BN_CLICKED(kShared, OnShared)
END_MESSAGE_MAP()

class MainDlg : public BaseDlg {
protected:
    afx_msg void OnShared() { log += "derived "; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MainDlg, BaseDlg)
    ON_BN_CLICKED(kShared, OnShared)
END_MESSAGE_MAP()

using MessageMap = HeadlessTest;

TEST_F(MessageMap, TheDerivedEntryWinsAndAnUnmappedClickReachesTheSystem) {
    MainDlg dialog;
    RunDialog(dialog, kTemplate, [](MainDlg& shown) {
        headless::Click(shown, kShared);
        headless::Click(shown, kUnmapped);
    });
    EXPECT_EQ(dialog.log, "derived ");
    ASSERT_EQ(headless::DefaultProcessed().size(), 1u);
    EXPECT_EQ(headless::DefaultProcessed()[0].message, static_cast<UINT>(WM_COMMAND));
}

}  // namespace
