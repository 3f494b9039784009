#include "SettingsStore.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/Error.h"
#include "platform/Handle.h"

namespace corvane {
namespace {

std::string SectionPath(std::string_view application, std::string_view section) {
  return "Software\\" + std::string(application) + "\\" + std::string(section);
}

}  // namespace

std::string GetSetting(std::string_view application, std::string_view section, std::string_view key,
                       std::string_view defaultValue) {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SectionPath(application, section).c_str(), 0,
                    KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) {
    return std::string(defaultValue);
  }
  UniqueKey sectionKey(raw);
  std::string name(key);
  // Asked with no room first; a value that grows between the size and the read is asked again.
  std::vector<char> data(1, '\0');
  DWORD type = 0, size = 0;
  for (;;) {
    size = static_cast<DWORD>(data.size() - 1);
    LSTATUS status = RegQueryValueExA(raw, name.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.data()), &size);
    if (status == ERROR_MORE_DATA) {
      data.assign(size + 1, '\0');  // one more for a value stored without its terminating zero
      continue;
    }
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
      return std::string(defaultValue);
    }
    break;
  }
  // The stored size may or may not count a terminating zero; the text ends at the first one.
  return std::string(data.data(), strnlen(data.data(), size));
}

void SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                 std::string_view value) {
  std::string path = SectionPath(application, section);
  HKEY raw = nullptr;
  LSTATUS status = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                   nullptr, &raw, nullptr);
  if (status != ERROR_SUCCESS) throw SystemError("SaveSetting", path, status);
  UniqueKey sectionKey(raw);
  std::string name(key), text(value);
  status = RegSetValueExA(raw, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
  if (status != ERROR_SUCCESS) throw SystemError("SaveSetting", path + "\\" + name, status);
}

}  // namespace corvane
