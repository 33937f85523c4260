// The program's entry point: the raw command line (what follows the program
// name) goes to the application object.
//
// It is main, not WinMain, although the program is a window program: the C
// runtime's start-up code asks for main before any library is searched, so the
// linker takes it from this static library; a WinMain here would be asked for
// only by the runtime's own main, found after this library has been passed.
#include "framework/app.h"
#include "framework/command_line.h"

int main() { return framework::RunApplication(framework::ArgumentsAfterProgramName(::GetCommandLineA())); }
