#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class cUnzip;

// Which catalogue entries a document's list shows, and in what order: the catalogue sorted by one
// column (or in catalogue order) and narrowed to the entries whose folder and name contain a
// search text. Row r (from 0) shows entry EntryAt(r) (from 1). Sort keys and the folded search
// text are built once per listing, for the first sort by a column or the first search (or ahead,
// by PrepareSort and PrepareSearch, on any thread); Reset drops them. The unzip object must
// outlive the view or the next Reset.
//
// The builders take a cancelled test, asked between entries: when it turns true they stop and
// keep nothing, so that what was asked for is still not Ready.
class RowView {
 public:
  // No column: catalogue order.
  static constexpr int kUnsorted = -1;

  // A new listing of unzip: the keys go, the sort and the search text stay and apply to it. When
  // they need keys not yet built, the view shows no rows until Apply (after Prepare), so that a
  // large listing's keys need not be built on the caller's thread.
  void Reset(const cUnzip& unzip);
  // Whether the sort and search in force have what they need.
  bool Ready() const;
  // Builds what the sort and search in force need, unless built (on any thread, as below).
  void Prepare(const std::function<bool()>& cancelled);
  // Shows the listing in the sort and search in force, building what they still need.
  void Apply();

  int32_t Count() const { return static_cast<int32_t>(m_rows.size()); }
  // Every entry of the listing, shown or not.
  int32_t Total() const { return static_cast<int32_t>(m_order.size()); }
  // The entry row shows; 0 for a row outside the view.
  int32_t EntryAt(int row) const;
  // The row that shows entry, or -1 when it is hidden or no entry of the listing.
  int RowOf(int32_t entry) const;

  // Sorts by column (kUnsorted for catalogue order), smallest first when ascending. Sizes, ratios
  // and dates compare as values, names and folders as the user's locale orders file names
  // (digits as numbers, case folded); equal values keep catalogue order in both directions.
  void SortBy(int column, bool ascending);
  int SortColumn() const { return m_sortColumn; }
  bool Ascending() const { return m_ascending; }

  // Shows only the entries whose folder and name (as "folder\name") contain text, compared with
  // case folded; empty text shows every entry.
  void Filter(std::string_view text);
  const std::string& FilterText() const { return m_filter; }

  // Build what a sort by column and a search need, unless built; they only read the listing and
  // write what no other member reads, so another thread may run them while the view is shown.
  // Ready tells whether there is anything left to build.
  void PrepareSort(int column, const std::function<bool()>& cancelled = {});
  bool SortReady(int column) const;
  void PrepareSearch(const std::function<bool()>& cancelled = {});
  bool SearchReady() const;

  // Shows only the given entries (the search narrows them further); an empty set shows none.
  // Unrestrict shows every entry again, and so does Reset, since entry numbers belong to a listing.
  void Restrict(const std::vector<int32_t>& entries);
  void Unrestrict();

 private:
  void BuildOrder();
  void BuildRows();

  const cUnzip* m_unzip = nullptr;
  int m_sortColumn = kUnsorted;
  bool m_ascending = true;
  std::string m_filter;
  std::vector<bool> m_allowed;  // by entry - 1; empty: no restriction
  bool m_restricted = false;
  bool m_waiting = false;        // reset with keys to build: no rows until Apply
  std::vector<int32_t> m_order;  // every entry, sorted
  std::vector<int32_t> m_rows;   // the entries shown, in order
  std::vector<int> m_rowOf;      // by entry - 1: its row, or -1
  // Per column, built on first use: sort keys by entry - 1.
  std::vector<std::vector<std::string>> m_textKeys;
  std::vector<std::vector<uint64_t>> m_valueKeys;
  // Every entry's "folder\name", case folded, each followed by a line feed; m_starts[i] is where
  // entry i + 1 begins.
  std::wstring m_folded;
  std::vector<size_t> m_starts;
};

}  // namespace corvane
