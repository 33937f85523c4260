// The About box: the versions of the frontend and of the packer beside it, and
// the button that asks our update server for newer ones.
#pragma once

#include <cstdint>
#include <string>

#include "framework/framework.h"
#include "frontend/session/session.h"
#include "frontend/update/update_check.h"

class CAboutDlg : public CDialog {
public:
    // Takes both versions as the session has them; the box is made anew each time it is shown.
    explicit CAboutDlg(const FrontendSession& session);

    CString m_strPackerVersion;
    CString m_strFrontendVersion;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    afx_msg void OnCheckUpdate();

    DECLARE_MESSAGE_MAP()

private:
    uint32_t packerVersion_;
    uint32_t frontendVersion_;
};

// What 更新の確認 tells the user: a newer version (either published one above
// ours, compared unsigned) names both published versions.
struct UpdateNotice {
    std::string text;
    std::string title;
};
UpdateNotice DescribeUpdateCheck(const frontend::UpdateCheckResult& result, uint32_t packerVersion, uint32_t frontendVersion);

// バージョン情報 and the window menu's entry: the About box, modal over the main dialog.
void ShowAboutBox(const FrontendSession& session);
