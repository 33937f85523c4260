// Where the Windows program starts: its application object lives on main's
// stack for the whole run, and the framework hands it the raw command line.
#include "framework/command_line.h"
#include "frontend/frontend_app.h"

int main() {
    CFrontendApp app;
    return framework::RunApplication(framework::ArgumentsAfterProgramName(::GetCommandLineA()));
}
