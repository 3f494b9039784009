#pragma once

#include <windows.h>

#include <string>

namespace corvane {

// One common file dialog with a fixed title, filter and name buffer, shown again on each use.
// The filter is written as pairs separated by "|": "ZIP Files (*.zip)|*.zip|All Files (*.*)|*.*".
class FileDialog {
 public:
  FileDialog(std::string title, std::string filter, size_t maxFileName, DWORD flags = 0);

  const std::string& Title() const { return m_sTitle; }
  const std::string& Filter() const { return m_sFilter; }
  size_t MaxFileName() const { return m_maxFileName; }

  // Shows the open or the save dialog owned by owner, starting with an empty name. Returns false
  // when the user cancels or the dialog fails; otherwise FileName() holds the choice (for a
  // multiple selection, the folder and the names separated by zero bytes, as the system gives it).
  bool ShowOpen(HWND owner);
  bool ShowSave(HWND owner);
  const std::string& FileName() const { return m_sFileName; }

 private:
  bool Show(HWND owner, bool save);

  std::string m_sTitle;
  std::string m_sFilter;
  size_t m_maxFileName;
  DWORD m_flags;
  std::string m_sFileName;
};

}  // namespace corvane
