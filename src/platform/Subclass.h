#pragma once

#include <windows.h>

namespace corvane {

// How an attached message is shared between the window and its handler; the handler's
// MsgResponse() names one of these and is asked each time the message arrives.
enum SubclassResponse : LONG {
  kPostProcess = 1,  // the window's own processing first, then the handler; the window's result
  kPreProcess = 2,   // the handler first, then the window's own processing; the window's result
  kConsume = 3,      // only the handler; its result is the message's result
};

// A handler of attached messages, implemented by the window's owner.
class ISubclass {
 public:
  virtual LONG MsgResponse() = 0;
  virtual void MsgResponse(LONG value) = 0;
  virtual LRESULT WindowProc(HWND hwnd, UINT iMsg, WPARAM wParam, LPARAM lParam) = 0;

 protected:
  ~ISubclass() = default;
};

// Attaches a handler to one message of a window for its own lifetime: the constructor attaches,
// the destructor detaches. Both the window and the handler must outlive the attachment, or the
// window is destroyed first (the attachment then goes quiet). Exceptions from the handler end at
// the window procedure. Throws corvane::Error when the system refuses the subclass.
class SubclassAttachment {
 public:
  SubclassAttachment(HWND hwnd, UINT message, ISubclass& handler);
  ~SubclassAttachment();
  SubclassAttachment(const SubclassAttachment&) = delete;
  SubclassAttachment& operator=(const SubclassAttachment&) = delete;

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR data);

  HWND m_hwnd;
  UINT m_message;
  ISubclass& m_handler;
};

}  // namespace corvane
