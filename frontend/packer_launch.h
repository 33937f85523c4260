// The viewer of the packer's command line: exactly the line 変換 starts.
#pragma once

#include "framework/framework.h"

class CCommandDlg : public CDialog {
public:
    CCommandDlg();

    CString m_strCommand;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
