// CWinApp: the program. Exactly one global object of a class derived from it
// exists; the framework's entry point hands it the raw command line and calls
// its InitInstance. A dialog program shows its main dialog there and returns
// FALSE, and the program ends.
#pragma once

#include <string>

#include "framework/win_types.h"
#include "framework/window.h"

namespace framework {

// Runs the program: sets the application's raw command line (what follows the
// program name), calls InitInstance and returns the exit code. The win32
// backend's entry point calls this; headless tests call it directly.
int RunApplication(const char* arguments);

}  // namespace framework

class CWinApp {
public:
    // `appName` captions the framework's own messages; by default the program's file name.
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    // The program's exit code.
    virtual int ExitInstance();

    // Kept for the platform's start-up sequence; controls look the same without it.
    BOOL Enable3dControls() { return TRUE; }

    // The icon resource `id` (an icon group in the .rc).
    HICON LoadIcon(UINT id) const;

    CWnd* m_pMainWnd = nullptr;
    const char* m_lpCmdLine;   // everything after the program name, untouched
    const char* m_pszAppName;

private:
    friend int framework::RunApplication(const char* arguments);
    std::string commandLine_;
    std::string givenName_;
    std::string appName_;
};

// The one application object; null before it is constructed.
CWinApp* AfxGetApp();
