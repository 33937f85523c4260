// Modal runs and the application: a modal dialog disables its owner while it
// runs and enables it again, a run always ends, and the application object gets
// the raw command line.
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

enum class OwnerGiven { AsParent, AsMainWindow, NotAtAll };

struct OwnerCase {
    const char* name;
    OwnerGiven given;
    bool ownerDisabledDuringRun;
};

class ModalOwner : public HeadlessTest, public ::testing::WithParamInterface<OwnerCase> {
protected:
    void TearDown() override {
        theApp.m_pMainWnd = nullptr;
        HeadlessTest::TearDown();
    }
};

TEST_P(ModalOwner, IsDisabledWhileTheDialogRuns) {
    const OwnerCase& row = GetParam();
    PlainDlg main(kMainTemplate);
    bool enabledDuring = true, enabledAfter = false;
    headless::OnDialog(kAboutTemplate, [&](CDialog&) { enabledDuring = main.IsWindowEnabled(); });
    RunDialog(main, kMainTemplate, [&](PlainDlg& shown) {
        if (row.given == OwnerGiven::AsMainWindow) theApp.m_pMainWnd = &shown;
        PlainDlg about(kAboutTemplate, row.given == OwnerGiven::AsParent ? &shown : nullptr);
        EXPECT_EQ(about.DoModal(), IDCANCEL);
        enabledAfter = shown.IsWindowEnabled();
    });
    EXPECT_EQ(!enabledDuring, row.ownerDisabledDuringRun);
    EXPECT_TRUE(enabledAfter);
}

INSTANTIATE_TEST_SUITE_P(Owners, ModalOwner,
                         ::testing::Values(OwnerCase{"the parent given", OwnerGiven::AsParent, true},
                                           OwnerCase{"the application's main window", OwnerGiven::AsMainWindow, true},
                                           OwnerCase{"no owner at all", OwnerGiven::NotAtAll, false}),
                         RowName());

using Modal = HeadlessTest;

TEST_F(Modal, AnOwnerDisabledBeforeStaysDisabled) {
    PlainDlg main(kMainTemplate);
    headless::OnDialog(kAboutTemplate, [](CDialog&) {});
    bool enabledAfter = true;
    RunDialog(main, kMainTemplate, [&](PlainDlg& shown) {
        shown.EnableWindow(FALSE);
        PlainDlg(kAboutTemplate, &shown).DoModal();
        enabledAfter = shown.IsWindowEnabled();
    });
    EXPECT_FALSE(enabledAfter);
}

TEST_F(Modal, TheMainDialogIsNotItsOwnOwner) {
    PlainDlg main(kMainTemplate);
    theApp.m_pMainWnd = &main;
    bool enabled = false;
    RunDialog(main, kMainTemplate, [&](PlainDlg& shown) { enabled = shown.IsWindowEnabled(); });
    theApp.m_pMainWnd = nullptr;
    EXPECT_TRUE(enabled);
}

TEST_F(Modal, ATemplateWithoutScriptCannotBeShown) {
    PlainDlg dialog(kAboutTemplate);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

class StubbornDlg : public CDialog {
public:
    StubbornDlg() : CDialog(kAboutTemplate) {}
    int cancels = 0;

protected:
    void OnCancel() override { ++cancels; }
};

TEST_F(Modal, ARunAlwaysEndsEvenWhenCancelIsRefused) {
    StubbornDlg dialog;
    EXPECT_EQ(RunDialog(dialog, kAboutTemplate, [](StubbornDlg&) {}), IDCANCEL);
    EXPECT_EQ(dialog.cancels, 1) << "the end of the script is an Escape";
    EXPECT_EQ(dialog.GetDlgItem(1001), nullptr) << "its controls are gone with it";
}

TEST_F(Modal, EndDialogDuringInitialisationSkipsTheScript) {
    class QuickDlg : public CDialog {
    public:
        QuickDlg() : CDialog(kAboutTemplate) {}
        BOOL OnInitDialog() override {
            EndDialog(42);
            return TRUE;
        }
    } dialog;
    bool scriptRan = false;
    EXPECT_EQ(RunDialog(dialog, kAboutTemplate, [&](CDialog&) { scriptRan = true; }), 42);
    EXPECT_FALSE(scriptRan);
}

struct StartCase {
    const char* name;
    std::string arguments;
    std::string modulePath;
    std::string appName;
};

class Start : public HeadlessTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(Start, HandsTheRawCommandLineToInitInstance) {
    const StartCase& row = GetParam();
    headless::SetModulePath(row.modulePath);
    std::string seen, name;
    PlainDlg main(kMainTemplate);
    headless::OnDialog(kMainTemplate, [](CDialog&) {});
    theApp.start = [&](TestApp& app) {
        seen = app.m_lpCmdLine;
        name = app.m_pszAppName;
        app.m_pMainWnd = &main;
        main.DoModal();
    };
    EXPECT_EQ(framework::RunApplication(row.arguments.c_str()), 0);
    theApp.start = nullptr;
    EXPECT_EQ(seen, row.arguments);
    EXPECT_EQ(name, row.appName);
    EXPECT_EQ(theApp.m_pMainWnd, nullptr) << "the main window lived inside InitInstance";
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, Start,
    ::testing::Values(StartCase{"a quoted path, untouched", "\"D:\\My Music\\song.3g2\"", "C:\\t\\frontend.exe", "frontend"},
                      StartCase{"two paths, not split", "\"a.3g2\" \"b.3g2\"", "C:\\t\\frontend.exe", "frontend"},
                      StartCase{"nothing", "", "C:\\表\\ソフト.exe", "ソフト"}),
    RowName());

}  // namespace
