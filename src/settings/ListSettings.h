#pragma once

#include <vector>

namespace corvane {

// The document list's per-user settings, in the application settings section: the sort
// ("SortColumn": the column from 0, -1 for catalogue order; "SortDescending": "True" or "False")
// and the widths the user gave the columns by dragging ("ColumnWidths": pixels at 96 dots per inch,
// separated by commas, 0 for a column the user never sized), and the folder tree beside the list
// ("ShowFolders", "True" or "False", off by default; "IncludeSubfolders": whether a folder chosen
// in it shows the entries below it too, off by default). Read whenever a list is made, written
// when the user changes them.
struct ListSettings {
  int sortColumn = -1;
  bool descending = false;
  std::vector<int> columnWidths;  // as many as were stored; 0 where none was
  bool showFolders = false;
  bool includeSubfolders = false;
};

// The stored values; an unreadable or out-of-range value takes its default (columns as count).
ListSettings ReadListSettings(int columnCount);
// Each throws corvane::Error when the registry refuses the write.
void WriteSortSetting(int column, bool descending);
void WriteColumnWidths(const std::vector<int>& widths);
void WriteFolderSettings(bool showFolders, bool includeSubfolders);

}  // namespace corvane
