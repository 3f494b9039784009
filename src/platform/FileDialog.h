#pragma once

#include <windows.h>

#include <string>

namespace corvane {

class FileDialog;

// What answers the file dialogs in place of the system's; a test puts its own in place.
class FileDialogHost {
 public:
  // Answers dialog: true with the chosen text as the system gives it (for a multiple selection,
  // the folder and the names separated by zero bytes), or false for a cancel.
  virtual bool Answer(const FileDialog& dialog, bool save, std::string& fileName) = 0;

 protected:
  ~FileDialogHost() = default;
};

// One common file dialog with a fixed title, filter and name length, shown again on each use.
// The filter is written as pairs separated by "|": "ZIP Files (*.zip)|*.zip|All Files (*.*)|*.*".
class FileDialog {
 public:
  // maxFileName counts characters. The buffer holds them as UTF-8 (up to 3 bytes each), and a
  // multiple selection gets at least 64 KiB.
  FileDialog(std::string title, std::string filter, size_t maxFileName, DWORD flags = 0);

  // Shows the open or the save dialog owned by owner, starting with an empty name. Returns false
  // when the user cancels, and when the dialog fails: then a message box titled like the dialog
  // has said why (a selection too long for the buffer, for one). Otherwise FileName() holds the
  // choice (for a multiple selection, the folder and the names separated by zero bytes, as the
  // system gives it). The current folder is the same after the dialog as before it.
  bool ShowOpen(HWND owner);
  bool ShowSave(HWND owner);
  const std::string& FileName() const { return m_sFileName; }
  const std::string& Title() const { return m_sTitle; }

  // From now on every file dialog is answered by host (not owned) instead of the system; null
  // brings the system's dialogs back.
  static void Host(FileDialogHost* host);

 private:
  bool Show(HWND owner, bool save);

  std::string m_sTitle;
  std::string m_sFilter;
  size_t m_bufferBytes;
  DWORD m_flags;
  std::string m_sFileName;
};

}  // namespace corvane
