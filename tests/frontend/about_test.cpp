// The About box: what 更新の確認 tells for each answer, and the main dialog
// opening the box from バージョン情報 and the window menu. (The whole check
// against tools/update-server.py runs under Wine.)
#include <cstdlib>

#include "frontend/editors/about_dlg.h"
#include "tests/frontend/frontend_fixture.h"

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
        {"no reply", {UpdateError::NoReply, 1, 2}, 20051110, "更新チェック | 通信エラー #2"},
    };
    for (const Row& row : rows) {
        const UpdateNotice notice = DescribeUpdateCheck(row.result, row.ownPacker, 20051018);
        EXPECT_EQ(notice.title + " | " + notice.text, row.shown) << row.what;
    }
}

// The box shows the versions found at start-up, modal over the main dialog, and
// owns the message of its check (here of a server setting the check refuses: error 1).
TEST_F(AboutBox, OpensFromTheButtonAndTheWindowMenu) {
    setenv("TESSARYN_UPDATE_SERVER", "update.invalid:0", 1);
    std::vector<std::string> shown;
    Start("", [&](CFrontendDlg& dlg) {
        const auto open = [&](const std::function<void()>& click) {
            WhileUp(IDD_ABOUTBOX, [&](CDialog& about) {
                shown.push_back(Text(about, IDC_FRONTEND_VERSION) + " / " + Text(about, IDC_PACKER_VERSION));
                EXPECT_FALSE(dlg.IsWindowEnabled()) << "the main dialog waits for the About box";
                EXPECT_TRUE(headless::Click(about, IDC_CHECK_UPDATE));
                EXPECT_EQ(headless::MessageBoxes().back().owner, about.m_hWnd);
            }, click);
            EXPECT_TRUE(dlg.IsWindowEnabled());
        };
        open([&] { headless::Click(dlg, IDC_VERSION); });
        open([&] { dlg.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3); });  // the low four bits don't count
    });
    unsetenv("TESSARYN_UPDATE_SERVER");
    EXPECT_EQ(shown, std::vector<std::string>(2, "Tessaryn Frontend 20051018 / Tessaryn 20051110"));
    EXPECT_EQ(Messages(), std::vector<std::string>(2, "更新チェック | 通信エラー #1"));
    EXPECT_EQ(headless::MessageBoxes().back().type, static_cast<UINT>(MB_OK));
}

}  // namespace
