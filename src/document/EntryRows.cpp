#include "document/EntryRows.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "platform/Text.h"
#include "unzip/cUnzip.h"

namespace corvane {
namespace {

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool IsValid(const DateTime& d) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (d.year < 1601 || d.year > 30827 || d.month < 1 || d.month > 12 || d.day < 1) return false;
  int days = kDays[d.month - 1] + (d.month == 2 && IsLeapYear(d.year) ? 1 : 0);
  return d.day <= days && d.hour >= 0 && d.hour < 24 && d.minute >= 0 && d.minute < 60;
}

}  // namespace

std::string ModifiedText(const DateTime& date) {
  if (!IsValid(date)) return "";
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(date.year);
  time.wMonth = static_cast<WORD>(date.month);
  time.wDay = static_cast<WORD>(date.day);
  // The W form: the A form converts through the locale's code page, not the program's UTF-8.
  wchar_t text[80] = L"";
  if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text, 80)) return "";
  char clock[8];
  std::snprintf(clock, sizeof clock, " %02d:%02d", date.hour, date.minute);
  return Utf8(text) + clock;
}

std::string EntryText(const cUnzip& unzip, int32_t lIndex, int column) {
  uint64_t size = unzip.FileSize(lIndex);
  uint64_t packed = unzip.FilePackedSize(lIndex);
  if (packed == 0) packed = size;
  switch (column) {
    case 0:
      return unzip.Filename(lIndex) + (unzip.FileEncrypted(lIndex) ? "+" : "");
    case 1:
      return ModifiedText(unzip.FileDate(lIndex));
    case 2:
      return std::to_string(size);
    case 3: {
      // The largest whole number not above 100 - packed / size * 100; an empty entry shows 0.
      int64_t ratio = 0;
      if (size > 0) {
        auto scaled = static_cast<unsigned __int128>(packed) * 100;
        // A hostile packed size far above the size must not wrap the signed result.
        auto share = std::min<unsigned __int128>((scaled + size - 1) / size, INT64_MAX / 2);
        ratio = 100 - static_cast<int64_t>(share);
      }
      return std::to_string(ratio) + "%";
    }
    case 4:
      return std::to_string(packed);
    case 5:
      return unzip.FileDirectory(lIndex);
  }
  return "";
}

}  // namespace corvane
