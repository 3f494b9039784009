#pragma once

#include <windows.h>

#include <exception>
#include <utility>

#include "Dpi.h"
#include "Twips.h"

namespace corvane {

// Base of every window class: the static procedure keeps the object in GWLP_USERDATA from
// WM_NCCREATE on and forwards each message to Derived::HandleMessage(UINT, WPARAM, LPARAM), which
// handles what it knows and passes the rest to its default procedure. The create parameter is the
// object; for an MDI child it travels in the MDICREATESTRUCT's lParam.
//
// What every window shares is done here, once:
// - DPI: Dpi() is the window's own from its creation on. WM_DPICHANGED (a top-level window moved to
//   a monitor of another DPI) takes the new DPI and the system's suggested rectangle, and
//   WM_DPICHANGED_AFTERPARENT (a child) the DPI of the window; then HandleMessage sees the message
//   so that the derived window lays itself out again.
// - Creation errors: an exception in WM_NCCREATE or WM_CREATE fails the creation, and the creator,
//   after a creation call that gave no window, raises it again with RethrowCreationError.
// - No other exception crosses the system's dispatch: a handler that throws ends its message.
template <typename Derived>
class BaseWindow {
 public:
  BaseWindow() = default;
  BaseWindow(const BaseWindow&) = delete;
  BaseWindow& operator=(const BaseWindow&) = delete;

  HWND Window() const { return m_hwnd; }

  // Converts a length in twips to pixels at this window's DPI.
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
      self->m_iDpi = DpiOf(hwnd);
      self->m_createError = nullptr;
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
    LRESULT result = 0;
    try {
      if (message == WM_DPICHANGED) {
        self->m_iDpi = LOWORD(wParam);
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                     suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
      } else if (message == WM_DPICHANGED_AFTERPARENT) {
        self->m_iDpi = DpiOf(hwnd);
      }
      result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
      if (message == WM_NCCREATE || message == WM_CREATE) {
        self->m_createError = std::current_exception();
        result = message == WM_CREATE ? -1 : FALSE;
      }
    }
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      self->m_hwnd = nullptr;
    }
    return result;
  }

 protected:
  ~BaseWindow() = default;

  // Raises again what failed the last creation of this window, if anything did.
  void RethrowCreationError() {
    if (std::exception_ptr error = std::exchange(m_createError, nullptr)) {
      std::rethrow_exception(error);
    }
  }

  HWND m_hwnd = nullptr;
  int m_iDpi = ScreenDpi();

 private:
  std::exception_ptr m_createError;
};

}  // namespace corvane
