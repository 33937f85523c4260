// The form for config.txt: the package's link URL and the three ring-tone clip
// slots, each with its name (kept in memory only), range and enable box; and
// the choice to show the free clip.
#pragma once

#include <string>

#include "framework/framework.h"
#include "frontend/probes/config_clips.h"
#include "frontend/session/session.h"

class CConfigDlg : public CDialog {
public:
    // The free-clip box starts as the session has it.
    explicit CConfigDlg(bool freeClip = false);

    // Takes the URL, the enable states and the ranges from a config.txt text.
    void ReadConfig(const std::string& text);
    // config.txt for the form's values: its three fixed lines, then the clip
    // lines up to the last enabled slot (an empty line for a disabled one before it).
    std::string ConfigText() const;
    // The slots whose enable box is ticked.
    ClipFlags EnabledClips() const;

    CEdit m_editClipStartSec[kClipCount];
    CEdit m_editClipStartMs[kClipCount];
    CEdit m_editClipEndSec[kClipCount];
    CEdit m_editClipEndMs[kClipCount];
    CEdit m_editClipName[kClipCount];
    UINT m_nClipStartSec[kClipCount];
    UINT m_nClipEndSec[kClipCount];
    UINT m_nClipStartMs[kClipCount];
    UINT m_nClipEndMs[kClipCount];
    int m_bClipEnabled[kClipCount];
    CString m_strLinkUrl;
    int m_bFreeClip;
    CString m_strClipName[kClipCount];

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnClip1Enable();
    afx_msg void OnClip2Enable();
    afx_msg void OnClip3Enable();

    DECLARE_MESSAGE_MAP()

private:
    // Enables or disables the slot's five edits by its enable state.
    void EnableSlot(int slot);
    // An enable box was clicked: the controls' values are taken, then the slot follows its box.
    void FollowEnableBox(int slot);
};

// The 編集 button beside config.txt. The form starts from the file beside the
// music file and the clip names and free-clip choice of the session. Its clip
// flags follow the file as read when the form is cancelled, and the form's
// choices when it is confirmed, even when the file cannot be written: they
// stand for the next command line. A confirmed form replaces the file whole and
// a survey follows. Without a music file the refusal is shown over `owner`.
NextStep EditConfig(FrontendSession& session, const std::string& musicPath, CWnd& owner);
