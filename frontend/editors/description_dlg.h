// The form for description.txt, the song's metadata: title, artist, album,
// track number, length, rights holder and seller.
#pragma once

#include <string>

#include "framework/framework.h"
#include "frontend/session/session.h"

class CDescriptionDlg : public CDialog {
public:
    CDescriptionDlg();

    // Takes the values of a description.txt text; keys it does not know, and
    // its time and copyright lines, are passed over.
    void ReadDescription(const std::string& text);
    // The eight lines of description.txt for the form's values.
    std::string DescriptionText() const;

    CString m_strAlbumTitle;
    CString m_strArtist;
    CString m_strAuthor;
    UINT m_nMinutes;
    UINT m_nSeconds;
    CString m_strPublisher;
    CString m_strTitle;
    UINT m_nTrack;
    UINT m_nTrackTotal;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    afx_msg void OnClear();

    DECLARE_MESSAGE_MAP()

private:
    void SetInitialValues();
    void TakeValue(const std::string& key, const std::string& value);
};

// The 編集 button beside description.txt: the form starts from the file beside
// the music file, with the music's length whatever the file's time line says; a
// confirmed form replaces the file whole, and a survey follows. Without a music
// file the refusal is shown over `owner`.
NextStep EditDescription(const FrontendSession& session, const std::string& musicPath, CWnd& owner);
