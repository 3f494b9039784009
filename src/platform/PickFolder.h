#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace corvane {

// The system's folder chooser (the file dialog in its folder mode), owned by owner, with title as
// its caption. The chosen folder's full path, or nothing when the user cancelled or the dialog
// could not be shown. Needs COM on the calling thread.
std::optional<std::string> PickFolder(HWND owner, const wchar_t* title);

}  // namespace corvane
