#include "document/NameEncoding.h"

#include <iterator>
#include <map>

#include "platform/Text.h"

namespace corvane {
namespace {

// The common code pages of ZIP tools on older systems: the DOS ones most such archives carry,
// then the Windows ones of the same scripts.
constexpr NameEncodingChoice kChoices[] = {
    {0, "&Automatic"},
    {850, "Western European (DOS, 850)"},
    {1252, "Western European (Windows, 1252)"},
    {852, "Central European (DOS, 852)"},
    {1250, "Central European (Windows, 1250)"},
    {866, "Cyrillic (DOS, 866)"},
    {1251, "Cyrillic (Windows, 1251)"},
    {737, "Greek (DOS, 737)"},
    {1253, "Greek (Windows, 1253)"},
    {857, "Turkish (DOS, 857)"},
    {1254, "Turkish (Windows, 1254)"},
    {862, "Hebrew (DOS, 862)"},
    {1255, "Hebrew (Windows, 1255)"},
    {720, "Arabic (DOS, 720)"},
    {1256, "Arabic (Windows, 1256)"},
    {874, "Thai (874)"},
    {932, "Japanese (Shift-JIS, 932)"},
    {936, "Chinese Simplified (GBK, 936)"},
    {949, "Korean (949)"},
    {950, "Chinese Traditional (Big5, 950)"},
};

// Full paths in upper case, as the file system compares them.
std::map<std::wstring, uint32_t>& Remembered() {
  static std::map<std::wstring, uint32_t> remembered;
  return remembered;
}

std::wstring PathKey(const std::string& path) {
  std::wstring key = Wide(path);
  if (DWORD length = GetFullPathNameW(key.c_str(), 0, nullptr, nullptr)) {
    std::wstring full(length, L'\0');
    full.resize(GetFullPathNameW(key.c_str(), length, full.data(), nullptr));
    key = std::move(full);
  }
  if (!key.empty()) CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
  return key;
}

}  // namespace

std::span<const NameEncodingChoice> NameEncodings() {
  return kChoices;
}

uint32_t RememberedCodePage(const std::string& path) {
  auto found = Remembered().find(PathKey(path));
  return found == Remembered().end() ? 0 : found->second;
}

void RememberCodePage(const std::string& path, uint32_t codePage) {
  if (codePage == 0) {
    Remembered().erase(PathKey(path));
  } else {
    Remembered()[PathKey(path)] = codePage;
  }
}

HMENU BuildNameEncodingMenu(UINT firstCommand) {
  HMENU menu = CreatePopupMenu();
  for (size_t i = 0; i < std::size(kChoices); ++i) {
    AppendMenuA(menu, MF_STRING, firstCommand + i, kChoices[i].label);
    // The automatic rule stands apart from the fixed code pages.
    if (i == 0) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  }
  return menu;
}

void UpdateNameEncodingMenu(HMENU menu, UINT firstCommand, std::optional<uint32_t> codePage) {
  for (size_t i = 0; i < std::size(kChoices); ++i) {
    UINT item = firstCommand + static_cast<UINT>(i);
    EnableMenuItem(menu, item, MF_BYCOMMAND | (codePage ? MF_ENABLED : MF_GRAYED));
    CheckMenuItem(menu, item,
                  MF_BYCOMMAND | (codePage == kChoices[i].codePage ? MF_CHECKED : MF_UNCHECKED));
  }
}

}  // namespace corvane
