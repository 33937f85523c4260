// Message maps: button clicks by control ID and window messages reach their
// handlers, a derived class's entry wins over its base's, and whatever no
// handler takes (or a handler passes on with Default()) gets the system's
// processing.
#include <functional>
#include <string>
#include <vector>

#include "framework_test.h"

namespace {

constexpr UINT kTemplate = 102;
constexpr int kShared = 1001, kConvert = 1002, kUnmapped = 1003;

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
    afx_msg void OnConvert() { log.push_back("convert"); }
    void OnSysCommand(UINT nID, LPARAM lParam) override {
        log.push_back("system command");
        CDialog::OnSysCommand(nID, lParam);
    }
    void OnPaint() override {  // reached through the base class's ON_WM_PAINT
        log.push_back("paint");
        CDialog::OnPaint();
    }
    void OnDropFiles(HDROP hDropInfo) override {
        std::string path;
        framework::TakeFirstDroppedFile(hDropInfo, path);
        log.push_back("drop " + path);
        CDialog::OnDropFiles(hDropInfo);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MainDlg, BaseDlg)
    ON_WM_SYSCOMMAND()
    ON_WM_DROPFILES()
    ON_BN_CLICKED(kShared, OnShared)
    ON_BN_CLICKED(kConvert, OnConvert)
END_MESSAGE_MAP()

using MessageMap = HeadlessTest;

TEST_F(MessageMap, RoutesEachMessageToItsHandlerOrTheSystem) {
    const struct {
        const char* name;
        std::function<void(MainDlg&)> act;
        std::vector<std::string> log;
        std::vector<UINT> defaultProcessed;  // messages that reached the system
        INT_PTR result;                      // IDCANCEL: the dialog stayed up until the script's end
    } rows[] = {
        {"a click on a mapped button", [](MainDlg& d) { headless::Click(d, kConvert); }, {"convert"}, {}, IDCANCEL},
        {"the derived entry wins over the base's", [](MainDlg& d) { headless::Click(d, kShared); }, {"shared"}, {},
         IDCANCEL},
        {"a click nobody maps", [](MainDlg& d) { headless::Click(d, kUnmapped); }, {}, {WM_COMMAND}, IDCANCEL},
        {"OK reaches the framework's own OnOK", [](MainDlg& d) { headless::Click(d, IDOK); }, {}, {}, IDOK},
        {"the close box passes through Default() to the system",
         [](MainDlg& d) { d.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0); }, {"system command"}, {WM_SYSCOMMAND}, IDCANCEL},
        {"paint: the base's entry reaches the override", [](MainDlg& d) { d.SendMessage(WM_PAINT); }, {"paint"},
         {WM_PAINT}, IDCANCEL},
        {"a drop: the first file, the handle released",
         [](MainDlg& d) {
             headless::DropFiles(d, {"D:\\ソ\\a.3g2", "D:\\b.jpg"});
             EXPECT_EQ(headless::UnreleasedDrops(), 0);
         },
         {"drop D:\\ソ\\a.3g2"}, {WM_DROPFILES}, IDCANCEL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        headless::Reset();
        MainDlg dialog;
        EXPECT_EQ(RunDialog(dialog, kTemplate, [&](MainDlg& shown) { row.act(shown); }), row.result);
        EXPECT_EQ(dialog.log, row.log);
        std::vector<UINT> defaults;
        for (const headless::Message& message : headless::DefaultProcessed()) defaults.push_back(message.message);
        EXPECT_EQ(defaults, row.defaultProcessed);
    }
}

}  // namespace
