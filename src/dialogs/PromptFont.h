#pragma once

#include <windows.h>

#include "platform/Handle.h"

namespace corvane {

// Sets the prompts' font, Tahoma 8.25 points at dpi, on every control of dialog; the dialog keeps
// the returned font for its lifetime.
UniqueGdiObject UsePromptFont(HWND dialog, int dpi);

}  // namespace corvane
