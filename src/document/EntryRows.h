#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "unzip/ArchiveEntry.h"

namespace corvane {

class cUnzip;
class RowView;

// The columns of a document window's entry list, in order, with their widths in pixels at 96 dots
// per inch.
struct ListColumn {
  const char* caption;
  int width;
};
inline constexpr ListColumn kListColumns[] = {{"Name", 80},  {"Modified", 64}, {"Size", 32},
                                              {"Ratio", 20}, {"Packed", 32},   {"Path", 28}};
inline constexpr int kColumnCount = 6;

// The packed size the list shows (an entry the engine lists with none shows its size), and the
// ratio: the largest whole number not above 100 - packed / size * 100, 0 for an empty entry.
uint64_t EntryPackedSize(const cUnzip& unzip, int32_t lIndex);
int64_t EntryRatio(const cUnzip& unzip, int32_t lIndex);

// A whole number with the digit grouping of the user's number format ("1,234,567").
std::string GroupedNumber(uint64_t value);

// The text of one column for the catalogue entry lIndex of unzip: the file name with "+" when
// encrypted; the date and time; the size, grouped; the ratio with "%"; the packed size; the folder.
std::string EntryText(const cUnzip& unzip, int32_t lIndex, int column);

// The status bar's text for a list: with rows selected, how many and their total size; else the
// archive's count and total size; while a search narrows the list, how many of all are shown.
std::string StatusText(const cUnzip& unzip, const RowView& rows,
                       const std::vector<int32_t>& selected);

// A date in the system's short date format, a blank and the time as hours:minutes (24-hour). Empty
// for a date or time no calendar has (month 0 or 13, day 0, 31 February, hour 24).
std::string ModifiedText(const DateTime& date);

}  // namespace corvane
