#include "platform/win32.h"

#include <windows.h>

namespace cv {

std::wstring ToWide(std::string_view text, unsigned codePage) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring w(size_t(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), w.data(), n);
  return w;
}

std::string FromWide(std::wstring_view text, unsigned codePage) {
  if (text.empty()) return {};
  int n =
      WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Utf8ToWide(std::string_view text) {
  return ToWide(text, CP_UTF8);
}

std::string WideToUtf8(std::wstring_view text) {
  return FromWide(text, CP_UTF8);
}

std::wstring LongPath(const std::string& path) {
  std::wstring w = Utf8ToWide(path);
  for (wchar_t& c : w) {
    if (c == L'/') c = L'\\';
  }
  if (w.rfind(L"\\\\?\\", 0) == 0) return w;
  DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (n == 0) return w;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
  full.resize(n);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace cv
