#pragma once

#include <windows.h>

#include <string>

#include "platform/Subclass.h"

namespace corvane {

// The search box of a document window's header bar: an edit control whose changes reach the
// parent as EN_CHANGE. Escape empties it; Enter hands the focus to the list it searches. Both
// windows must outlive this object, or the box be destroyed first.
class FindBox : private ISubclass {
 public:
  // Creates the box as control id of parent; list gets the focus on Enter. Throws what failed.
  FindBox(HWND parent, int id, HWND list);
  FindBox(const FindBox&) = delete;
  FindBox& operator=(const FindBox&) = delete;

  HWND Window() const { return m_edit; }
  std::string Text() const;

 private:
  static HWND Create(HWND parent, int id);
  LONG MsgResponse() override { return kConsume; }
  void MsgResponse(LONG) override {}
  LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

  HWND m_edit;
  HWND m_list;
  SubclassAttachment m_keys;
};

}  // namespace corvane
