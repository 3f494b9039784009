// Paths on Windows: "\" and "/" both separate, and names compare without regard to case.
#include "platform/path.h"

#include <windows.h>

#include "platform/win32.h"

namespace cv {

char PathSeparator() {
  return '\\';
}

std::string AbsolutePath(const std::string& path) {
  const std::string full = WideToUtf8(LongPath(path));
  if (full.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + full.substr(8);
  if (full.rfind("\\\\?\\", 0) == 0) return full.substr(4);
  return full;
}

// NTFS folds case over all of Unicode ("\u00c9.txt" and "\u00e9.txt" are one file); folding ASCII
// only would miss such twins. CompareStringOrdinal and invariant upper case fold as NTFS does.
bool SamePath(const std::string& a, const std::string& b) {
  const std::wstring wa = Utf8ToWide(a), wb = Utf8ToWide(b);
  return CompareStringOrdinal(wa.data(), int(wa.size()), wb.data(), int(wb.size()),
                              /*bIgnoreCase=*/TRUE) == CSTR_EQUAL;
}

std::string CollisionKey(const std::string& path) {
  std::wstring w = Utf8ToWide(path);
  if (w.empty()) return path;
  std::wstring upper(w.size(), L'\0');
  const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, w.data(), int(w.size()),
                              upper.data(), int(upper.size()), nullptr, nullptr, 0);
  return n > 0 ? WideToUtf8(std::wstring_view(upper.data(), size_t(n))) : path;
}

bool NamesIgnoreCase() {
  return true;
}

}  // namespace cv
