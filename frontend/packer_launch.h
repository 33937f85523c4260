// The packer's command line: built from the session and the main dialog's
// inputs, shown in the viewer (コマンド表示), and started by 変換 as a process of
// its own that the frontend never waits for.
#pragma once

#include <string>
#include <vector>

#include "framework/framework.h"
#include "frontend/session/session.h"

// What the main dialog holds of one package.
struct PackageInputs {
    std::string musicPath;
    std::string outputPath;
    bool refragment = false;      // 再断片化 ticked
    bool rateCamouflage = false;  // レート偽装 ticked
};

// The viewer of the packer's command line: exactly the line 変換 starts.
class CCommandDlg : public CDialog {
public:
    CCommandDlg();

    CString m_strCommand;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

// The packer's arguments as the command line carries them, each quoted where
// it holds a path or a name; the packer's own path comes first.
std::vector<std::string> BuildCommandArgs(const FrontendSession& session, const PackageInputs& inputs);

// コマンド表示: the viewer, modal, with the arguments joined by blanks.
void ShowCommand(const FrontendSession& session, const PackageInputs& inputs);

// 変換: starts the packer found at start-up, or shows over `owner` why it cannot.
void Convert(const FrontendSession& session, const PackageInputs& inputs, CWnd& owner);
