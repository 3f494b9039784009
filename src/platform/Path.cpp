#include "platform/Path.h"

#include <windows.h>

#include <algorithm>

#include "platform/Text.h"

namespace corvane {
namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// The length of a full path's root: "C:" of "C:\x", "\\server\share" of a network path.
size_t RootLength(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return 2;
  size_t server = path.find_first_of("\\/", 2);
  size_t share = server == std::string::npos ? server : path.find_first_of("\\/", server + 1);
  return std::min(share, path.size());
}

}  // namespace

bool IsFullPath(std::string_view path) {
  return (path.size() > 2 && path[1] == ':' && IsSeparator(path[2])) ||
         (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]));
}

std::string FullPathName(const std::string& path) {
  std::wstring wide = Wide(path);
  DWORD size = wide.empty() ? 0 : GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (!size) return path;
  std::wstring full(size, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), size, full.data(), nullptr));
  return full.empty() ? path : Utf8(full);
}

std::string ResolvePath(const std::string& folder, const std::string& text) {
  if (IsFullPath(text)) return text;
  bool drive = text.size() >= 2 && text[1] == ':';
  if (drive) return FullPathName(text.substr(0, 2) + "\\" + text.substr(2));
  if (folder.empty()) return text;
  if (!text.empty() && IsSeparator(text[0])) {
    return FullPathName(folder.substr(0, RootLength(folder)) + text);
  }
  return FullPathName(folder + (IsSeparator(folder.back()) ? "" : "\\") + text);
}

}  // namespace corvane
