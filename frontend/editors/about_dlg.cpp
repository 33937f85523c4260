#include "frontend/editors/about_dlg.h"

#include <cstdio>

#include "frontend/resources/resource.h"

namespace {

const char kUpdateCheckTitle[] = "更新チェック";
const char kPublishedTitle[] = "最新版 公開情報";

}  // namespace

CAboutDlg::CAboutDlg(const FrontendSession& session)
    : CDialog(IDD_ABOUTBOX),
      m_strPackerVersion(session.packer.versionText.c_str()),
      m_strFrontendVersion(session.frontend.versionText.c_str()),
      packerVersion_(session.packer.version),
      frontendVersion_(session.frontend.version) {}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_PACKER_VERSION, m_strPackerVersion);
    DDX_Text(pDX, IDC_FRONTEND_VERSION, m_strFrontendVersion);
}

void CAboutDlg::OnCheckUpdate() {
    const UpdateNotice notice =
        DescribeUpdateCheck(frontend::CheckForUpdate(packerVersion_, frontendVersion_), packerVersion_, frontendVersion_);
    MessageBox(notice.text.c_str(), notice.title.c_str(), MB_OK);
}

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
    ON_BN_CLICKED(IDC_CHECK_UPDATE, OnCheckUpdate)
END_MESSAGE_MAP()

UpdateNotice DescribeUpdateCheck(const frontend::UpdateCheckResult& result, uint32_t packerVersion, uint32_t frontendVersion) {
    char text[128];
    if (result.error != frontend::UpdateError::None) {
        std::snprintf(text, sizeof text, "通信エラー #%ld", static_cast<long>(result.error));
        return {text, kUpdateCheckTitle};
    }
    if (result.newestPacker > packerVersion || result.newestFrontend > frontendVersion) {
        std::snprintf(text, sizeof text, "Tessaryn %08lu が公開されています\nFrontend %08lu が公開されています",
                      static_cast<unsigned long>(result.newestPacker), static_cast<unsigned long>(result.newestFrontend));
        return {text, kPublishedTitle};
    }
    return {"更新なし", kUpdateCheckTitle};
}

void ShowAboutBox(const FrontendSession& session) {
    CAboutDlg about(session);
    about.DoModal();
}
