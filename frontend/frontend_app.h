// The frontend as a program: it shows the main dialog, modally, and ends when
// the dialog closes. Its one object lives for the whole run where the program
// starts (main.cpp; each test makes its own).
#pragma once

#include "framework/framework.h"

class CFrontendApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
