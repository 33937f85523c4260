#include "frontend/frontend_app.h"

#include <string>

#include "frontend/frontend_dlg.h"

namespace {

// The music path the program was started with: the raw command line stored
// whole, not split into arguments. When it starts with a double quote, its first
// and last characters are dropped, whatever the last one is.
std::string MusicPathFromCommandLine(const char* commandLine) {
    std::string path = commandLine ? commandLine : "";
    if (path.empty() || path.front() != '"') return path;
    return path.size() < 2 ? std::string() : path.substr(1, path.size() - 2);
}

}  // namespace

BOOL CFrontendApp::InitInstance() {
    Enable3dControls();
    CFrontendDlg dlg;
    m_pMainWnd = &dlg;
    const std::string musicPath = MusicPathFromCommandLine(m_lpCmdLine);
    if (!musicPath.empty()) dlg.SetMusicPath(musicPath);
    dlg.DoModal();
    return FALSE;  // the program ends with its dialog
}
