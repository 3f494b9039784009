#include "Subclass.h"

#include <commctrl.h>

#include "Error.h"

namespace corvane {

SubclassAttachment::SubclassAttachment(HWND hwnd, UINT message, ISubclass& handler)
    : m_hwnd(hwnd), m_message(message), m_handler(handler) {
  if (!SetWindowSubclass(hwnd, Procedure, reinterpret_cast<UINT_PTR>(this),
                         reinterpret_cast<DWORD_PTR>(this))) {
    throw SystemError("Subclass", "attach");
  }
}

SubclassAttachment::~SubclassAttachment() {
  if (m_hwnd) RemoveWindowSubclass(m_hwnd, Procedure, reinterpret_cast<UINT_PTR>(this));
}

LRESULT CALLBACK SubclassAttachment::Procedure(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
  auto* self = reinterpret_cast<SubclassAttachment*>(data);
  if (message == WM_NCDESTROY) {
    // The window goes first: detach now so that the destructor has nothing left to undo.
    RemoveWindowSubclass(hwnd, Procedure, id);
    self->m_hwnd = nullptr;
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }
  if (message != self->m_message) return DefSubclassProc(hwnd, message, wParam, lParam);

  auto callHandler = [&]() -> LRESULT {
    try {
      return self->m_handler.WindowProc(hwnd, message, wParam, lParam);
    } catch (...) {
      return 0;
    }
  };
  switch (self->m_handler.MsgResponse()) {
    case kConsume:
      return callHandler();
    case kPreProcess:
      callHandler();
      return DefSubclassProc(hwnd, message, wParam, lParam);
    default: {
      LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
      callHandler();
      return result;
    }
  }
}

}  // namespace corvane
