#include "platform/Dpi.h"

#include "platform/Twips.h"

namespace corvane {
namespace {

// An entry point of user32 that older systems lack, or null there.
template <typename Function>
Function User32Function(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

int DpiOf(HWND window) {
  static const auto getDpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  UINT dpi = getDpiForWindow && window ? getDpiForWindow(window) : 0;
  return dpi ? static_cast<int>(dpi) : ScreenDpi();
}

int ScaleForDpi(int pixels, int dpi) {
  return MulDiv(pixels, dpi, USER_DEFAULT_SCREEN_DPI);
}

int MetricForDpi(int index, int dpi) {
  static const auto forDpi = User32Function<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
  if (forDpi) return forDpi(index, static_cast<UINT>(dpi));
  return MulDiv(GetSystemMetrics(index), dpi, ScreenDpi());
}

LOGFONTW MessageFontForDpi(int dpi) {
  static const auto forDpi =
      User32Function<BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    return metrics.lfMessageFont;
  }
  // Before Windows 10 1607 the metrics are those of the system's DPI.
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, ScreenDpi());
  return metrics.lfMessageFont;
}

HFONT CreateFontForDpi(const wchar_t* face, double points, bool bold, int dpi) {
  LOGFONTW font{};
  font.lfHeight = -static_cast<LONG>(points * dpi / 72 + 0.5);
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

}  // namespace corvane
