#include "settings/ListSettings.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"

namespace corvane {
namespace {

// A whole number from first to last, or fallback when the text is anything else.
int ParseWhole(std::string_view text, int fallback) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : fallback;
}

}  // namespace

ListSettings ReadListSettings(int columnCount) {
  ListSettings settings;
  int column = ParseWhole(GetSetting(kAppTitle, kSettingsSection, "SortColumn", "-1"), -1);
  if (column >= 0 && column < columnCount) settings.sortColumn = column;
  settings.descending =
      ParseBoolean(GetSetting(kAppTitle, kSettingsSection, "SortDescending", "False"))
          .value_or(false);
  settings.showFolders =
      ParseBoolean(GetSetting(kAppTitle, kSettingsSection, "ShowFolders", "False")).value_or(false);
  settings.includeSubfolders =
      ParseBoolean(GetSetting(kAppTitle, kSettingsSection, "IncludeSubfolders", "False"))
          .value_or(false);
  settings.columnWidths.assign(static_cast<size_t>(columnCount), 0);
  std::string widths = GetSetting(kAppTitle, kSettingsSection, "ColumnWidths", "");
  size_t start = 0;
  for (int i = 0; i < columnCount && start <= widths.size(); ++i) {
    size_t comma = std::min(widths.find(',', start), widths.size());
    int width = ParseWhole(std::string_view(widths).substr(start, comma - start), 0);
    // Widths beyond any screen are no user's choice.
    if (width > 0 && width <= 10000) settings.columnWidths[static_cast<size_t>(i)] = width;
    start = comma + 1;
  }
  return settings;
}

void WriteSortSetting(int column, bool descending) {
  SaveSetting(kAppTitle, kSettingsSection, "SortColumn", std::to_string(column));
  SaveSetting(kAppTitle, kSettingsSection, "SortDescending", descending ? "True" : "False");
}

void WriteColumnWidths(const std::vector<int>& widths) {
  std::string text;
  for (int width : widths) text += (text.empty() ? "" : ",") + std::to_string(width);
  SaveSetting(kAppTitle, kSettingsSection, "ColumnWidths", text);
}

void WriteFolderSettings(bool showFolders, bool includeSubfolders) {
  SaveSetting(kAppTitle, kSettingsSection, "ShowFolders", showFolders ? "True" : "False");
  SaveSetting(kAppTitle, kSettingsSection, "IncludeSubfolders",
              includeSubfolders ? "True" : "False");
}

}  // namespace corvane
