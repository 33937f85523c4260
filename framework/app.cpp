#include "framework/app.h"

#include "common/paths.h"
#include "framework/platform.h"

namespace {

CWinApp* theApplication = nullptr;

// C:\Tools\frontend.exe gives "frontend".
std::string ProgramName() {
    std::string path;
    if (!framework::GetModulePath(path)) return "";
    const std::size_t start = FileNameStart(path, PathSeparators::Windows);
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
