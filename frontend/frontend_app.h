// The frontend as a program: it shows the main dialog, modally, and ends when
// the dialog closes.
#pragma once

#include "framework/framework.h"

class CFrontendApp : public CWinApp {
public:
    BOOL InitInstance() override;
};

extern CFrontendApp theApp;
