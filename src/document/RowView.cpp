#include "document/RowView.h"

#include <windows.h>

#include <algorithm>
#include <numeric>

#include "document/EntryRows.h"
#include "platform/Text.h"
#include "unzip/cUnzip.h"

namespace corvane {
namespace {

constexpr int kNameColumn = 0, kDateColumn = 1, kSizeColumn = 2, kRatioColumn = 3,
              kPackedColumn = 4, kPathColumn = 5;

// The order the shell sorts file names in: the user's locale, digits as numbers, case folded.
constexpr DWORD kSortFlags = LCMAP_SORTKEY | LINGUISTIC_IGNORECASE | SORT_DIGITSASNUMBERS;

std::string SortKey(const std::string& text) {
  std::wstring wide = Wide(text);
  if (wide.empty()) return {};
  int length = static_cast<int>(wide.size());
  // A sort key's size is in bytes, not characters.
  int bytes = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kSortFlags, wide.c_str(), length, nullptr, 0,
                            nullptr, nullptr, 0);
  if (bytes <= 0) return text;
  std::string key(static_cast<size_t>(bytes), '\0');
  LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kSortFlags, wide.c_str(), length,
                reinterpret_cast<LPWSTR>(key.data()), bytes, nullptr, nullptr, 0);
  // The key ends in a zero byte, which compares as nothing.
  while (!key.empty() && key.back() == '\0') key.pop_back();
  return key;
}

uint64_t DateKey(const DateTime& d) {
  auto part = [](int value, int limit) {
    return static_cast<uint64_t>(std::clamp(value, 0, limit));
  };
  uint64_t key = part(d.year, 0xFFFF);
  key = key * 16 + part(d.month, 15);
  key = key * 32 + part(d.day, 31);
  key = key * 32 + part(d.hour, 31);
  key = key * 64 + part(d.minute, 63);
  return key * 64 + part(d.second, 63);
}

// Lower case by the linguistic rules, one UTF-16 unit for one where the system keeps the length.
std::wstring Folded(std::wstring text) {
  if (text.empty()) return text;
  int length = static_cast<int>(text.size());
  std::wstring folded(text.size(), L'\0');
  int written = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING,
                              text.c_str(), length, folded.data(), length, nullptr, nullptr, 0);
  if (written == length) return folded;
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Asked every few thousand entries: often enough for a Cancel to answer at once.
bool Stopped(const std::function<bool()>& cancelled, int32_t entry) {
  return cancelled && entry % 4096 == 0 && cancelled();
}

}  // namespace

void RowView::Reset(const cUnzip& unzip) {
  m_unzip = &unzip;
  m_textKeys.assign(kColumnCount, {});
  m_valueKeys.assign(kColumnCount, {});
  m_folded.clear();
  m_starts.clear();
  m_restricted = false;
  m_allowed.clear();
  m_waiting = !Ready();
  BuildOrder();
}

bool RowView::Ready() const {
  return SortReady(m_sortColumn) && (m_filter.empty() || SearchReady());
}

void RowView::Prepare(const std::function<bool()>& cancelled) {
  PrepareSort(m_sortColumn, cancelled);
  if (!m_filter.empty()) PrepareSearch(cancelled);
}

void RowView::Apply() {
  m_waiting = false;
  if (m_unzip) BuildOrder();
}

int32_t RowView::EntryAt(int row) const {
  return row >= 0 && row < Count() ? m_rows[static_cast<size_t>(row)] : 0;
}

int RowView::RowOf(int32_t entry) const {
  return entry >= 1 && entry <= Total() ? m_rowOf[static_cast<size_t>(entry - 1)] : -1;
}

void RowView::SortBy(int column, bool ascending) {
  m_sortColumn = column >= 0 && column < kColumnCount ? column : kUnsorted;
  m_ascending = ascending;
  m_waiting = m_waiting && !Ready();
  if (m_unzip) BuildOrder();
}

void RowView::Filter(std::string_view text) {
  m_filter = text;
  m_waiting = m_waiting && !Ready();
  if (m_unzip) BuildRows();
}

void RowView::Restrict(const std::vector<int32_t>& entries) {
  m_restricted = true;
  m_allowed.assign(m_order.size(), false);
  for (int32_t entry : entries) {
    if (entry >= 1 && static_cast<size_t>(entry) <= m_allowed.size()) m_allowed[entry - 1] = true;
  }
  if (m_unzip) BuildRows();
}

void RowView::Unrestrict() {
  m_restricted = false;
  m_allowed.clear();
  if (m_unzip) BuildRows();
}

