#include "platform/Module.h"

#include <windows.h>

#include "platform/Text.h"

namespace corvane {

std::string ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length =
        GetModuleFileNameW(/*hModule=*/nullptr, path.data(), static_cast<DWORD>(path.size()));
    // A full buffer means the path was cut: GetModuleFileNameW does not say so otherwise.
    if (length < path.size()) {
      path.resize(length);
      return Utf8(path);
    }
    path.resize(path.size() * 2);
  }
}

std::string ExecutableFolder() {
  std::string path = ExecutablePath();
  path.resize(path.find_last_of("\\/") + 1);
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

std::string ExecutableTitle() {
  std::string path = ExecutablePath();
  std::string name = path.substr(path.find_last_of("\\/") + 1);
  return name.substr(0, name.find_last_of('.'));
}

}  // namespace corvane
