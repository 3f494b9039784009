#include "platform/Module.h"

#include <windows.h>

namespace corvane {

std::string ExecutablePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD length =
        GetModuleFileNameA(/*hModule=*/nullptr, path.data(), static_cast<DWORD>(path.size()));
    // A full buffer means the path was cut: GetModuleFileNameA does not say so otherwise.
    if (length < path.size()) {
      path.resize(length);
      return path;
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
