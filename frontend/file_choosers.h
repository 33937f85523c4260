// Choosing the package's inputs: the browse and none buttons with the system's
// file dialogs, and files dropped on the main dialog, sorted by their extension.
#pragma once

#include <optional>
#include <string>

#include "framework/framework.h"
#include "frontend/session/session.h"

enum class ImageSlot { Jacket, Wallpaper };

// 参照 beside the music and the output path: the path chosen in the system's
// open or save dialog; nothing when the user cancels.
std::optional<std::string> ChooseMusicFile(CWnd& owner);
std::optional<std::string> ChooseOutputFile(CWnd& owner);

// 参照 beside an image: the chosen file becomes the slot's choice. Images belong
// to a music file's package, so without one the refusal is shown over `owner`.
NextStep ChooseImage(ImageSlot slot, FrontendSession& session, const std::string& musicPath, CWnd& owner);

// なし beside an image: no image of that kind, not even the one beside the music file.
NextStep ChooseNoImage(ImageSlot slot, FrontendSession& session);

// The first file of a drop (the drop is released); nothing when there is none.
std::optional<std::string> FirstDroppedFile(HDROP drop);

// A dropped file sorted by the extension after its last "." (a dot in a folder
// name counts too): a music file is for the main dialog to take (ResetSurvey);
// a JPEG becomes the wallpaper when it is wider or taller than 160 pixels,
// else the jacket; anything else is only surveyed.
NextStep TakeDroppedFile(const std::string& path, FrontendSession& session);
