#include "core/safe_path.h"

#include <vector>

#include "core/names.h"

namespace cv {
namespace {

bool IsReservedDeviceName(std::string_view component) {
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  std::string upper;
  for (char c : base) upper += char(c >= 'a' && c <= 'z' ? c - 32 : c);
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" || upper == "CONIN$" ||
      upper == "CONOUT$") {
    return true;
  }
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
         upper[3] >= '0' && upper[3] <= '9';
}

}  // namespace

std::string SafeRelativePath(std::string_view name, bool keepFolders, bool spaceToUnderscore) {
  // A drive letter ("C:") at the start would make the path absolute on Windows.
  if (name.size() >= 2 && name[1] == ':' &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
    name.remove_prefix(2);
  }
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= name.size()) {
    size_t end = pos;
    while (end < name.size() && !IsNameSeparator(name[end])) ++end;
    std::string_view raw = name.substr(pos, end - pos);
    pos = end + 1;
    if (raw.empty() || raw == "." || raw == "..") continue;
    std::string part;
    part.reserve(raw.size() + 1);
    for (char c : raw) {
      auto b = static_cast<unsigned char>(c);
      bool forbidden = b < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' ||
                       c == '?' || c == '*' || (spaceToUnderscore && c == ' ');
      part += forbidden ? '_' : c;
    }
    for (size_t i = part.size(); i > 0 && (part[i - 1] == '.' || part[i - 1] == ' '); --i) {
      part[i - 1] = '_';
    }
    if (IsReservedDeviceName(part)) part.insert(part.begin(), '_');
    parts.push_back(std::move(part));
  }
  if (parts.empty()) return {};
  if (!keepFolders) return parts.back();
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty()) out += '/';
    out += part;
  }
  return out;
}

}  // namespace cv
