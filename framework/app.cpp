#include "framework/app.h"

#include "framework/command_line.h"
#include "framework/platform.h"

namespace {

CWinApp* theApplication = nullptr;

// Where the file name starts: after the last folder separator, read character
// by character so that the second byte of ソ or 表 is not taken for one.
std::size_t FileNameStart(const std::string& path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (framework::IsCp932LeadByte(static_cast<unsigned char>(path[i]))) {
            ++i;
        } else if (path[i] == '\\' || path[i] == '/') {
            start = i + 1;
        }
    }
    return start;
}

// C:\Tools\frontend.exe gives "frontend".
std::string ProgramName() {
    std::string path;
    if (!framework::GetModulePath(path)) return "";
    std::size_t start = FileNameStart(path);
    std::size_t end = path.rfind('.');
    if (end == std::string::npos || end < start) end = path.size();
    return path.substr(start, end - start);
}

}  // namespace

CWinApp::CWinApp(const char* appName)
    : m_lpCmdLine(""), m_pszAppName(""), givenName_(appName ? appName : ""), appName_(givenName_) {
    m_pszAppName = appName_.c_str();
    theApplication = this;
}

CWinApp::~CWinApp() {
    if (theApplication == this) theApplication = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

HICON CWinApp::LoadIcon(UINT id) const { return framework::LoadIconResource(id); }

CWinApp* AfxGetApp() { return theApplication; }

namespace framework {

int RunApplication(const char* arguments) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) return 1;
    app->commandLine_ = arguments ? arguments : "";
    app->m_lpCmdLine = app->commandLine_.c_str();
    app->appName_ = app->givenName_.empty() ? ProgramName() : app->givenName_;
    app->m_pszAppName = app->appName_.c_str();
    app->InitInstance();
    app->m_pMainWnd = nullptr;  // a dialog program's main window lived inside InitInstance
    return app->ExitInstance();
}

}  // namespace framework
