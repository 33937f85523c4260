// The form for config.txt: the package's link URL and the three ring-tone clip
// slots, each with its name (kept in memory only), range and enable box; and
// the choice to show the free clip.
#pragma once

#include <string>

#include "framework/framework.h"
#include "frontend/config_clips.h"

class CConfigDlg : public CDialog {
public:
    CConfigDlg();

    // Takes the URL, the enable states and the ranges from a config.txt text.
    void ReadConfig(const std::string& text);
    // config.txt for the form's values: its three fixed lines, then the clip
    // lines up to the last enabled slot (an empty line for a disabled one before it).
    std::string ConfigText() const;

    CEdit m_editClipStartSec[kClipLineCount];
    CEdit m_editClipStartMs[kClipLineCount];
    CEdit m_editClipEndSec[kClipLineCount];
    CEdit m_editClipEndMs[kClipLineCount];
    CEdit m_editClipName[kClipLineCount];
    UINT m_nClipStartSec[kClipLineCount];
    UINT m_nClipEndSec[kClipLineCount];
    UINT m_nClipStartMs[kClipLineCount];
    UINT m_nClipEndMs[kClipLineCount];
    int m_bClipEnabled[kClipLineCount];
    CString m_strLinkUrl;
    int m_bFreeClip;
    CString m_strClipName[kClipLineCount];

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
