// Modal runs and the application: a modal dialog disables its owner while it
// runs and enables it again, the main dialog is not its own owner, and the
// application object gets the raw command line and its name.
#include <functional>
#include <string>

#include "framework_test.h"

namespace {

constexpr UINT kMainTemplate = 102, kAboutTemplate = 130;

class TestApp : public CWinApp {
public:
    std::function<void(TestApp&)> start;
    BOOL InitInstance() override {
        if (start) start(*this);
        return FALSE;
    }
};

TestApp theApp;

class PlainDlg : public CDialog {
public:
    explicit PlainDlg(UINT templateId, CWnd* parent = nullptr) : CDialog(templateId, parent) {}
};

using Modal = HeadlessTest;

TEST_F(Modal, TheOwnerIsDisabledWhileADialogRunsOverIt) {
    enum class Owner { Parent, None };  // the application's main window: tests/frontend (the About box)
    const struct {
        const char* name;
        Owner given;
        bool ownerDisabledDuringRun;
    } rows[] = {
        {"the parent given", Owner::Parent, true},
        {"no owner at all", Owner::None, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        headless::Reset();
        PlainDlg main(kMainTemplate);
        bool enabledBefore = false, enabledDuring = true, enabledAfter = false;
        headless::OnDialog(kAboutTemplate, [&](CDialog&) { enabledDuring = main.IsWindowEnabled(); });
        RunDialog(main, kMainTemplate, [&](PlainDlg& shown) {
            enabledBefore = shown.IsWindowEnabled();
            PlainDlg about(kAboutTemplate, row.given == Owner::Parent ? &shown : nullptr);
            EXPECT_EQ(about.DoModal(), IDCANCEL);
            enabledAfter = shown.IsWindowEnabled();
        });
        EXPECT_TRUE(enabledBefore) << "the main dialog is not its own owner";
        EXPECT_EQ(!enabledDuring, row.ownerDisabledDuringRun);
        EXPECT_TRUE(enabledAfter);
    }
}

TEST_F(Modal, TheApplicationGetsTheRawCommandLineAndItsName) {
    headless::SetModulePath("C:\\表\\ソフト.exe");  // the last 0x5C is ソ's: no folder separator
    std::string seen, name;
    PlainDlg main(kMainTemplate);
    headless::OnDialog(kMainTemplate, [](CDialog&) {});
    theApp.start = [&](TestApp& app) {
        seen = app.m_lpCmdLine;
        name = app.m_pszAppName;
        app.m_pMainWnd = &main;
        main.DoModal();
    };
    EXPECT_EQ(framework::RunApplication("\"D:\\My Music\\a.3g2\" \"b.3g2\""), 0);
    theApp.start = nullptr;
    EXPECT_EQ(seen, "\"D:\\My Music\\a.3g2\" \"b.3g2\"") << "neither split nor unquoted";
    EXPECT_EQ(name, "ソフト");
    EXPECT_EQ(theApp.m_pMainWnd, nullptr) << "the main window lived inside InitInstance";
}

}  // namespace
