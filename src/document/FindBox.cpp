#include "document/FindBox.h"

#include <commctrl.h>

#include "platform/Error.h"
#include "platform/Text.h"

namespace corvane {

FindBox::FindBox(HWND parent, int id, HWND list)
    : m_edit(Create(parent, id)), m_list(list), m_keys(m_edit, WM_CHAR, *this) {
  SendMessageW(m_edit, EM_SETCUEBANNER, /*fDrawFocused=*/FALSE,
               reinterpret_cast<LPARAM>(L"Find (Ctrl+F)"));
}

HWND FindBox::Create(HWND parent, int id) {
  HWND edit = CreateWindowExA(
      WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0, 0,
      parent, reinterpret_cast<HMENU>(INT_PTR{id}), GetModuleHandleA(nullptr), nullptr);
  if (!edit) throw SystemError("FindBox", "EDIT");
  return edit;
}

std::string FindBox::Text() const {
  return WindowText(m_edit);
}

LRESULT FindBox::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // Taken as characters: the keys themselves would still beep in the edit.
  if (wParam == VK_ESCAPE) {
    SetWindowTextA(m_edit, "");
    return 0;
  }
  if (wParam == VK_RETURN) {
    SetFocus(m_list);
    return 0;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace corvane
