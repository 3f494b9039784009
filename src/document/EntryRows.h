#pragma once

#include <cstdint>
#include <string>

#include "unzip/ArchiveEntry.h"

namespace corvane {

class cUnzip;

// The columns of a document window's entry list, in order, with their widths in pixels at 96 dots
// per inch.
struct ListColumn {
  const char* caption;
  int width;
};
inline constexpr ListColumn kListColumns[] = {{"Name", 80},  {"Modified", 64}, {"Size", 32},
                                              {"Ratio", 20}, {"Packed", 32},   {"Path", 28}};
inline constexpr int kColumnCount = 6;

// The text of one column for the catalogue entry lIndex of unzip: the file name with "+" when
// encrypted; the date and time; the size; the ratio with "%"; the packed size; the folder.
std::string EntryText(const cUnzip& unzip, int32_t lIndex, int column);

// A date in the system's short date format, a blank and the time as hours:minutes (24-hour). Empty
// for a date or time no calendar has (month 0 or 13, day 0, 31 February, hour 24).
std::string ModifiedText(const DateTime& date);

}  // namespace corvane
