#include "FileDialog.h"

#include <commdlg.h>
#include <cderr.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/Text.h"

namespace corvane {
namespace {

// UTF-8 takes up to 3 bytes for a character of the system's file names.
constexpr size_t kBytesPerCharacter = 3;
constexpr size_t kMultipleSelectionBytes = 64 * 1024;

FileDialogHost* g_pHost = nullptr;

std::wstring CurrentFolder() {
  std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
  folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
  return folder;
}

}  // namespace

FileDialog::FileDialog(std::string title, std::string filter, size_t maxFileName, DWORD flags)
    : m_sTitle(std::move(title)),
      m_sFilter(std::move(filter)),
      m_bufferBytes(maxFileName * kBytesPerCharacter + 1),
      m_flags(flags) {
  if (flags & OFN_ALLOWMULTISELECT) {
    m_bufferBytes = std::max(m_bufferBytes, kMultipleSelectionBytes);
  }
}

void FileDialog::Host(FileDialogHost* host) {
  g_pHost = host;
}

bool FileDialog::ShowOpen(HWND owner) {
  return Show(owner, /*save=*/false);
}

bool FileDialog::ShowSave(HWND owner) {
  return Show(owner, /*save=*/true);
}

bool FileDialog::Show(HWND owner, bool save) {
  m_sFileName.clear();
  if (g_pHost) return g_pHost->Answer(*this, save, m_sFileName);
  // The system wants the filter's pairs separated by zero bytes and closed by two.
  std::string filter = m_sFilter;
  std::replace(filter.begin(), filter.end(), '|', '\0');
  filter.append(2, '\0');
  std::vector<char> name(m_bufferBytes + 1, '\0');

  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(m_bufferBytes);
  ofn.lpstrTitle = m_sTitle.c_str();
  ofn.Flags = m_flags | OFN_HIDEREADONLY;
  // OFN_NOCHANGEDIR does not hold for the open dialog on Windows: the folder browsed last would
  // stay current, and the user could neither delete it nor eject its drive.
  std::wstring folder = CurrentFolder();
  BOOL chosen = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  DWORD failure = chosen ? 0 : CommDlgExtendedError();
  SetCurrentDirectoryW(folder.c_str());
  if (failure) {
    // A failure is not a cancel: say so, or the user's choice would vanish without a word.
    wchar_t text[160];
    if (failure == FNERR_BUFFERTOOSMALL) {
      swprintf(text, std::size(text), L"The chosen file names are too long to take at once.");
    } else {
      swprintf(text, std::size(text), L"The file dialog failed (error 0x%04lX).", failure);
    }
    MessageBoxW(owner, text, Wide(m_sTitle).c_str(), MB_OK | MB_ICONERROR);
  }
  if (!chosen) return false;
  // A multiple selection ends with two zero bytes; a single name with one.
  size_t end = 0;
  while (end + 1 < name.size() && !(name[end] == '\0' && name[end + 1] == '\0')) ++end;
  m_sFileName.assign(name.data(), end);
  return true;
}

}  // namespace corvane
