#include "dialogs/PromptFont.h"

#include "platform/Dpi.h"

namespace corvane {

UniqueGdiObject UsePromptFont(HWND dialog, int dpi) {
  UniqueGdiObject font(CreateFontForDpi(L"Tahoma", 8.25, /*bold=*/false, dpi));
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
  }
  return font;
}

}  // namespace corvane
