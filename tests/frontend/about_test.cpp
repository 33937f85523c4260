// The About box: what 更新の確認 tells for each answer, the whole check against
// our update server, and the main dialog opening the box from バージョン情報 and
// the window menu.
#include <cstdlib>

#include "frontend/editors/about_dlg.h"
#include "tests/frontend/frontend_fixture.h"
#include "tests/frontend/update_server_process.h"

namespace {

using AboutBox = FrontendTest;
using frontend::UpdateError;

TEST_F(AboutBox, TellsWhatTheUpdateCheckFound) {
    const std::string published = "最新版 公開情報 | Tessaryn 20060301 が公開されています\nFrontend 20051018 が公開されています";
    struct Row { const char* what; frontend::UpdateCheckResult result; uint32_t ownPacker; std::string shown; };
    const Row rows[] = {
        {"equal versions", {UpdateError::None, 20051110, 20051018}, 20051110, "更新チェック | 更新なし"},
        {"older on the server", {UpdateError::None, 20050101, 20050101}, 20051110, "更新チェック | 更新なし"},
        {"a newer packer", {UpdateError::None, 20060301, 20051018}, 20051110, published},
        {"only the frontend newer", {UpdateError::None, 20051110, 20051201}, 20051110,
         "最新版 公開情報 | Tessaryn 20051110 が公開されています\nFrontend 20051201 が公開されています"},
        {"packer not recognised", {UpdateError::None, 20060301, 20051018}, 0, published},
        {"no reply", {UpdateError::NoReply, 1, 2}, 20051110, "更新チェック | 通信エラー #2"},
    };
    for (const Row& row : rows) {
        const UpdateNotice notice = DescribeUpdateCheck(row.result, row.ownPacker, 20051018);
        EXPECT_EQ(notice.title + " | " + notice.text, row.shown) << row.what;
    }
}

// The box shows the session's versions and sends them; the message belongs to
// the box. A closed port is error 1.
TEST_F(AboutBox, AsksOurUpdateServer) {
    UpdateServerProcess server("20060301", "20051018");
    ASSERT_NE(server.port(), 0) << "the server did not start";
    FrontendSession session;
    session.packer = RecognisePacker(0);
    session.frontend = {20051018, "Tessaryn Frontend 20051018"};
    HWND aboutWindow = nullptr;
    const auto check = [&] {
        setenv("TESSARYN_UPDATE_SERVER", ("127.0.0.1:" + std::to_string(server.port())).c_str(), 1);
        WhileUp(IDD_ABOUTBOX, [&](CDialog& about) {
            aboutWindow = about.m_hWnd;
            EXPECT_EQ(Text(about, IDC_FRONTEND_VERSION) + " / " + Text(about, IDC_PACKER_VERSION),
                      "Tessaryn Frontend 20051018 / Tessaryn 認識エラー");
            EXPECT_TRUE(headless::Click(about, IDC_CHECK_UPDATE));
        }, [&] { ShowAboutBox(session); });
        unsetenv("TESSARYN_UPDATE_SERVER");
    };
    check();
    EXPECT_NE(server.stop().find("User-Agent: Tessaryn/1.0(00000000; Frontend 20051018)"), std::string::npos);
    check();  // its port is closed now
    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              "最新版 公開情報 | Tessaryn 20060301 が公開されています\nFrontend 20051018 が公開されています",
                              "更新チェック | 通信エラー #1"}));
    EXPECT_EQ(headless::MessageBoxes().back().owner, aboutWindow);
    EXPECT_EQ(headless::MessageBoxes().back().type, static_cast<UINT>(MB_OK));
}

// The box shows the versions found at start-up, modal over the main dialog.
TEST_F(AboutBox, OpensFromTheButtonAndTheWindowMenu) {
    std::vector<std::string> shown;
    Start("", [&](CFrontendDlg& dlg) {
        const auto open = [&](const std::function<void()>& click) {
            WhileUp(IDD_ABOUTBOX, [&](CDialog& about) {
                shown.push_back(Text(about, IDC_FRONTEND_VERSION) + " / " + Text(about, IDC_PACKER_VERSION));
                EXPECT_FALSE(dlg.IsWindowEnabled()) << "the main dialog waits for the About box";
            }, click);
            EXPECT_TRUE(dlg.IsWindowEnabled());
        };
        open([&] { headless::Click(dlg, IDC_VERSION); });
        open([&] { dlg.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3); });  // the low four bits don't count
    });
    EXPECT_EQ(shown, std::vector<std::string>(2, "Tessaryn Frontend 20051018 / Tessaryn 20051110"));
}

}  // namespace
