#pragma once

#include <windows.h>

namespace corvane {

// Dots per inch for a window: its monitor's on Windows 10 1607 and later (the program is
// per-monitor aware), the system's before. Functions newer than Windows 7 are looked up at run
// time, so the program still loads on an older system.
int DpiOf(HWND window);

// A length given in pixels at 96 dots per inch, at dpi.
int ScaleForDpi(int pixels, int dpi);

// The system's metric (SM_CXVSCROLL, ...) at dpi.
int MetricForDpi(int index, int dpi);

// The system's message font at dpi: the font of dialogs and bars where the design names none.
LOGFONTW MessageFontForDpi(int dpi);

// A font of the named face at a size in points, for text drawn at dpi; the caller owns it.
HFONT CreateFontForDpi(const wchar_t* face, double points, bool bold, int dpi);

}  // namespace corvane
