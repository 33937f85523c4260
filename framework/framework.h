// Everything the frontend's classes are written against: the dialog framework
// (CWinApp, CDialog, CWnd, the controls, CString, data exchange, message maps)
// and the operating-system shims.
#pragma once

#include "framework/app.h"
#include "framework/command_line.h"
#include "framework/cstring.h"
#include "framework/data_exchange.h"
#include "framework/dialog.h"
#include "framework/message_map.h"
#include "framework/platform.h"
#include "framework/win_types.h"
#include "framework/window.h"
