// The About box: opened from バージョン情報 and from the window menu, its two
// version texts, and the three messages of 更新の確認 against our update server.
#include <cstdlib>

#include "frontend/editors/about_dlg.h"
#include "tests/frontend/frontend_session.h"
#include "tests/frontend/update_server_process.h"

namespace {

const char kNoPackerFound[] = "MZ and no banner";

class AboutBox : public FrontendTest {
protected:
    // Fresh, with the packer of `banner` beside the program (kNoPackerFound: none recognised).
    void FreshWithPacker(const char* banner) {
        Fresh();
        if (banner == kNoPackerFound) {
            Write(Program("tessaryn.exe"), std::string(kNoPackerFound));
        } else {
            WritePacker(banner);
        }
    }
};

TEST_F(AboutBox, ShowsBothVersionsFromEitherEntry) {
    struct Row {
        const char* what;
        bool fromWindowMenu;
        const char* packerBanner;  // kNoPackerFound: the packer's version is not found
        const char* packerText;
    };
    const Row rows[] = {
        {"button 1000", false, "Tessaryn (20051110)", "Tessaryn 20051110"},
        {"window menu", true, "Tessaryn (20051110)", "Tessaryn 20051110"},
        {"button 1000, packer not recognised", false, kNoPackerFound, "Tessaryn 認識エラー"},
        {"window menu, packer not recognised", true, kNoPackerFound, "Tessaryn 認識エラー"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FreshWithPacker(row.packerBanner);
        std::vector<std::string> shown;
        Start("", [&](CFrontendDlg& dlg) {
            headless::OnDialog(IDD_ABOUTBOX, [&](CDialog& about) {
                shown.push_back(headless::ControlText(about, IDC_FRONTEND_VERSION) + " / " +
                                headless::ControlText(about, IDC_PACKER_VERSION));
                EXPECT_FALSE(dlg.IsWindowEnabled()) << "the main dialog waits for the About box";
            });
            for (int time = 0; time < 2; ++time) {
                if (row.fromWindowMenu) {
                    dlg.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX);
                } else {
                    headless::Click(dlg, IDC_VERSION);
                }
                EXPECT_TRUE(dlg.IsWindowEnabled());
                g_strPackerVersion = "changed after the first showing";
            }
        });
        EXPECT_EQ(shown, (std::vector<std::string>{
                             std::string("Tessaryn Frontend 20051018 / ") + row.packerText,
                             "Tessaryn Frontend 20051018 / changed after the first showing"}))
            << "the texts are taken anew each time the box is made";
        EXPECT_TRUE(Messages().empty());
    }
}

TEST_F(AboutBox, CheckForUpdateSaysWhatTheServerAnswered) {
    const char kPublished[] = "最新版 公開情報 | ";
    struct Row {
        const char* what;
        const char* packerBanner;  // kNoPackerFound: the packer's version is not found
        const char* newestPacker;
        const char* newestFrontend;  // nullptr: no server listens
        std::string shown;           // "title | text"
    };
    const Row rows[] = {
        {"equal versions", "Tessaryn (20051110)", "20051110", "20051018", "更新チェック | 更新なし"},
        {"older on the server", "Tessaryn (20051110)", "20050101", "20050101", "更新チェック | 更新なし"},
        {"both newer", "Tessaryn (20051110)", "20060301", "20060215",
         std::string(kPublished) + "Tessaryn 20060301 が公開されています\nFrontend 20060215 が公開されています"},
        {"only the frontend newer", "Tessaryn (20051110)", "20051110", "20051201",
         std::string(kPublished) + "Tessaryn 20051110 が公開されています\nFrontend 20051201 が公開されています"},
        {"only the packer newer", "Tessaryn (20051110)", "20051111", "20051018",
         std::string(kPublished) + "Tessaryn 20051111 が公開されています\nFrontend 20051018 が公開されています"},
        {"packer not recognised", kNoPackerFound, "20051110", "20051018",
         std::string(kPublished) + "Tessaryn 20051110 が公開されています\nFrontend 20051018 が公開されています"},
        {"no server listens", "Tessaryn (20051110)", "20051110", nullptr, "更新チェック | 通信エラー #1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FreshWithPacker(row.packerBanner);
        UpdateServerProcess server(row.newestPacker, row.newestFrontend ? row.newestFrontend : "20051018");
        ASSERT_NE(server.port(), 0) << "the server did not start";
        if (row.newestFrontend == nullptr) server.stop();  // its port is closed now
        const std::string where = "127.0.0.1:" + std::to_string(server.port());
        setenv("TESSARYN_UPDATE_SERVER", where.c_str(), 1);
        HWND aboutWindow = nullptr;
        Start("", [&](CFrontendDlg& dlg) {
            headless::OnDialog(IDD_ABOUTBOX, [&](CDialog& about) {
                aboutWindow = about.m_hWnd;
                EXPECT_TRUE(headless::Click(about, IDC_CHECK_UPDATE));
            });
            headless::Click(dlg, IDC_VERSION);
        });
        unsetenv("TESSARYN_UPDATE_SERVER");
        EXPECT_EQ(Messages(), std::vector<std::string>{row.shown});
        ASSERT_EQ(headless::MessageBoxes().size(), 1u);
        EXPECT_EQ(headless::MessageBoxes()[0].owner, aboutWindow) << "the message belongs to the About box";
        EXPECT_EQ(headless::MessageBoxes()[0].type, static_cast<UINT>(MB_OK));
        const std::string ownPacker = row.packerBanner == kNoPackerFound ? "00000000" : "20051110";
        if (row.newestFrontend != nullptr) {
            EXPECT_NE(server.stop().find("User-Agent: Tessaryn/1.0(" + ownPacker + "; Frontend 20051018)"),
                      std::string::npos)
                << "the check sends the program's own versions";
        }
        EXPECT_EQ(std::to_string(g_dwPackerVersion), ownPacker == "00000000" ? "0" : ownPacker) << "left as it was";
    }
}

}  // namespace