void RowView::BuildOrder() {
  m_order.resize(static_cast<size_t>(m_unzip->FileCount()));
  std::iota(m_order.begin(), m_order.end(), 1);
  if (m_waiting) {
    BuildRows();
    return;
  }
  // Sorted from catalogue order each time, so that equal values keep it in both directions.
  auto sortBy = [&](const auto& keys) {
    if (m_ascending) {
      std::stable_sort(m_order.begin(), m_order.end(),
                       [&](int32_t a, int32_t b) { return keys[a - 1] < keys[b - 1]; });
    } else {
      std::stable_sort(m_order.begin(), m_order.end(),
                       [&](int32_t a, int32_t b) { return keys[b - 1] < keys[a - 1]; });
    }
  };
  PrepareSort(m_sortColumn);
  if (m_sortColumn == kNameColumn || m_sortColumn == kPathColumn) {
    sortBy(m_textKeys[static_cast<size_t>(m_sortColumn)]);
  } else if (m_sortColumn != kUnsorted) {
    sortBy(m_valueKeys[static_cast<size_t>(m_sortColumn)]);
  }
  BuildRows();
}

void RowView::BuildRows() {
  m_rows.clear();
  m_rowOf.assign(m_order.size(), -1);
  if (m_waiting) return;
  std::vector<bool> shown;
  if (!m_filter.empty()) {
    PrepareSearch();
    std::wstring needle = Folded(Wide(m_filter));
    shown.assign(m_order.size(), false);
    // One search through all names: each hit marks its entry, and the search goes on at the next.
    for (size_t at = m_folded.find(needle); at != std::wstring::npos;) {
      size_t entry = static_cast<size_t>(std::upper_bound(m_starts.begin(), m_starts.end(), at) -
                                         m_starts.begin() - 1);
      // Where the entry's line feed is: a hit must end before it.
      size_t end = (entry + 1 < m_starts.size() ? m_starts[entry + 1] : m_folded.size()) - 1;
      if (at + needle.size() <= end) shown[entry] = true;
      at = m_folded.find(needle, shown[entry] ? end + 1 : at + 1);
    }
  }
  m_rows.reserve(m_order.size());
  for (int32_t entry : m_order) {
    if (!shown.empty() && !shown[static_cast<size_t>(entry - 1)]) continue;
    if (m_restricted && !m_allowed[static_cast<size_t>(entry - 1)]) continue;
    m_rowOf[static_cast<size_t>(entry - 1)] = static_cast<int>(m_rows.size());
    m_rows.push_back(entry);
  }
}

bool RowView::SortReady(int column) const {
  if (column < 0 || column >= kColumnCount || !m_unzip || m_unzip->FileCount() == 0) return true;
  auto index = static_cast<size_t>(column);
  return column == kNameColumn || column == kPathColumn ? !m_textKeys[index].empty()
                                                        : !m_valueKeys[index].empty();
}

void RowView::PrepareSort(int column, const std::function<bool()>& cancelled) {
  if (SortReady(column)) return;
  int32_t count = m_unzip->FileCount();
  // Built apart and kept only whole: a part would pass for built keys.
  if (column == kNameColumn || column == kPathColumn) {
    std::vector<std::string> keys;
    keys.reserve(static_cast<size_t>(count));
    for (int32_t i = 1; i <= count; ++i) {
      if (Stopped(cancelled, i)) return;
      keys.push_back(
          SortKey(column == kNameColumn ? m_unzip->Filename(i) : m_unzip->FileDirectory(i)));
    }
    m_textKeys[static_cast<size_t>(column)] = std::move(keys);
    return;
  }
  std::vector<uint64_t> keys;
  keys.reserve(static_cast<size_t>(count));
  for (int32_t i = 1; i <= count; ++i) {
    switch (column) {
      case kDateColumn:
        keys.push_back(DateKey(m_unzip->FileDate(i)));
        break;
      case kSizeColumn:
        keys.push_back(m_unzip->FileSize(i));
        break;
      case kRatioColumn:
        // Shifted so that negative ratios (packed above the size) sort below zero.
        keys.push_back(static_cast<uint64_t>(EntryRatio(*m_unzip, i)) + (uint64_t{1} << 63));
        break;
      case kPackedColumn:
        keys.push_back(EntryPackedSize(*m_unzip, i));
        break;
    }
  }
  m_valueKeys[static_cast<size_t>(column)] = std::move(keys);
}

bool RowView::SearchReady() const {
  return !m_starts.empty() || !m_unzip || m_unzip->FileCount() == 0;
}

void RowView::PrepareSearch(const std::function<bool()>& cancelled) {
  if (SearchReady()) return;
  std::wstring all;
  std::vector<size_t> starts;
  starts.reserve(m_order.size());
  for (int32_t i = 1; i <= m_unzip->FileCount(); ++i) {
    if (Stopped(cancelled, i)) return;
    starts.push_back(all.size());
    const std::string& folder = m_unzip->FileDirectory(i);
    all += Wide(folder.empty() ? m_unzip->Filename(i) : folder + "\\" + m_unzip->Filename(i));
    all += L'\n';
  }
  // One call for every name: a call per name costs more than the search itself.
  m_folded = Folded(std::move(all));
  m_starts = std::move(starts);
}

}  // namespace corvane
