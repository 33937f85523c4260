// The 開く buttons beside description.txt and config.txt: the side file in the
// system's text editor. The frontend neither waits for the editor nor watches
// the file; the status line asks for a reload until the next survey.
#include <string>

#include "common/package_layout.h"
#include "common/paths.h"
#include "framework/framework.h"
#include "frontend/frontend_dlg.h"

namespace {

const char kPleaseReload[] = "再読込してください";

}  // namespace

// The editor is started on the quoted path whether or not the file exists; a
// failed start goes unreported, as the status line already asks for a reload.
void CFrontendDlg::OpenInTextEditor(const char* fileName, CString& status, const char* refusal) {
    (void)UpdateData(TRUE);
    if (m_strMusicPath.IsEmpty()) {
        MessageBox(refusal, kErrorBeforeConversion, MB_OK);
        return;
    }
    const std::string quotedPath = "\"" + SiblingPath(std::string(m_strMusicPath), fileName) + "\"";
    status = kPleaseReload;
    UpdateData(FALSE);
    (void)framework::StartTextEditor(quotedPath);
}

void CFrontendDlg::OnOpenDescription() {
    OpenInTextEditor(kDescriptionName, m_strDescriptionStatus, kChooseSoundFileFirst);
}

void CFrontendDlg::OnOpenConfig() { OpenInTextEditor(kConfigName, m_strConfigStatus, kChooseMusicFileFirst); }
