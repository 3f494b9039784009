#pragma once

#include <string>
#include <string_view>

namespace corvane {

// The per-user application settings: sections of named text values, kept in the registry under
// HKEY_CURRENT_USER\Software\<application>\<section>, one REG_SZ value per key.

// The stored text, or defaultValue when the value is absent or not text. Never raises.
std::string GetSetting(std::string_view application, std::string_view section, std::string_view key,
                       std::string_view defaultValue);

// Creates or replaces the value, creating the section on the first write. Throws corvane::Error
// naming the key when the registry refuses.
void SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                 std::string_view value);

}  // namespace corvane
