#include "Twips.h"

#include <windows.h>

#include <cmath>

namespace corvane {

int TwipsToPixels(double twips, int dpi) {
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

double PixelsToTwips(int pixels, int dpi) {
  return std::round(pixels * 1440.0 / dpi);
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace corvane
