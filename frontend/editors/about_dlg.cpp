// The About box and its 更新の確認 button.
#include "frontend/editors/about_dlg.h"

#include <cstdio>

#include "frontend/editors/update_check.h"
#include "frontend/program_state.h"
#include "frontend/resources/resource.h"

namespace {

const char kUpdateCheckTitle[] = "更新チェック";
const char kPublishedTitle[] = "最新版 公開情報";

}  // namespace

CAboutDlg::CAboutDlg()
    : CDialog(IDD_ABOUTBOX), m_strPackerVersion(g_strPackerVersion), m_strFrontendVersion(g_strFrontendVersion) {}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_PACKER_VERSION, m_strPackerVersion);
    DDX_Text(pDX, IDC_FRONTEND_VERSION, m_strFrontendVersion);
}

// Newer when either published version is above ours (unsigned); the message
// then names both published versions.
void CAboutDlg::OnCheckUpdate() {
    const frontend::UpdateCheckResult result = frontend::CheckForUpdate(g_dwPackerVersion, g_dwFrontendVersion);
    char text[128];
    if (result.error != 0) {
        std::snprintf(text, sizeof text, "通信エラー #%ld", result.error);
        MessageBox(text, kUpdateCheckTitle, MB_OK);
    } else if (result.newestPacker > g_dwPackerVersion || result.newestFrontend > g_dwFrontendVersion) {
        std::snprintf(text, sizeof text, "Tessaryn %08lu が公開されています\nFrontend %08lu が公開されています",
                      static_cast<unsigned long>(result.newestPacker), static_cast<unsigned long>(result.newestFrontend));
        MessageBox(text, kPublishedTitle, MB_OK);
    } else {
        MessageBox("更新なし", kUpdateCheckTitle, MB_OK);
    }
}

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
    ON_BN_CLICKED(IDC_CHECK_UPDATE, OnCheckUpdate)
END_MESSAGE_MAP()
