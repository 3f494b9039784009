#pragma once

#include <windows.h>

#include "Twips.h"

namespace corvane {

// Base of every window class: the static procedure keeps the object in GWLP_USERDATA from
// WM_NCCREATE on and forwards each message to Derived::HandleMessage(UINT, WPARAM, LPARAM), which
// handles what it knows and passes the rest to its default procedure. The create parameter is the
// object; for an MDI child it travels in the MDICREATESTRUCT's lParam.
template <typename Derived>
class BaseWindow {
 public:
  BaseWindow() = default;
  BaseWindow(const BaseWindow&) = delete;
  BaseWindow& operator=(const BaseWindow&) = delete;

  HWND Window() const { return m_hwnd; }

  // Converts a length in twips to pixels of this screen.
  int Px(double twips) const { return TwipsToPixels(twips, m_iDpi); }
  int Dpi() const { return m_iDpi; }

  // The window procedure to register for Derived's window class.
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Derived*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
      LPARAM param = reinterpret_cast<LPARAM>(create->lpCreateParams);
      if (create->dwExStyle & WS_EX_MDICHILD) {
        param = reinterpret_cast<MDICREATESTRUCTA*>(create->lpCreateParams)->lParam;
      }
      self = reinterpret_cast<Derived*>(param);
      self->m_hwnd = hwnd;
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
    LRESULT result = 0;
    // No exception may cross the system's dispatch: a handler that throws ends its message there.
    try {
      result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
      result = 0;
    }
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      self->m_hwnd = nullptr;
    }
    return result;
  }

 protected:
  ~BaseWindow() = default;

  HWND m_hwnd = nullptr;
  int m_iDpi = ScreenDpi();
};

}  // namespace corvane
