#pragma once

#include <windows.h>

#include <span>
#include <string_view>
#include <vector>

#include "Dpi.h"
#include "Error.h"
#include "Handle.h"
#include "Twips.h"

namespace corvane {

// One control of a dialog laid out from code: its place and size in twips.
struct DialogControl {
  int id;
  const char* className;
  const char* caption;
  DWORD style;
  int left, top, width, height;
  DWORD exStyle = 0;
};

// Base of every dialog, modal or modeless. The dialog starts from an empty in-memory template (no
// controls; the derived class creates them from code when it gets WM_INITDIALOG) in the system's
// message font, and keeps the object in DWLP_USER, forwarding each message to
// Derived::HandleMessage(UINT, WPARAM, LPARAM), which returns TRUE for a message it handled, as a
// dialog procedure does. Dpi() is the dialog's own from WM_INITDIALOG on, and follows it to another
// monitor.
template <typename Derived>
class BaseDialog {
 public:
  BaseDialog() = default;
  BaseDialog(const BaseDialog&) = delete;
  BaseDialog& operator=(const BaseDialog&) = delete;

  HWND Window() const { return m_hwnd; }
  int Px(double twips) const { return TwipsToPixels(twips, m_iDpi); }
  int Dpi() const { return m_iDpi; }

 protected:
  ~BaseDialog() = default;

  // Shows the dialog modally, owned by owner, and returns what EndDialog was given (-1 when the
  // system could not create it). The caption is ANSI text.
  INT_PTR RunModal(HWND owner, std::string_view caption, DWORD style) {
    std::vector<DWORD> dialog = Template(caption, style);
    return DialogBoxIndirectParamA(GetModuleHandleA(nullptr),
                                   reinterpret_cast<DLGTEMPLATE*>(dialog.data()), owner, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  }

  // Creates the dialog modeless and hidden, owned by owner; the caller shows it, runs the messages
  // through IsDialogMessage and ends it with DestroyWindow. Throws the system's error when the
  // dialog cannot be created.
  void CreateModeless(HWND owner, std::string_view caption, DWORD style) {
    std::vector<DWORD> dialog = Template(caption, style);
    if (!CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                    reinterpret_cast<DLGTEMPLATE*>(dialog.data()), owner,
                                    DialogProc, reinterpret_cast<LPARAM>(this))) {
      throw SystemError("BaseDialog", caption);
    }
  }

  // Creates a control of the dialog at a place given in twips, in the dialog's font.
  HWND AddControl(const char* className, const char* text, DWORD style, int id, int left, int top,
                  int width, int height, DWORD exStyle = 0) {
    HWND control =
        CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, Px(left), Px(top),
                        Px(width), Px(height), m_hwnd, reinterpret_cast<HMENU>(INT_PTR{id}),
                        GetModuleHandleA(nullptr), nullptr);
    SendMessageA(control, WM_SETFONT, SendMessageA(m_hwnd, WM_GETFONT, 0, 0), TRUE);
    return control;
  }

  // Creates the controls, in tab order.
  void AddControls(std::span<const DialogControl> controls) {
    for (const DialogControl& c : controls) {
      AddControl(c.className, c.caption, c.style, c.id, c.left, c.top, c.width, c.height,
                 c.exStyle);
    }
  }

