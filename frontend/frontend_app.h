// The frontend as a program: it shows the main dialog, modally, and ends when
// the dialog closes. Its one object lives for the whole run on the stack of
// the program's start (main.cpp), not as a global.
#pragma once

#include "framework/framework.h"

class CFrontendApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
