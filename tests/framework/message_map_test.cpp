// Message maps: button clicks by control ID and the four window messages reach
// their handlers, a derived class's entry wins over its base's, and whatever no
// handler takes (or a handler passes on with Default()) gets the system's
// processing.
#include <functional>
#include <string>
#include <vector>

#include "framework_test.h"

namespace {

constexpr UINT kTemplate = 102;
constexpr int kShared = 1001, kConvert = 1002, kUnmapped = 1003;
constexpr UINT kAboutCommand = 16;

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
public:
    HICON icon = framework::LoadIconResource(128);

protected:
    afx_msg void OnShared() { log.push_back("shared"); }
    afx_msg void OnConvert() { log.push_back("convert"); }
    void OnCancel() override {
        log.push_back("cancel");
        CDialog::OnCancel();
    }
    void OnSysCommand(UINT nID, LPARAM lParam) override {
        if ((nID & 0xFFF0) == kAboutCommand) {
            log.push_back("about");
            return;
        }
        log.push_back("system command");
        CDialog::OnSysCommand(nID, lParam);
    }
    // Reached through the base class's ON_WM_PAINT.
    void OnPaint() override {
        if (!IsIconic()) {
            log.push_back("paint");
            CDialog::OnPaint();
            return;
        }
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
        RECT client;
        GetClientRect(&client);
        dc.DrawIcon((client.right - GetSystemMetrics(SM_CXICON) + 1) / 2,
                    (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2, icon);
        log.push_back("icon");
    }
    HCURSOR OnQueryDragIcon() override { return icon; }
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
    ON_WM_QUERYDRAGICON()
    ON_WM_DROPFILES()
    ON_BN_CLICKED(kShared, OnShared)
    ON_BN_CLICKED(kConvert, OnConvert)
END_MESSAGE_MAP()

struct DispatchCase {
    const char* name;
    std::function<void(MainDlg&)> act;
    std::vector<std::string> log;
    std::vector<UINT> defaultProcessed;  // messages that reached the system
    INT_PTR result;                      // DoModal's result; IDCANCEL when the dialog stayed up
};

const DispatchCase kDispatchCases[] = {
    {"a click on a mapped button", [](MainDlg& d) { headless::Click(d, kConvert); }, {"convert"}, {}, IDCANCEL},
    {"the derived entry wins over the base's", [](MainDlg& d) { headless::Click(d, kShared); }, {"shared"}, {},
     IDCANCEL},
    {"a click nobody maps", [](MainDlg& d) { headless::Click(d, kUnmapped); }, {}, {WM_COMMAND}, IDCANCEL},
    {"a disabled button cannot be clicked",
     [](MainDlg& d) {
         d.GetDlgItem(kConvert)->EnableWindow(FALSE);
         EXPECT_FALSE(headless::Click(d, kConvert));
     },
     {}, {}, IDCANCEL},
    {"OK reaches the framework's own OnOK", [](MainDlg& d) { headless::Click(d, IDOK); }, {}, {}, IDOK},
    {"a system command the dialog handles", [](MainDlg& d) { d.SendMessage(WM_SYSCOMMAND, kAboutCommand, 0); },
     {"about"}, {}, IDCANCEL},
    {"the close box passes through Default() to OnCancel",
     [](MainDlg& d) {
         d.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
         EXPECT_EQ(d.log, (std::vector<std::string>{"system command", "cancel"}));
         d.log.clear();
     },
     {}, {WM_SYSCOMMAND}, IDCANCEL},
    {"paint, not minimized: the base's map entry reaches the override", [](MainDlg& d) { d.SendMessage(WM_PAINT); },
     {"paint"}, {WM_PAINT}, IDCANCEL},
    {"paint, minimized: the icon centred",
     [](MainDlg& d) {
         d.SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
         headless::SetClientSize(d, 100, 80);
         d.log.clear();
         d.SendMessage(WM_PAINT);
         ASSERT_EQ(headless::DrawnIcons().size(), 1u);
         EXPECT_EQ(headless::DrawnIcons()[0].x, 34);
         EXPECT_EQ(headless::DrawnIcons()[0].y, 24);
         EXPECT_EQ(headless::DrawnIcons()[0].icon, d.icon);
         EXPECT_NE(headless::DefaultProcessed().back().wParam, 0u) << "the erase carries the paint context";
     },
     {"icon"}, {WM_SYSCOMMAND, WM_ICONERASEBKGND}, IDCANCEL},
    {"the drag icon is the handler's answer",
     [](MainDlg& d) { EXPECT_EQ(d.SendMessage(WM_QUERYDRAGICON), reinterpret_cast<LRESULT>(d.icon)); }, {}, {},
     IDCANCEL},
    {"a drop: the first file, the handle released",
     [](MainDlg& d) {
         headless::DropFiles(d, {"D:\\ソ\\a.3g2", "D:\\b.jpg"});
         EXPECT_EQ(headless::UnreleasedDrops(), 0);
     },
     {"drop D:\\ソ\\a.3g2"}, {WM_DROPFILES}, IDCANCEL},
};

class Dispatch : public HeadlessTest, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(Dispatch, ReachesTheMappedHandler) {
    const DispatchCase& row = GetParam();
    MainDlg dialog;
    INT_PTR result = RunDialog(dialog, kTemplate, [&](MainDlg& shown) { row.act(shown); });

    std::vector<std::string> log = dialog.log;
    if (result == IDCANCEL && !log.empty() && log.back() == "cancel") log.pop_back();  // the script's end
    EXPECT_EQ(log, row.log);
    std::vector<UINT> defaults;
    for (const headless::Message& message : headless::DefaultProcessed()) defaults.push_back(message.message);
    EXPECT_EQ(defaults, row.defaultProcessed);
    EXPECT_EQ(result, row.result);
}

INSTANTIATE_TEST_SUITE_P(Messages, Dispatch, ::testing::ValuesIn(kDispatchCases), RowName());

// Overriding a handler is not enough: without its ON_WM_ entry the message gets the system's processing.
class UnmappedPaintDlg : public CDialog {
public:
    UnmappedPaintDlg() : CDialog(kTemplate) {}
    bool painted = false;

protected:
    void OnPaint() override { painted = true; }
};

using MessageMap = HeadlessTest;

TEST_F(MessageMap, AnOverrideWithoutItsEntryIsNotCalled) {
    UnmappedPaintDlg dialog;
    RunDialog(dialog, kTemplate, [](UnmappedPaintDlg& shown) { shown.SendMessage(WM_PAINT); });
    EXPECT_FALSE(dialog.painted);
    ASSERT_EQ(headless::DefaultProcessed().size(), 1u);
    EXPECT_EQ(headless::DefaultProcessed()[0].message, WM_PAINT);
}

}  // namespace
