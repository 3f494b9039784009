#include "AppSettings.h"

#include <charconv>
#include <cmath>

#include "SettingsStore.h"

bool g_bStoreFolderNames = false;
std::string g_sBasePath = "C:\\";
std::int16_t g_iFirstRun = 1;

namespace corvane {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string Read(std::string_view key, std::string_view defaultValue) {
  return GetSetting(kAppTitle, kSettingsSection, key, defaultValue);
}

void Write(std::string_view key, std::string_view value) {
  SaveSetting(kAppTitle, kSettingsSection, key, value);
}

float ReadLength(std::string_view key, float defaultValue, bool mustBePositive) {
  std::optional<float> value = ParseSingle(Read(key, FormatSingle(defaultValue)));
  if (!value || (mustBePositive && *value <= 0)) return defaultValue;
  return *value;
}

}  // namespace

std::optional<float> ParseSingle(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  float value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<bool> ParseBoolean(std::string_view text) {
  text = Trim(text);
  auto equals = [text](std::string_view word) {
    if (text.size() != word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
      if ((text[i] | 0x20) != word[i]) return false;
    }
    return true;
  };
  if (equals("true")) return true;
  if (equals("false")) return false;
  return std::nullopt;
}

std::optional<std::int16_t> ParseInteger16(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int16_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::string FormatSingle(float value) {
  char text[32];
  auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  return std::string(text, error == std::errc() ? end : text);
}

Placement ReadPlacement() {
  Placement defaults, placement;
  placement.left = ReadLength("MainLeft", defaults.left, /*mustBePositive=*/false);
  placement.top = ReadLength("MainTop", defaults.top, /*mustBePositive=*/false);
  placement.width = ReadLength("MainWidth", defaults.width, /*mustBePositive=*/true);
  placement.height = ReadLength("MainHeight", defaults.height, /*mustBePositive=*/true);
  return placement;
}

void ReadProgramSettings() {
  g_bStoreFolderNames = ParseBoolean(Read("storfolder", "False")).value_or(false);
  g_sBasePath = Read("BasePath", "C:\\");
  g_iFirstRun = ParseInteger16(Read("frun", "1")).value_or(1);
}

void WriteApplicationSettings(const Placement& placement) {
  Write("MainLeft", FormatSingle(placement.left));
  Write("MainTop", FormatSingle(placement.top));
  Write("MainWidth", FormatSingle(placement.width));
  Write("MainHeight", FormatSingle(placement.height));
  Write("storfolder", g_bStoreFolderNames ? "True" : "False");
  Write("BasePath", g_sBasePath);
  Write("frun", std::to_string(g_iFirstRun));
}

}  // namespace corvane
