#include "document/EntryRows.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>

#include "document/RowView.h"
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

uint64_t EntryPackedSize(const cUnzip& unzip, int32_t lIndex) {
  uint64_t packed = unzip.FilePackedSize(lIndex);
  return packed == 0 ? unzip.FileSize(lIndex) : packed;
}

int64_t EntryRatio(const cUnzip& unzip, int32_t lIndex) {
  uint64_t size = unzip.FileSize(lIndex);
  if (size == 0) return 0;
  auto scaled = static_cast<unsigned __int128>(EntryPackedSize(unzip, lIndex)) * 100;
  // A hostile packed size far above the size must not wrap the signed result.
  auto share = std::min<unsigned __int128>((scaled + size - 1) / size, INT64_MAX / 2);
  return 100 - static_cast<int64_t>(share);
}

std::string GroupedNumber(uint64_t value) {
  // The user's separators and grouping, without the fraction digits a number format adds.
  struct Format {
    wchar_t decimal[8] = L".", thousand[8] = L",";
    NUMBERFMTW number{};
    Format() {
      wchar_t grouping[16] = L"3;0";
      GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
      GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, thousand, 8);
      GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SGROUPING, grouping, 16);
      // "3;0" repeats groups of three (3), "3;2;0" is 32, and "3" groups only once (30).
      std::wstring digits;
      for (const wchar_t* c = grouping; *c; ++c) {
        if (*c >= L'0' && *c <= L'9') digits += *c;
      }
      if (!digits.empty() && digits.back() == L'0') {
        digits.pop_back();
      } else {
        digits += L'0';
      }
      number.Grouping =
          digits.empty() ? 0 : static_cast<UINT>(std::wcstoul(digits.c_str(), nullptr, 10));
      number.lpDecimalSep = decimal;
      number.lpThousandSep = thousand;
      number.LeadingZero = 1;  // else zero shows as nothing
      number.NegativeOrder = 1;
    }
  };
  static const Format format;
  std::wstring digits = std::to_wstring(value);
  wchar_t text[64] = L"";
  if (!GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, digits.c_str(), &format.number, text, 64)) {
    return std::to_string(value);
  }
  return Utf8(text);
}

std::string StatusText(const cUnzip& unzip, const RowView& rows,
                       const std::vector<int32_t>& selected) {
  auto entries = [](uint64_t count) {
    return GroupedNumber(count) + (count == 1 ? " entry" : " entries");
  };
  auto bytes = [](uint64_t total) {
    return GroupedNumber(total) + (total == 1 ? " byte" : " bytes");
  };
  auto sizeOf = [&](auto&& indices) {
    uint64_t total = 0;
    for (int32_t i : indices) total += unzip.FileSize(i);
    return total;
  };
  std::string shown;
  if (rows.Count() != rows.Total()) {
    shown = GroupedNumber(static_cast<uint64_t>(rows.Count())) + " of " +
            entries(static_cast<uint64_t>(rows.Total()));
  }
  if (!selected.empty()) {
    std::string text = GroupedNumber(selected.size()) + " selected, " + bytes(sizeOf(selected));
    return shown.empty() ? text : text + " (" + shown + ")";
  }
  if (!shown.empty()) return shown;
  std::vector<int32_t> all(static_cast<size_t>(unzip.FileCount()));
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int32_t>(i + 1);
  return entries(all.size()) + ", " + bytes(sizeOf(all));
}

std::string EntryText(const cUnzip& unzip, int32_t lIndex, int column) {
  switch (column) {
    case 0:
      return unzip.Filename(lIndex) + (unzip.FileEncrypted(lIndex) ? "+" : "");
    case 1:
      return ModifiedText(unzip.FileDate(lIndex));
    case 2:
      return GroupedNumber(unzip.FileSize(lIndex));
    case 3:
      return std::to_string(EntryRatio(unzip, lIndex)) + "%";
    case 4:
      return GroupedNumber(EntryPackedSize(unzip, lIndex));
    case 5:
      return unzip.FileDirectory(lIndex);
  }
  return "";
}

}  // namespace corvane
