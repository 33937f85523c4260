// The main dialog: the inputs of one package (music file, output file, jacket
// and wallpaper), what the survey finds in them, and the packer's start.
// Its handlers live by concern: this file's .cpp (start-up, window menu, icon),
// survey.cpp, packer_launch.cpp, packer_probe.cpp, file_choosers.cpp, and in
// editors/: description_dlg.cpp and config_dlg.cpp (the 編集 buttons) and
// text_editor.cpp (the 開く buttons).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/framework.h"

class PackageEstimate;

// The title of every refusal that keeps a conversion from starting.
extern const char kErrorBeforeConversion[];
// Refusals of a button that needs a song first: two wordings, as the buttons have them.
extern const char kChooseMusicFileFirst[];  // "select a music file first"
extern const char kChooseSoundFileFirst[];  // "select a sound source file first"

class CFrontendDlg : public CDialog {
public:
    CFrontendDlg();

    // Takes `path` as the music file and derives the output path from it; false,
    // and nothing changes, when either would be longer than a path may be.
    bool SetMusicPath(const std::string& path);

    // The survey: probes the music file, looks for the side files beside it and
    // brings every status text, the expected size and the two option boxes up to
    // date. A reset survey (lowest bit of `nReset` set, for a new music file)
    // also forgets the image choices, sets the free-clip flag and ticks the
    // options the file calls for.
    void RefreshStatus(int nReset);

    // The packer's arguments as the command line carries them, each quoted where
    // it holds a path or a name; the packer's own path comes first.
    void BuildCommandArgs(std::vector<std::string>& args);

    // Finds tessaryn.exe beside the frontend and reads its build date.
    void ProbePackerVersion();

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
    // frontend_dlg.cpp
    void AddAboutMenuItem();
    void ShowAboutBox();

    // survey.cpp
    void SurveyMusicFile(const std::string& path, bool reset, PackageEstimate& estimate);
    void OfferOptions(bool reset);
    void ClearStatuses();

    // packer_launch.cpp
    uint32_t ModeValue() const;
    std::string PackerCommandLine();

    // file_choosers.cpp
    bool TakeDroppedFile(const std::string& path);
    void ChooseImage(CString& choice, const char* title);

    // editors/text_editor.cpp
    void OpenInTextEditor(const char* fileName, CString& status, const char* refusal);
};
