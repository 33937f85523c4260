// The 開く buttons beside description.txt and config.txt: the side file in the
// system's text editor. The frontend neither waits for the editor nor watches
// the file; its status line asks for a reload until the next survey.
#pragma once

#include <string>

#include "framework/framework.h"

// What the status line shows once the editor has been started.
inline constexpr char kPleaseReload[] = "再読込してください";

enum class SideFile { Description, Config };

// Starts the editor on the side file beside the music file, whether or not it
// exists; a failed start goes unreported. Without a music file the button's
// refusal is shown over `owner` instead, and false returned.
bool OpenInTextEditor(SideFile file, const std::string& musicPath, CWnd& owner);