  // The dialog has moved to a monitor of another DPI (Dpi() is the new one already): its font and
  // its controls again from twips, rather than scaled by the dialog manager, so that every control
  // stands where its twips say at this DPI too; the frame to the suggested rectangle, then the
  // client area made exact.
  void LayOutForDpi(std::span<const DialogControl> controls, int clientWidth, int clientHeight,
                    const RECT& suggested) {
    LOGFONTW font = MessageFontForDpi(Dpi());
    m_font.Reset(CreateFontIndirectW(&font));
    SendMessageA(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), FALSE);
    for (const DialogControl& c : controls) {
      HWND control = GetDlgItem(m_hwnd, c.id);
      SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), FALSE);
      MoveWindow(control, Px(c.left), Px(c.top), Px(c.width), Px(c.height), TRUE);
    }
    SetWindowPos(m_hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    SizeClient(clientWidth, clientHeight, /*centre=*/false);
  }

  // Gives the dialog a client area of the given size in twips, keeping its frame. centre puts it in
  // the middle of its owner (of the screen without one); otherwise it stays where it is.
  void SizeClient(int width, int height, bool centre) {
    RECT window, client;
    GetWindowRect(m_hwnd, &window);
    GetClientRect(m_hwnd, &client);
    int outerWidth = Px(width) + (window.right - window.left) - client.right;
    int outerHeight = Px(height) + (window.bottom - window.top) - client.bottom;
    POINT at{window.left, window.top};
    if (centre) {
      RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
      if (HWND owner = GetWindow(m_hwnd, GW_OWNER)) GetWindowRect(owner, &around);
      at = {(around.left + around.right - outerWidth) / 2,
            (around.top + around.bottom - outerHeight) / 2};
    }
    SetWindowPos(m_hwnd, nullptr, at.x, at.y, outerWidth, outerHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }

  HWND m_hwnd = nullptr;
  int m_iDpi = ScreenDpi();
  UniqueGdiObject m_font;  // the dialog's font at a DPI it moved to

 private:
  // The in-memory template: DLGTEMPLATE, then menu, class, caption and font as zero-terminated
  // UTF-16, WORD aligned; no controls.
  static std::vector<DWORD> Template(std::string_view caption, DWORD style) {
    int length = MultiByteToWideChar(CP_ACP, 0, caption.data(), static_cast<int>(caption.size()),
                                     nullptr, 0);
    // "MS Shell Dlg" would be Microsoft Sans Serif on Windows: the message font is the system's
    // own. Its height at 96 dots per inch gives the points, which the system scales to the DPI.
    LOGFONTW font = MessageFontForDpi(USER_DEFAULT_SCREEN_DPI);
    std::wstring_view face = font.lfFaceName;
    WORD points = static_cast<WORD>(
        MulDiv(font.lfHeight < 0 ? -font.lfHeight : font.lfHeight, 72, USER_DEFAULT_SCREEN_DPI));
    std::vector<DWORD> buffer(
        (sizeof(DLGTEMPLATE) + (2 + length + 1 + 1 + face.size() + 1) * sizeof(WORD)) /
                sizeof(DWORD) +
            1,
        0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(buffer.data());
    header->style = style | DS_SETFONT | DS_MODALFRAME;
    auto* p = reinterpret_cast<WORD*>(header + 1);
    *p++ = 0;  // no menu
    *p++ = 0;  // the system's dialog class
    MultiByteToWideChar(CP_ACP, 0, caption.data(), static_cast<int>(caption.size()),
                        reinterpret_cast<wchar_t*>(p), length);
    p += length;
    *p++ = 0;
    *p++ = points ? points : 8;
    for (wchar_t c : face) *p++ = static_cast<WORD>(c);
    *p++ = 0;
    return buffer;
  }

  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Derived*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (message == WM_INITDIALOG) {
      self = static_cast<Derived*>(reinterpret_cast<BaseDialog*>(lParam));
      self->m_hwnd = hwnd;
      self->m_iDpi = DpiOf(hwnd);
      SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return FALSE;
    // On a monitor of another DPI the dialog manager resizes a per-monitor V2 dialog and moves and
    // re-fonts its controls itself; the dialog keeps the DPI for what it draws.
    if (message == WM_DPICHANGED) self->m_iDpi = LOWORD(wParam);
    INT_PTR result = FALSE;
    // No exception may cross the system's dispatch.
    try {
      result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
      result = FALSE;
    }
    if (message == WM_NCDESTROY) self->m_hwnd = nullptr;
    return result;
  }
};

}  // namespace corvane
