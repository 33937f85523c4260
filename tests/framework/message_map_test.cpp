// Message maps beyond what the frontend's own dialogs show: a derived class's
// entry wins over its base's, a base's window-message entry reaches the
// override, and whatever no handler takes (or a handler passes on with
// Default()) gets the system's processing.
#include <functional>
#include <string>
#include <vector>

#include "framework_test.h"

namespace {

constexpr UINT kTemplate = 102;
constexpr int kShared = 1001, kUnmapped = 1002;

class BaseDlg : public CDialog {
public:
    BaseDlg() : CDialog(kTemplate) {}
    std::vector<std::string> log;

protected:
    afx_msg void OnShared() { log.push_back("base shared"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseDlg, CDialog)
    ON_BN_CLICKED(kShared, OnShared)
    ON_WM_PAINT()
END_MESSAGE_MAP()

class MainDlg : public BaseDlg {
protected:
    afx_msg void OnShared() { log.push_back("shared"); }
    void OnSysCommand(UINT nID, LPARAM lParam) override {
        log.push_back("system command");
        CDialog::OnSysCommand(nID, lParam);
    }
    void OnPaint() override {  // reached through the base class's ON_WM_PAINT
        log.push_back("paint");
        CDialog::OnPaint();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MainDlg, BaseDlg)
    ON_WM_SYSCOMMAND()
    ON_BN_CLICKED(kShared, OnShared)
END_MESSAGE_MAP()

using MessageMap = HeadlessTest;

TEST_F(MessageMap, RoutesEachMessageToItsHandlerOrTheSystem) {
    const struct {
        const char* name;
        std::function<void(MainDlg&)> act;
        std::vector<std::string> log;
        std::vector<UINT> defaultProcessed;  // messages that reached the system
    } rows[] = {
        {"the derived entry wins over the base's", [](MainDlg& d) { headless::Click(d, kShared); }, {"shared"}, {}},
        {"a click nobody maps", [](MainDlg& d) { headless::Click(d, kUnmapped); }, {}, {WM_COMMAND}},
        {"the close box passes through Default() to the system",
         [](MainDlg& d) { d.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0); }, {"system command"}, {WM_SYSCOMMAND}},
        {"paint: the base's entry reaches the override", [](MainDlg& d) { d.SendMessage(WM_PAINT); }, {"paint"}, {WM_PAINT}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        headless::Reset();
        MainDlg dialog;
        RunDialog(dialog, kTemplate, [&](MainDlg& shown) { row.act(shown); });
        EXPECT_EQ(dialog.log, row.log);
        std::vector<UINT> defaults;
        for (const headless::Message& message : headless::DefaultProcessed()) defaults.push_back(message.message);
        EXPECT_EQ(defaults, row.defaultProcessed);
    }
}

}  // namespace
