// The main dialog: the inputs of one package (music file, output file, jacket
// and wallpaper), what the survey finds in them, and the packer's start. It
// owns the session and stands on top: each handler hands the session to the
// feature that does the work (survey.h, packer_launch.h, file_choosers.h and
// in editors/ the forms, the text editor and the About box) and shows what
// comes back.
#pragma once

#include <optional>
#include <string>

#include "framework/framework.h"
#include "frontend/editors/text_editor.h"
#include "frontend/packer_launch.h"
#include "frontend/session/session.h"
#include "frontend/survey.h"

class CFrontendDlg : public CDialog {
public:
    CFrontendDlg();

    // Takes `path` as the music file and derives the output path from it; false,
    // and nothing changes, when either would be longer than a path may be.
    bool SetMusicPath(const std::string& path);

    // The survey, shown: every status text, the expected size, the length, the
    // rate and the two option boxes brought up to date. A reset survey (for a
    // new music file) also forgets the image choices, sets the free-clip flag
    // and ticks the options the file calls for.
    void RefreshStatus(bool reset);


protected:
    CButton m_chkRefragment;
    CButton m_chkRateCamouflage;
    CString m_strMusicPath;
    CString m_strOutputPath;
    CString m_strExpectedSize;
    CString m_strConfigStatus;
    CString m_strDescriptionStatus;
    CString m_strJacketStatus;
    CString m_strWallpaperStatus;
    CString m_strLength;
    CString m_strRate;
    HICON m_hIcon;
    FrontendSession m_session;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam) override;
    afx_msg void OnPaint() override;
    afx_msg HCURSOR OnQueryDragIcon() override;
    afx_msg void OnDropFiles(HDROP hDropInfo) override;
    afx_msg void OnVersion();
    afx_msg void OnBrowseMusic();
    afx_msg void OnConvert();
    afx_msg void OnReload();
    afx_msg void OnOpenDescription();
    afx_msg void OnOpenConfig();
    afx_msg void OnBrowseOutput();
    afx_msg void OnEditDescription();
    afx_msg void OnShowCommand();
    afx_msg void OnEditConfig();
    afx_msg void OnWallpaperNone();
    afx_msg void OnJacketNone();
    afx_msg void OnWallpaperBrowse();
    afx_msg void OnJacketBrowse();

    DECLARE_MESSAGE_MAP()

private:
    void AddAboutMenuItem();
    void PaintIcon();
    std::string MusicPath() const { return std::string(m_strMusicPath); }
    PackageInputs Inputs() const;
    // Runs the survey a feature asked for (none for NextStep::Nothing) and shows it.
    void Follow(NextStep step);
    void ShowSurvey(const SurveyResult& found, bool reset);
    void TakeMusicPath(const std::optional<std::string>& path);
    void TakeOutputPath(const std::optional<std::string>& path);
    void TakeDrop(const std::optional<std::string>& path);
    void OpenSideFile(SideFile file, CString& status);
};
