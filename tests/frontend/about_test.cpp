// The About box: opened from バージョン情報 and from the window menu, its two
// version texts, and the messages of 更新の確認 against our update server.
#include <cstdlib>

#include "frontend/editors/about_dlg.h"
#include "tests/frontend/frontend_session.h"
#include "tests/frontend/update_server_process.h"

namespace {

using AboutBox = FrontendTest;

std::string Published(const std::string& packer, const std::string& frontend) {
    return "最新版 公開情報 | Tessaryn " + packer + " が公開されています\nFrontend " + frontend + " が公開されています";
}

// The box, modal over the main dialog from button 1000 or the window menu, shows
// both versions; 更新の確認 sends them to the server and says what it answered.
TEST_F(AboutBox, ShowsBothVersionsAndWhatTheUpdateServerAnswered) {
    struct Row {
        const char* what;
        bool fromWindowMenu;
        uint32_t ownPacker;  // 0: the packer beside the program has no banner
        const char* newestPacker;
        const char* newestFrontend;  // nullptr: no server listens
        std::string shown;           // "title | text"
    };
    const Row rows[] = {
        {"equal versions", false, 20051110, "20051110", "20051018", "更新チェック | 更新なし"},
        {"older on the server", false, 20051110, "20050101", "20050101", "更新チェック | 更新なし"},
        {"both newer", false, 20051110, "20060301", "20060215", Published("20060301", "20060215")},
        {"only the frontend newer", false, 20051110, "20051110", "20051201", Published("20051110", "20051201")},
        {"packer not recognised", true, 0, "20051110", "20051018", Published("20051110", "20051018")},
        {"no server listens", true, 20051110, "20051110", nullptr, "更新チェック | 通信エラー #1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Fresh();
        WritePacker(row.ownPacker ? "Tessaryn (20051110)" : "no banner");
        UpdateServerProcess server(row.newestPacker, row.newestFrontend ? row.newestFrontend : "20051018");
        ASSERT_NE(server.port(), 0) << "the server did not start";
        if (row.newestFrontend == nullptr) server.stop();  // its port is closed now
        setenv("TESSARYN_UPDATE_SERVER", ("127.0.0.1:" + std::to_string(server.port())).c_str(), 1);
        HWND aboutWindow = nullptr;
        std::string versions;
        Start("", [&](CFrontendDlg& dlg) {
            headless::OnDialog(IDD_ABOUTBOX, [&](CDialog& about) {
                aboutWindow = about.m_hWnd;
                versions = headless::ControlText(about, IDC_FRONTEND_VERSION) + " / " +
                           headless::ControlText(about, IDC_PACKER_VERSION);
                EXPECT_FALSE(dlg.IsWindowEnabled()) << "the main dialog waits for the About box";
                EXPECT_TRUE(headless::Click(about, IDC_CHECK_UPDATE));
            });
            if (row.fromWindowMenu) {
                dlg.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3);  // the low four bits don't count
            } else {
                headless::Click(dlg, IDC_VERSION);
            }
            EXPECT_TRUE(dlg.IsWindowEnabled());
        });
        unsetenv("TESSARYN_UPDATE_SERVER");
        EXPECT_EQ(versions, std::string("Tessaryn Frontend 20051018 / Tessaryn ") +
                                (row.ownPacker ? "20051110" : "認識エラー"));
        ASSERT_EQ(Messages(), std::vector<std::string>{row.shown});
        EXPECT_EQ(headless::MessageBoxes()[0].owner, aboutWindow) << "the message belongs to the About box";
        EXPECT_EQ(headless::MessageBoxes()[0].type, static_cast<UINT>(MB_OK));
        const std::string agent = std::string("User-Agent: Tessaryn/1.0(") + (row.ownPacker ? "20051110" : "00000000");
        if (row.newestFrontend != nullptr) {
            EXPECT_NE(server.stop().find(agent + "; Frontend 20051018)"), std::string::npos) << "the own versions sent";
        }
        EXPECT_EQ(g_dwPackerVersion, row.ownPacker) << "left as it was";
    }
}

}  // namespace
