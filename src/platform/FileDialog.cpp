#include "FileDialog.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace corvane {

FileDialog::FileDialog(std::string title, std::string filter, size_t maxFileName, DWORD flags)
    : m_sTitle(std::move(title)),
      m_sFilter(std::move(filter)),
      m_maxFileName(maxFileName),
      m_flags(flags) {}

bool FileDialog::ShowOpen(HWND owner) {
  return Show(owner, /*save=*/false);
}

bool FileDialog::ShowSave(HWND owner) {
  return Show(owner, /*save=*/true);
}

bool FileDialog::Show(HWND owner, bool save) {
  // The system wants the filter's pairs separated by zero bytes and closed by two.
  std::string filter = m_sFilter;
  std::replace(filter.begin(), filter.end(), '|', '\0');
  filter.append(2, '\0');
  std::vector<char> name(m_maxFileName + 1, '\0');

  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrTitle = m_sTitle.c_str();
  ofn.Flags = m_flags | OFN_HIDEREADONLY;
  m_sFileName.clear();
  if (!(save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn))) return false;
  // A multiple selection ends with two zero bytes; a single name with one.
  size_t end = 0;
  while (end + 1 < name.size() && !(name[end] == '\0' && name[end + 1] == '\0')) ++end;
  m_sFileName.assign(name.data(), end);
  return true;
}

}  // namespace corvane
