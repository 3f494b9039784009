#include "document/EntryColumns.h"

#include <commctrl.h>

#include <algorithm>

#include "document/EntryRows.h"
#include "platform/Dpi.h"
#include "platform/Text.h"
#include "settings/ListSettings.h"

namespace corvane {
namespace {

// A fitted column grows to no more than this, at 96 dots per inch: a long folder name must not
// push every other column out of view.
constexpr int kFitCap = 360;
// Room around a cell's text, the small icon of the first column, and the header's sort arrow.
constexpr int kCellPadding = 14, kIconRoom = 20, kArrowRoom = 18;
// The rows measured for a fit at most, however tall the window.
constexpr int kMeasuredRows = 200;

int Unscale(int pixels, int dpi) {
  return MulDiv(pixels, 96, dpi);
}

}  // namespace

EntryColumns::EntryColumns(HWND listView, RowText rowText)
    : m_list(listView),
      m_rowText(std::move(rowText)),
      m_userWidths(ReadListSettings(kColumnCount).columnWidths),
      m_fitWidths(kColumnCount, 0),
      m_headerNotify(listView, WM_NOTIFY, *this) {
  for (int i = 0; i < kColumnCount; ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.pszText = const_cast<char*>(kListColumns[i].caption);
    column.iSubItem = i;
    SendMessageA(m_list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
}

void EntryColumns::ApplyDpi(int dpi) {
  m_dpi = dpi;
  for (int i = 0; i < kColumnCount; ++i) {
    size_t c = static_cast<size_t>(i);
    // The given width is the least a fit gives; the user's own width wins over both.
    int width = m_userWidths[c] ? m_userWidths[c] : std::max(kListColumns[i].width, m_fitWidths[c]);
    SendMessageA(m_list, LVM_SETCOLUMNWIDTH, i, ScaleForDpi(width, dpi));
  }
}

void EntryColumns::FitFirstRows() {
  if (m_fitted || SendMessageA(m_list, LVM_GETITEMCOUNT, 0, 0) == 0) return;
  m_fitted = true;
  for (int i = 0; i < kColumnCount; ++i) {
    m_fitWidths[static_cast<size_t>(i)] = std::min(Unscale(FittingWidth(i), m_dpi), kFitCap);
  }
  ApplyDpi(m_dpi);
}

void EntryColumns::ShowSort(int column, bool ascending) {
  HWND header = reinterpret_cast<HWND>(SendMessageA(m_list, LVM_GETHEADER, 0, 0));
  for (int i = 0; i < kColumnCount; ++i) {
    HDITEMA item{};
    item.mask = HDI_FORMAT;
    SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == column) item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
    SendMessageA(header, HDM_SETITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
}

int EntryColumns::TextWidth(const std::string& text) const {
  // The W form: the A form reads the text in the system's code page on Windows.
  std::wstring wide = Wide(text);
  return static_cast<int>(
      SendMessageW(m_list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(wide.c_str())));
}

int EntryColumns::FittingWidth(int column) const {
  int widest = TextWidth(kListColumns[column].caption) + ScaleForDpi(kArrowRoom, m_dpi);
  int first = static_cast<int>(SendMessageA(m_list, LVM_GETTOPINDEX, 0, 0));
  int count = static_cast<int>(SendMessageA(m_list, LVM_GETITEMCOUNT, 0, 0));
  int page = static_cast<int>(SendMessageA(m_list, LVM_GETCOUNTPERPAGE, 0, 0)) + 1;
  int last = std::min(count, first + std::clamp(page, 1, kMeasuredRows));
  int icon = column == 0 ? ScaleForDpi(kIconRoom, m_dpi) : 0;
  for (int row = first; row < last; ++row) {
    widest = std::max(widest, TextWidth(m_rowText(row, column)) + icon);
  }
  return widest + ScaleForDpi(kCellPadding, m_dpi);
}

void EntryColumns::StoreWidth(int column, int pixels) {
  m_userWidths[static_cast<size_t>(column)] = std::max(1, Unscale(pixels, m_dpi));
  try {
    WriteColumnWidths(m_userWidths);
  } catch (...) {
    // A refused write keeps the width for this window only.
  }
}

LRESULT EntryColumns::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* notify = reinterpret_cast<NMHEADERA*>(lParam);
  HWND header = reinterpret_cast<HWND>(SendMessageA(m_list, LVM_GETHEADER, 0, 0));
  UINT code = notify->hdr.code;
  bool fit = code == HDN_DIVIDERDBLCLICKA || code == HDN_DIVIDERDBLCLICKW;
  bool tracked = code == HDN_ENDTRACKA || code == HDN_ENDTRACKW;
  // Only these codes carry a header record; others may be bare.
  if (notify->hdr.hwndFrom != header || !(fit || tracked) || notify->iItem < 0 ||
      notify->iItem >= kColumnCount) {
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }
  if (fit) {
    // The list's own fit would ask for the text of every row, all 100,000 of a large archive.
    int width = std::min(FittingWidth(notify->iItem), ScaleForDpi(kFitCap, m_dpi));
    SendMessageA(m_list, LVM_SETCOLUMNWIDTH, notify->iItem, width);
    StoreWidth(notify->iItem, width);
    return 0;
  }
  LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
  int width = static_cast<int>(SendMessageA(m_list, LVM_GETCOLUMNWIDTH, notify->iItem, 0));
  if (notify->pitem && (notify->pitem->mask & HDI_WIDTH)) width = notify->pitem->cxy;
  StoreWidth(notify->iItem, width);
  return result;
}

}  // namespace corvane
