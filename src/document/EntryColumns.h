#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/Subclass.h"

namespace corvane {

// The columns of a document's entry list and their widths. A column is as wide as the user last
// dragged it (kept per user), else its given width, widened at the first fill to fit its header
// and the widest text among the rows first shown (up to a cap). A double-click on a header
// divider fits the column to its header and the rows in view. The header shows the sort column's
// direction with the system's arrow. The list view must outlive this object.
class EntryColumns : private ISubclass {
 public:
  // The text of a row's column, for measuring.
  using RowText = std::function<std::string(int row, int column)>;

  // Inserts the columns into listView and takes its header's divider double-clicks and drags.
  EntryColumns(HWND listView, RowText rowText);
  EntryColumns(const EntryColumns&) = delete;
  EntryColumns& operator=(const EntryColumns&) = delete;

  // Sets every column's width for dpi (the list's font must be set first).
  void ApplyDpi(int dpi);
  // Widens, once per window, the columns the user never sized to fit the rows now in view.
  void FitFirstRows();
  // The arrow on column (none for a column outside the list), up when ascending.
  void ShowSort(int column, bool ascending);

 private:
  // The width that shows column's header and its texts in the rows in view, in pixels.
  int FittingWidth(int column) const;
  int TextWidth(const std::string& text) const;
  void StoreWidth(int column, int pixels);

  LONG MsgResponse() override { return kConsume; }
  void MsgResponse(LONG) override {}
  LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

  HWND m_list;
  RowText m_rowText;
  int m_dpi = 96;
  bool m_fitted = false;
  std::vector<int> m_userWidths;  // at 96 dots per inch; 0: never sized by the user
  std::vector<int> m_fitWidths;   // at 96 dots per inch, from the first fill; 0: none yet
  SubclassAttachment m_headerNotify;
};

}  // namespace corvane
