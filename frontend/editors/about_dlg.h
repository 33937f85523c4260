// The About box: the versions of the frontend and of the packer beside it, and
// the button that asks our update server for newer ones.
#pragma once

#include "framework/framework.h"

class CAboutDlg : public CDialog {
public:
    // Takes both version texts as they are now; the box is made anew each time it is shown.
    CAboutDlg();

    CString m_strPackerVersion;
    CString m_strFrontendVersion;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    afx_msg void OnCheckUpdate();

    DECLARE_MESSAGE_MAP()
};
