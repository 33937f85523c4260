// Modal runs and the application: a modal dialog disables its parent while it
// runs and enables it again, and the application object gets the raw command
// line and its name.
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

using Modal = HeadlessTest;

// (The application's main window as the owner, and the main dialog not its own: tests/frontend, the About box.)
TEST_F(Modal, TheParentIsDisabledWhileADialogRunsOverIt) {
    CDialog main(kMainTemplate);
    std::string enabled;  // the parent's state before, during and after the run
    headless::OnDialog(kAboutTemplate, [&](CDialog&) { enabled += std::to_string(main.IsWindowEnabled()); });
    RunDialog(main, kMainTemplate, [&](CDialog& shown) {
        enabled += std::to_string(shown.IsWindowEnabled());
        CDialog about(kAboutTemplate, &shown);
        EXPECT_EQ(about.DoModal(), IDCANCEL);
        enabled += std::to_string(shown.IsWindowEnabled());
    });
    EXPECT_EQ(enabled, "101");
}

TEST_F(Modal, TheApplicationGetsTheRawCommandLineAndItsName) {
    headless::SetModulePath("C:\\表\\ソフト.exe");  // the last 0x5C is ソ's: no folder separator
    std::string seen;
    CDialog main(kMainTemplate);
    theApp.start = [&](TestApp& app) {
        seen = std::string(app.m_lpCmdLine) + " | " + app.m_pszAppName;
        app.m_pMainWnd = &main;
    };
    EXPECT_EQ(framework::RunApplication("\"D:\\My Music\\a.3g2\" \"b.3g2\""), 0);
    theApp.start = nullptr;
    EXPECT_EQ(seen, "\"D:\\My Music\\a.3g2\" \"b.3g2\" | ソフト") << "neither split nor unquoted";
    EXPECT_EQ(theApp.m_pMainWnd, nullptr) << "the main window lived inside InitInstance";
}

}  // namespace
