#include "document/frmDocument.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>

#include "dialogs/frmOverwrite.h"
#include "dialogs/frmPassword.h"
#include "document/DragOut.h"
#include "document/EntryRows.h"
#include "document/NameEncoding.h"
#include "document/Properties.h"
#include "document/TestResults.h"
#include "document/mFileIcons.h"
#include "platform/CommandScope.h"
#include "platform/Contrast.h"
#include "platform/Dpi.h"
#include "platform/Error.h"
#include "platform/Text.h"
#include "resources/resource.h"
#include "runner/EngineRunner.h"
#include "settings/AppSettings.h"
#include "settings/ListSettings.h"
#include "zip/AddFiles.h"

namespace corvane {
namespace {

constexpr char kDefaultIcon[] = "DEFAULT";
// The header bar's height, and the label's and the icon's places on it, in twips.
constexpr int kBarHeight = 375;
constexpr int kLabelLeft = 480, kLabelTop = 15;
constexpr int kImageLeft = 120, kImageTop = 60, kImageSize = 240;
// The folder tree's width in twips, at most a third of the window's, so that a small window still
// shows more than the list's name column.
constexpr int kFoldersWidth = 2880;
// Above this many selected rows, one call clears the whole list rather than one call per row.
constexpr size_t kClearEachRowLimit = 4096;
// The search box at the bar's right end, in twips.
constexpr int kFindWidth = 2880, kFindHeight = 300, kFindMargin = 90;
// Posted to the window itself: the selection changed. Numbered after the class's own messages.
constexpr UINT kMsgSelectionChanged = frmDocument::kMsgStatusText + 1;

HINSTANCE Instance() {
  return GetModuleHandleA(nullptr);
}

void RegisterDocumentClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXA document{};
  document.cbSize = sizeof document;
  document.lpfnWndProc = frmDocument::Procedure;
  document.hInstance = Instance();
  document.hIcon = LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_ZIPFILE));
  document.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  document.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  document.lpszClassName = frmDocument::kClassName;
  if (!RegisterClassExA(&document)) throw SystemError("frmDocument", "RegisterClassEx");
  registered = true;
}

std::string TextOf(HWND window) {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(
      static_cast<size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// Copies text into a buffer of size bytes, cut at a character's start when it is too long.
void CopyText(const std::string& text, char* buffer, int size) {
  if (!buffer || size <= 0) return;
  size_t length = std::min(text.size(), static_cast<size_t>(size) - 1);
  if (length < text.size()) {
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  text.copy(buffer, length);
  buffer[length] = '\0';
}

// Puts a value back when the scope ends, however it ends.
template <typename Set, typename Value>
class Restore {
 public:
  Restore(Set set, Value value) : m_set(set), m_value(std::move(value)) {}
  ~Restore() { m_set(m_value); }
  Restore(const Restore&) = delete;
  Restore& operator=(const Restore&) = delete;

 private:
  Set m_set;
  Value m_value;
};

}  // namespace

frmDocument::frmDocument(HWND mdiClient, HWND frame, const std::string& caption)
    : m_hwndFrame(frame) {
  RegisterDocumentClass();
  MDICREATESTRUCTA create{};
  create.szClass = kClassName;
  create.szTitle = caption.c_str();
  create.hOwner = Instance();
  create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
  // The first document fills the client area; later ones cascade from the system's places.
  bool first = true;
  for (HWND child = GetWindow(mdiClient, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (FromWindow(child)) first = false;
  }
  // With no document there is nothing to scroll to, but a scroll bar left from the frame's
  // layout would make the first one short of the area once it goes.
  if (first) ShowScrollBar(mdiClient, SB_BOTH, FALSE);
  RECT client;
  if (first && GetClientRect(mdiClient, &client) && client.right > 0 && client.bottom > 0) {
    create.x = create.y = 0;
    create.cx = client.right;
    create.cy = client.bottom;
  }
  create.lParam = reinterpret_cast<LPARAM>(this);
  if (!SendMessageA(mdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create))) {
    DWORD error = GetLastError();
    RethrowCreationError();
    throw SystemError("frmDocument", "WM_MDICREATE", error);
  }
}

frmDocument::~frmDocument() {
  if (m_hwnd) SendMessageA(GetParent(m_hwnd), WM_MDIDESTROY, reinterpret_cast<WPARAM>(m_hwnd), 0);
}

frmDocument* frmDocument::FromWindow(HWND window) {
  char className[64] = "";
  if (!window || !GetClassNameA(window, className, sizeof className) ||
      lstrcmpA(className, kClassName) != 0) {
    return nullptr;
  }
  return reinterpret_cast<frmDocument*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT frmDocument::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      Form_Load();
      break;
    case WM_SIZE:
      Form_Resize();
      break;  // the MDI client needs it too
    case WM_PAINT:
      Form_Paint();
      return 0;
    case WM_SETFOCUS:
      DefMDIChildProcA(m_hwnd, message, wParam, lParam);
      SetFocus(m_lvwZip);
      return 0;
    case WM_CTLCOLORSTATIC:
      // The label: white on the bar's colour; in a high-contrast theme the theme's caption text.
      SetTextColor(reinterpret_cast<HDC>(wParam),
                   HighContrast() ? GetSysColor(COLOR_INACTIVECAPTIONTEXT) : RGB(255, 255, 255));
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_INACTIVECAPTION));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_INACTIVECAPTION));
    case WM_SYSCOLORCHANGE:
      // Only top-level windows get it: the frame passes it on, and the list needs it too.
      SendMessageA(m_lvwZip, message, wParam, lParam);
      SendMessageA(tvwFolders(), message, wParam, lParam);
      InvalidateRect(m_hwnd, nullptr, TRUE);
      return 0;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == m_lvwZip) {
        lvwZip_ContextMenu(lParam);
        return 0;
      }
      break;
    case WM_NOTIFYFORMAT:
      return NFR_ANSI;
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND:
      if (LOWORD(wParam) == kTxtFind && HIWORD(wParam) == EN_CHANGE) txtFind_Change();
      break;
    case WM_MDIACTIVATE:
      if (reinterpret_cast<HWND>(lParam) == m_hwnd) UpdateStatus();
      break;
    case kMsgSelectionChanged:
      m_statusPending = false;
      UpdateStatus();
      return 0;
    case WM_DPICHANGED_AFTERPARENT:
      ApplyDpi();
      Form_Resize();
      InvalidateRect(m_hwnd, nullptr, TRUE);
      return 0;
    case WM_CLOSE:
      // During an engine run the close waits for the run, which the user may cancel or keep.
      if (!runner::ConfirmCloseDuringRun(m_hwndFrame)) return 0;
      if (CommandScope::DeferWhileInProgress(m_hwnd, message, wParam, lParam)) return 0;
      Form_Unload();
      break;
    case WM_NCDESTROY:
      PostMessageA(m_hwndFrame, kMsgClosed, 0, 0);
      break;
  }
  return DefMDIChildProcA(m_hwnd, message, wParam, lParam);
}

void frmDocument::Form_Load() {
  m_label1 = CreateWindowExA(
      0, "STATIC", "FileName",
      WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS, 0, 0, 0, 0, m_hwnd,
      reinterpret_cast<HMENU>(INT_PTR{kLabel1}), Instance(), nullptr);
  m_lvwZip = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA |
                                 LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                             0, 0, 0, 0, m_hwnd, reinterpret_cast<HMENU>(INT_PTR{kLvwZip}),
                             Instance(), nullptr);
  if (!m_label1 || !m_lvwZip) throw SystemError("frmDocument", WC_LISTVIEWA);
  ListView_SetExtendedListViewStyle(m_lvwZip, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  m_txtFind = std::make_unique<FindBox>(m_hwnd, kTxtFind, m_lvwZip);
  m_folders = std::make_unique<FolderPane>(m_hwnd, kTvwFolders);
  m_columns = std::make_unique<EntryColumns>(m_lvwZip, [this](int row, int column) {
    return EntryText(m_cUnzip, m_rowView.EntryAt(row), column);
  });
  ListSettings settings = ReadListSettings(kColumnCount);
  m_rowView.SortBy(settings.sortColumn, !settings.descending);
  m_columns->ShowSort(m_rowView.SortColumn(), m_rowView.Ascending());
  m_showFolders = settings.showFolders;
  m_includeSubfolders = settings.includeSubfolders;
  ShowWindow(m_folders->Window(), m_showFolders ? SW_SHOWNA : SW_HIDE);
  ApplyDpi();
  m_cUnzip.Listener(this);
}

void frmDocument::ApplyDpi() {
  m_image1.Reset(static_cast<HICON>(LoadImageA(Instance(), MAKEINTRESOURCEA(IDI_ZIPFILE),
                                               IMAGE_ICON, Px(kImageSize), Px(kImageSize), 0)));
  m_labelFont.Reset(CreateFontForDpi(L"Verdana", 12.75, /*bold=*/true, Dpi()));
  m_listFont.Reset(CreateFontForDpi(L"Tahoma", 8.25, /*bold=*/false, Dpi()));
  SendMessageA(m_label1, WM_SETFONT, reinterpret_cast<WPARAM>(m_labelFont.Get()), TRUE);
  SendMessageA(m_lvwZip, WM_SETFONT, reinterpret_cast<WPARAM>(m_listFont.Get()), TRUE);
  SendMessageA(txtFind(), WM_SETFONT, reinterpret_cast<WPARAM>(m_listFont.Get()), TRUE);
  SendMessageA(tvwFolders(), WM_SETFONT, reinterpret_cast<WPARAM>(m_listFont.Get()), TRUE);
  m_columns->ApplyDpi(Dpi());
  int icon = ScaleForDpi(16, Dpi());
  if (!m_ilsIcons16) {
    m_ilsIcons16 = std::make_unique<IconImageList>(icon);
    UniqueIcon generic(static_cast<HICON>(
        LoadImageA(Instance(), MAKEINTRESOURCEA(IDI_DOCUMENT), IMAGE_ICON, icon, icon, 0)));
    m_ilsIcons16->Add(kDefaultIcon, generic.Get());
  } else if (m_ilsIcons16->Pixels() != icon) {
    m_ilsIcons16->Resize(icon);
  }
  SendMessageA(m_lvwZip, LVM_SETIMAGELIST, LVSIL_SMALL,
               reinterpret_cast<LPARAM>(m_ilsIcons16->Handle()));
}

void frmDocument::Form_Unload() {
  // Its box is a nested loop: a close or a forwarded line meanwhile waits.
  CommandScope scope;
  try {
    m_openFolder.Close(m_hwndFrame);
  } catch (...) {
    // What could not be removed stays; the window closes all the same.
  }
  try {
    // The drops' copies are the targets' now: what is left here goes without a question.
    m_dragFolder.Close(nullptr);
  } catch (...) {
  }
}

void frmDocument::Form_Resize() {
  RECT client;
  GetClientRect(m_hwnd, &client);
  int bar = Px(kBarHeight);
  int findLeft = std::max(Px(kLabelLeft), int(client.right) - Px(kFindWidth + kFindMargin));
  MoveWindow(txtFind(), findLeft, (bar - Px(kFindHeight)) / 2,
             std::max(0, int(client.right) - Px(kFindMargin) - findLeft), Px(kFindHeight), TRUE);
  MoveWindow(m_label1, Px(kLabelLeft), Px(kLabelTop),
             std::max(0, findLeft - Px(kFindMargin) - Px(kLabelLeft)), bar - Px(kLabelTop), TRUE);
  int height = std::max(0, int(client.bottom) - bar);
  int folders = m_showFolders ? std::min(Px(kFoldersWidth), int(client.right) / 3) : 0;
  if (m_showFolders) MoveWindow(tvwFolders(), 0, bar, folders, height, TRUE);
  MoveWindow(m_lvwZip, folders, bar, std::max(0, int(client.right) - folders), height, TRUE);
  RECT header{0, 0, client.right, bar};
  InvalidateRect(m_hwnd, &header, TRUE);
}

void frmDocument::Form_Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hwnd, &paint);
  RECT client;
  GetClientRect(m_hwnd, &client);
  RECT header{0, 0, client.right, Px(kBarHeight)};
  FillRect(dc, &header, GetSysColorBrush(COLOR_INACTIVECAPTION));
  DrawIconEx(dc, Px(kImageLeft), Px(kImageTop), m_image1.Get(), Px(kImageSize), Px(kImageSize), 0,
             nullptr, DI_NORMAL);
  EndPaint(m_hwnd, &paint);
}

LRESULT frmDocument::OnNotify(NMHDR* header) {
  if (header->hwndFrom == tvwFolders()) {
    if ((header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW) &&
        !m_folders->Filling()) {
      tvwFolders_Change();
    } else if (header->code == TVN_KEYDOWN) {
      // The tree's Delete and F3 mean what they mean on the list.
      WORD key = reinterpret_cast<NMTVKEYDOWN*>(header)->wVKey;
      if (key == VK_DELETE || key == VK_F3) lvwZip_KeyDown(key);
    }
    return 0;
  }
  if (header->hwndFrom != m_lvwZip)
    return DefMDIChildProcA(m_hwnd, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
  switch (header->code) {
    case LVN_GETDISPINFOA: {
      LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(header)->item;
      int32_t index = m_rowView.EntryAt(item.iItem);
      if (index < 1 || index > m_cUnzip.FileCount()) return 0;
      if (item.mask & LVIF_TEXT) {
        CopyText(EntryText(m_cUnzip, index, item.iSubItem), item.pszText, item.cchTextMax);
      }
      if (item.mask & LVIF_IMAGE) {
        item.iImage = m_ilsIcons16->IndexOf(
            GetIconKey(m_cUnzip.Filename(index), *m_ilsIcons16, kDefaultIcon));
      }
      return 0;
    }
    case NM_DBLCLK:
      // A double-click on empty space (no row under the pointer) does nothing.
      if (reinterpret_cast<NMITEMACTIVATE*>(header)->iItem >= 0) lvwZip_DblClick();
      return 0;
    case NM_RETURN:
      RunEntryCommand(EntryCommand::kOpen);
      return 0;
    case LVN_BEGINDRAG:
      lvwZip_BeginDrag();
      return 0;
    case LVN_KEYDOWN: {
      WORD key = reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey;
      if (EntryCommand command = EntryKeyCommand(key, GetKeyState(VK_CONTROL) < 0);
          command != EntryCommand::kNone) {
        RunEntryCommand(command);
        return 0;
      }
      lvwZip_KeyDown(key);
      return 0;
    }
    case LVN_COLUMNCLICK:
      SortBy(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
      return 0;
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
      ScheduleStatus();
      return 0;
  }
  return 0;
}

bool frmDocument::LoadArchive(const std::string& path) {
  m_cUnzip.ZipFile(path);
  m_cZip.ZipFile(path);
  UseCodePage(RememberedCodePage(path));
  SetWindowTextA(m_hwnd, path.c_str());
  SetWindowTextA(m_label1, path.c_str());
  bool failed = false;
  try {
    m_cUnzip.Directory();
    failed = m_cUnzip.LastRunFailed();
  } catch (const Error&) {
    failed = true;
  }
  FillEntryList();
  if (!failed) return true;
  bool listed = m_cUnzip.FileCount() > 0;
  ReportFailure(m_cUnzip.LastMessage(), /*warning=*/listed);
  return listed;
}

void frmDocument::FillEntryList() {
  m_rowView.Reset(m_cUnzip);
  SendMessageA(m_lvwZip, LVM_DELETEALLITEMS, 0, 0);
  if (!m_rowView.Ready()) {
    // The list stays empty while the new listing's keys are built, then shows it in order. A
    // cancelled build leaves catalogue order, or the search emptied.
    Prepare(m_rowView.SortReady(m_rowView.SortColumn()) ? "Searching" : "Sorting",
            [&](const Cancelled& cancelled) { m_rowView.Prepare(cancelled); });
    if (!m_rowView.SortReady(m_rowView.SortColumn())) {
      m_rowView.SortBy(RowView::kUnsorted, true);
      m_columns->ShowSort(RowView::kUnsorted, true);
    }
    if (!m_rowView.Ready()) {
      m_rowView.Filter("");
      SetWindowTextA(m_txtFind->Window(), "");
    }
    m_rowView.Apply();
  }
  // The tree is built only while shown; showing it builds it then.
  if (m_showFolders) {
    FillFolders();
    RestrictToFolder();
  }
  SendMessageA(m_lvwZip, LVM_SETITEMCOUNT, m_rowView.Count(), 0);
  m_columns->FitFirstRows();
  UpdateStatus();
  // What was typed into the search box while the keys were built.
  txtFind_Change();
}

void frmDocument::FillFolders() {
  FolderTree tree;
  Prepare("Reading folders", [&](const Cancelled&) { tree.Build(m_cUnzip); });
  m_folders->Fill(std::move(tree), ArchiveName());
}

void frmDocument::Relist() {
  m_cUnzip.ZipFile(m_cUnzip.ZipFile());
  try {
    m_cUnzip.Directory();
  } catch (...) {
    FillEntryList();
    throw;
  }
  FillEntryList();
}

std::vector<int32_t> frmDocument::SelectedIndices() const {
  if (m_showFolders && GetFocus() == tvwFolders())
    return m_folders->Tree().Entries(m_folders->Selected(), /*includeSubfolders=*/true);
  return ListSelection();
}

std::vector<int32_t> frmDocument::ListSelection() const {
  std::vector<int32_t> indices;
  for (int row : SelectedRows()) {
    if (int32_t entry = m_rowView.EntryAt(row)) indices.push_back(entry);
  }
  return indices;
}

std::vector<int> frmDocument::SelectedRows() const {
  std::vector<int> rows;
  for (int row = -1; (row = static_cast<int>(
                          SendMessageA(m_lvwZip, LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0;) {
    rows.push_back(row);
  }
  return rows;
}

std::vector<int32_t> frmDocument::ShownIndices() const {
  std::vector<int32_t> indices(static_cast<size_t>(m_rowView.Count()));
  for (int row = 0; row < m_rowView.Count(); ++row) indices[row] = m_rowView.EntryAt(row);
  return indices;
}

int32_t frmDocument::FocusedEntry() const {
  return m_rowView.EntryAt(
      static_cast<int>(SendMessageA(m_lvwZip, LVM_GETNEXTITEM, -1, LVNI_FOCUSED)));
}

void frmDocument::SelectEntries(const std::vector<int32_t>& entries, int32_t focused) {
  std::vector<int> rows;
  for (int32_t entry : entries) {
    if (int row = m_rowView.RowOf(entry); row >= 0) rows.push_back(row);
  }
  LVITEMA state{};
  state.stateMask = state.state = LVIS_SELECTED;
  // Every row shown is one call, not one per row.
  if (!rows.empty() && rows.size() == static_cast<size_t>(m_rowView.Count())) {
    SendMessageA(m_lvwZip, LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&state));
  } else {
    for (int row : rows)
      SendMessageA(m_lvwZip, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  }
  if (int row = m_rowView.RowOf(focused); row >= 0) {
    state.stateMask = state.state = LVIS_FOCUSED;
    SendMessageA(m_lvwZip, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    SendMessageA(m_lvwZip, LVM_ENSUREVISIBLE, row, FALSE);
  }
}

void frmDocument::ShowRows(const std::function<void()>& change) {
  std::vector<int> rows = SelectedRows();
  std::vector<int32_t> selected;
  for (int row : rows) selected.push_back(m_rowView.EntryAt(row));
  int focusedRow = static_cast<int>(SendMessageA(m_lvwZip, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
  int32_t focused = m_rowView.EntryAt(focusedRow);
  change();
  // The marks stay on row numbers, which now show other entries: clear them. Only the marked rows,
  // since clearing all rows at once costs as much as a call per row on some list views.
  LVITEMA state{};
  state.stateMask = LVIS_SELECTED;
  if (rows.size() > kClearEachRowLimit) {
    SendMessageA(m_lvwZip, LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&state));
  } else {
    for (int row : rows)
      SendMessageA(m_lvwZip, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  }
  if (focusedRow >= 0) {
    state.stateMask = LVIS_FOCUSED;
    SendMessageA(m_lvwZip, LVM_SETITEMSTATE, focusedRow, reinterpret_cast<LPARAM>(&state));
  }
  if (SendMessageA(m_lvwZip, LVM_GETITEMCOUNT, 0, 0) != m_rowView.Count())
    SendMessageA(m_lvwZip, LVM_SETITEMCOUNT, m_rowView.Count(), 0);
  SelectEntries(selected, focused);
  InvalidateRect(m_lvwZip, nullptr, FALSE);
  UpdateStatus();
}

void frmDocument::Prepare(const char* action,
                          const std::function<void(const Cancelled& cancelled)>& build) {
  // Another command's run holds the worker: build here; it takes a fraction of a second, and that
  // run's Cancel is not this build's.
  if (runner::RunInProgress()) {
    build({});
    return;
  }
  struct Preparing {
    bool& flag;
    explicit Preparing(bool& f) : flag(f) { flag = true; }
    ~Preparing() { flag = false; }
  } preparing(m_preparing);
  runner::RunOnWorker({action, m_cUnzip.ZipFile()}, [&] {
    build([] { return runner::RunCancelled(); });
    return 0;
  });
}

void frmDocument::SortBy(int column) {
  if (column < 0 || column >= kColumnCount) return;
  // A click while the keys are built would build them twice at once.
  if (m_preparing) {
    MessageBeep(MB_OK);
    return;
  }
  bool ascending = m_rowView.SortColumn() != column || !m_rowView.Ascending();
  if (!m_rowView.SortReady(column)) {
    Prepare("Sorting",
            [&](const Cancelled& cancelled) { m_rowView.PrepareSort(column, cancelled); });
    // Cancelled: the order stays as it was.
    if (!m_rowView.SortReady(column)) return;
  }
  ShowRows([&] { m_rowView.SortBy(column, ascending); });
  m_columns->ShowSort(column, ascending);
  try {
    WriteSortSetting(column, !ascending);
  } catch (...) {
    // A refused write keeps the sort for this window only.
  }
  // What was typed into the search box while the keys were built.
  txtFind_Change();
}

void frmDocument::txtFind_Change() {
  // Typed while the names are folded or the keys built: taken up when that is done.
  if (m_preparing) return;
  std::string text = m_txtFind->Text();
  if (text == m_rowView.FilterText()) return;
  if (!m_rowView.SearchReady()) {
    Prepare("Searching", [&](const Cancelled& cancelled) { m_rowView.PrepareSearch(cancelled); });
    // Cancelled: the box shows the search in force again.
    if (!m_rowView.SearchReady()) {
      SetWindowTextA(m_txtFind->Window(), m_rowView.FilterText().c_str());
      return;
    }
    // The box holds what was typed meanwhile too.
    text = m_txtFind->Text();
  }
  // The rows it hides lose their selection; the rows still shown keep theirs.
  ShowRows([&] { m_rowView.Filter(text); });
}

void frmDocument::RestrictToFolder() {
  int folder = m_showFolders ? m_folders->Selected() : 0;
  // The root shows every entry, whatever the subfolder choice.
  if (folder == 0) {
    m_rowView.Unrestrict();
  } else {
    m_rowView.Restrict(m_folders->Tree().Entries(folder, m_includeSubfolders));
  }
}

void frmDocument::tvwFolders_Change() {
  ShowRows([&] { RestrictToFolder(); });
}

void frmDocument::ShowFolders(bool show, bool includeSubfolders) {
  bool built = m_showFolders;
  m_showFolders = show;
  m_includeSubfolders = includeSubfolders;
  if (show && !built) FillFolders();
  // Hidden, the tree must not keep the focus, or commands would act on its folder.
  if (!show && GetFocus() == tvwFolders()) SetFocus(m_lvwZip);
  ShowWindow(tvwFolders(), show ? SW_SHOWNA : SW_HIDE);
  tvwFolders_Change();
  Form_Resize();
}

std::string frmDocument::ArchiveName() const {
  const std::string& archive = m_cUnzip.ZipFile();
  return archive.substr(archive.find_last_of("\\/") + 1);
}

void frmDocument::FocusFind() {
  SetFocus(txtFind());
  SendMessageA(txtFind(), EM_SETSEL, 0, -1);
}

void frmDocument::Refresh() {
  // Entries are found again by their stored names: the catalogue may have changed on disk.
  std::vector<std::string> names;
  for (int32_t i : ListSelection()) names.push_back(m_cUnzip.FileStoredName(i));
  bool failed = false;
  try {
    Relist();
    failed = m_cUnzip.LastRunFailed();
  } catch (const Error&) {
    failed = true;
  }
  if (failed) {
    ReportFailure(m_cUnzip.LastMessage(), /*warning=*/m_cUnzip.FileCount() > 0);
    return;
  }
  std::sort(names.begin(), names.end());
  std::vector<int32_t> again;
  for (int32_t i = 1; i <= m_cUnzip.FileCount(); ++i) {
    if (std::binary_search(names.begin(), names.end(), m_cUnzip.FileStoredName(i)))
      again.push_back(i);
  }
  SelectEntries(again, 0);
}

void frmDocument::ScheduleStatus() {
  if (m_statusPending) return;
  m_statusPending = PostMessageA(m_hwnd, kMsgSelectionChanged, 0, 0) != FALSE;
}

void frmDocument::UpdateStatus() {
  // Only the active window speaks for the frame's status bar.
  HWND active = reinterpret_cast<HWND>(SendMessageA(GetParent(m_hwnd), WM_MDIGETACTIVE, 0, 0));
  if (active != m_hwnd) return;
  std::string text = StatusText(m_cUnzip, m_rowView, SelectedIndices());
  SendMessageA(m_hwndFrame, kMsgStatusText, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void frmDocument::AddFiles(std::string_view selection) {
  CommandScope scope;
  PrepareAddFiles(m_cZip, selection, g_bStoreFolderNames, g_sBasePath);
  std::string caption = TextOf(m_hwnd);
  SetWindowTextA(m_hwnd, (caption + " - Adding Files...").c_str());
  bool failed = false;
  try {
    m_cZip.Zip();
    failed = m_cZip.LastRunFailed();
  } catch (const Error&) {
    failed = true;
  }
  SetWindowTextA(m_hwnd, caption.c_str());
  if (failed) ReportFailure(m_cZip.LastMessage());
  Relist();
}

void frmDocument::AddItems(const std::vector<std::string>& items) {
  CommandScope scope;
  std::string caption = TextOf(m_hwnd);
  SetWindowTextA(m_hwnd, (caption + " - Adding Files...").c_str());
  std::string failure;
  // One run per folder the items lie in: each run's paths are relative to one folder.
  for (const auto& [folder, group] : ItemsByFolder(items)) {
    PrepareAddItems(m_cZip, folder, group);
    try {
      m_cZip.Zip();
      if (m_cZip.LastRunFailed()) failure = m_cZip.LastMessage();
    } catch (const Error&) {
      failure = m_cZip.LastMessage();
    }
    if (!failure.empty()) break;
  }
  m_cZip.RecurseSubDirs(false);
  SetWindowTextA(m_hwnd, caption.c_str());
  if (!failure.empty()) ReportFailure(failure);
  Relist();
}

void frmDocument::AddFolder(const std::string& folder) {
  if (!g_bStoreFolderNames) {
    AddItems({folder});
    return;
  }
  m_cZip.RecurseSubDirs(true);
  try {
    AddFiles(folder);
  } catch (...) {
    m_cZip.RecurseSubDirs(false);
    throw;
  }
  m_cZip.RecurseSubDirs(false);
}

void frmDocument::lvwZip_BeginDrag() {
  if (runner::RunInProgress()) return;
  CommandScope scope;
  try {
    DragOut drag(*this, SelectedIndices());
    drag.Run();
  } catch (const Error& error) {
    // The drag folder could not be made; failures of the extraction itself were shown already.
    ReportFailure(error.Description());
  }
}

bool frmDocument::NewArchive(const std::string& path) {
  SetWindowTextA(m_hwnd, path.c_str());
  m_cUnzip.ZipFile(path);
  UseCodePage(RememberedCodePage(path));
  SetWindowTextA(m_label1, path.c_str());
  bool failed = false;
  try {
    CreateArchive(m_cZip, path, g_bStoreFolderNames);
    failed = m_cZip.LastRunFailed();
  } catch (const Error&) {
    failed = true;
  }
  if (failed) ReportFailure(m_cZip.LastMessage());
  FillEntryList();
  return !failed;
}

void frmDocument::lvwZip_DblClick() {
  // One engine run at a time: the window answers while one runs, but starts no other.
  if (runner::RunInProgress()) {
    MessageBeep(MB_OK);
    return;
  }
  CommandScope scope;
  try {
    std::vector<int32_t> selected = SelectedIndices();
    // The current entry: the focused row when it is selected, else the first selected one.
    int32_t focused = FocusedEntry();
    int32_t current = selected.empty() ? 0 : selected.front();
    if (focused && std::count(selected.begin(), selected.end(), focused)) current = focused;
    // Nothing selected opens nothing, and so extracts nothing either.
    if (!current) return;
    if (m_cUnzip.FileNameHasZero(current)) {
      ReportFailure(m_cUnzip.FileStoredName(current) +
                    "\r\n\r\nThis entry's stored name holds a zero byte: no file has the name "
                    "listed, so it is not opened.");
      return;
    }
    auto selectOnly = [&](auto&& chosen) {
      for (int32_t i = 1; i <= m_cUnzip.FileCount(); ++i) m_cUnzip.FileSelected(i, false);
      for (int32_t i : selected) m_cUnzip.FileSelected(i, chosen(i));
    };

    std::string folder = m_openFolder.Path();
    Restore unzipFolder([this](const std::string& v) { m_cUnzip.UnzipFolder(v); },
                        m_cUnzip.UnzipFolder());
    Restore prompt([this](bool v) { m_cUnzip.PromptToOverwrite(v); }, m_cUnzip.PromptToOverwrite());
    Restore folders([this](bool v) { m_cUnzip.UseFolderNames(v); }, m_cUnzip.UseFolderNames());
    m_cUnzip.UnzipFolder(folder);
    m_cUnzip.PromptToOverwrite(false);
    // Folder names kept: same-named entries of different folders are different files.
    m_cUnzip.UseFolderNames(true);
    // The other selected entries replace no copy already there.
    if (selected.size() > 1) {
      selectOnly([&](int32_t i) { return i != current; });
      RunUnzip();
      m_openFolder.NoteNewFiles();
    }
    selectOnly([&](int32_t i) { return i == current; });
    Restore overwrite([this](bool v) { m_cUnzip.OverwriteExisting(v); },
                      m_cUnzip.OverwriteExisting());
    m_cUnzip.OverwriteExisting(true);
    std::string target = m_cUnzip.FileTargetPath(current);
    if (target.empty()) {
      ReportFailure(m_cUnzip.FileStoredName(current) + "\r\n\r\nThis entry gives no file to open.");
      return;
    }
    std::string path = folder + "\\" + target;
    // An earlier copy goes first, so that a file found afterwards is this run's own.
    if (!m_openFolder.MakeRoom(target)) {
      ReportFailure(path +
                    "\r\n\r\nThe copy opened earlier was changed or is still open. Close it, or "
                    "save it elsewhere, before opening the entry again.");
      return;
    }
    if (!RunUnzip()) return;
    m_openFolder.NoteNewFiles();
    bool written = GetFileAttributesW(LongPathForm(Wide(path)).c_str()) != INVALID_FILE_ATTRIBUTES;
    // 11: the name matched nothing (the archive changed since it was listed); a warning counts
    // only with the file there.
    if (m_cUnzip.LastResult() == 11 || !written) {
      std::string lines = m_cUnzip.LastMessage();
      ReportFailure((lines.empty() ? path + "\r\n\r\nThe entry was not extracted." : lines));
      return;
    }
    if (!CarriesArchiveZone(path)) return;
    if (DWORD error = OpenWithShell(m_hwndFrame, path, folder); error && error != ERROR_CANCELLED) {
      // ERROR_CANCELLED: the user closed the system's own chooser.
      ReportFailure(path + "\r\n\r\n" + SystemMessage(error));
    }
  } catch (const Error& error) {
    // The private folder could not be made, or a name could not be converted.
    ReportFailure(error.Description());
  }
}

bool frmDocument::CarriesArchiveZone(const std::string& path) {
  constexpr int kInternet = 3;
  int zone = -1;
  if (std::optional<std::string> mark = ReadZoneMark(m_cUnzip.ZipFile())) {
    // The engine copies the zone; a mark it cannot read counts as the Internet's, as there.
    zone = ZoneOfMark(*mark);
    if (zone < 0) zone = kInternet;
  } else {
    // The engine marks copies only from the archive's own stream: a network location's zone is
    // written here, before the file is opened.
    zone = NetworkZone(m_cUnzip.ZipFile());
    if (zone <= 0) return true;  // a local file, or the local machine's zone
    WriteZoneMark(path, "[ZoneTransfer]\r\nZoneId=" + std::to_string(zone) + "\r\n");
  }
  std::optional<std::string> copy = ReadZoneMark(path);
  if (copy && ZoneOfMark(*copy) == zone) return true;
  std::string lines = m_cUnzip.LastMessage();
  ReportFailure(path + "\r\n\r\nThe file could not be marked as coming from zone " +
                std::to_string(zone) + ", as the archive is, so it is not opened." +
                (lines.empty() ? "" : "\r\n\r\n" + lines));
  return false;
}

void frmDocument::lvwZip_KeyDown(WORD keyCode) {
  // F3 finds, as in the shell's windows; Ctrl+F is the frame's.
  if (keyCode == VK_F3) FocusFind();
  if (keyCode != VK_DELETE) return;
  if (runner::RunInProgress()) {
    MessageBeep(MB_OK);
    return;
  }
  bool fromTree = m_showFolders && GetFocus() == tvwFolders();
  if (fromTree && m_folders->Selected() == 0) {
    // The root is the whole archive: emptying it takes a selection of every row in the list, so
    // that one key press on the tree never deletes everything.
    MessageBeep(MB_OK);
    return;
  }
  std::vector<int32_t> selected = SelectedIndices();
  // Nothing selected deletes nothing (and the engine, given no names, would create a missing
  // archive).
  if (selected.empty()) return;
  CommandScope scope;
  std::string archive = ArchiveName();
  std::string what = selected.size() == 1 ? m_cUnzip.FileStoredName(selected.front())
                                          : GroupedNumber(selected.size()) + " entries";
  if (fromTree) {
    what = "the folder \"" + m_folders->Tree().At(m_folders->Selected()).path + "\" and its " +
           (selected.size() == 1 ? std::string("1 entry") : what);
  }
  std::string question = "Delete " + what + " from " + archive + "?";
  // One key press must not remove entries for good without a word.
  if (MessageBoxA(m_hwndFrame, question.c_str(), kAppTitle,
                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
    return;
  }
  std::string failure;
  try {
    m_cZip.ClearFileSpecs();
    // The whole stored name selects exactly that entry, whatever wildcards it holds.
    for (int32_t index : selected) m_cZip.AddFileSpec(m_cUnzip.FileStoredName(index));
    m_cZip.Delete();
    if (m_cZip.LastRunFailed()) failure = m_cZip.LastMessage();
  } catch (const Error&) {
    failure = m_cZip.LastMessage();
  }
  try {
    Relist();
    if (failure.empty() && m_cUnzip.LastRunFailed()) failure = m_cUnzip.LastMessage();
  } catch (const Error&) {
    if (failure.empty()) failure = m_cUnzip.LastMessage();
  }
  if (!failure.empty()) ReportFailure(failure);
}

void frmDocument::lvwZip_ContextMenu(LPARAM lParam) {
  POINT place = EntryMenuPlace(m_lvwZip, lParam);
  bool anyRow = SendMessageA(m_lvwZip, LVM_GETITEMCOUNT, 0, 0) > 0;
  bool anySelected = SendMessageA(m_lvwZip, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
  RunEntryCommand(ChooseEntryCommand(m_hwnd, place, anySelected, anyRow));
}

void frmDocument::RunEntryCommand(EntryCommand command) {
  switch (command) {
    case EntryCommand::kOpen:
      lvwZip_DblClick();
      break;
    case EntryCommand::kExtract:
      SendMessageA(m_hwndFrame, kMsgExtractTo, 0, reinterpret_cast<LPARAM>(m_hwnd));
      break;
    case EntryCommand::kDelete:
      lvwZip_KeyDown(VK_DELETE);
      break;
    case EntryCommand::kSelectAll: {
      LVITEMA state{};
      state.stateMask = state.state = LVIS_SELECTED;
      SendMessageA(m_lvwZip, LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&state));
      break;
    }
    case EntryCommand::kTest:
      TestCommand(m_hwndFrame, *this);
      break;
    case EntryCommand::kProperties:
      ShowProperties(m_hwndFrame, *this);
      break;
    case EntryCommand::kNone:
      break;
  }
}

void frmDocument::UseCodePage(uint32_t codePage) {
  m_cUnzip.NameCodePage(codePage);
  m_cZip.NameCodePage(codePage);
}

void frmDocument::NameEncoding(uint32_t codePage) {
  if (runner::RunInProgress()) {
    MessageBeep(MB_OK);
    return;
  }
  CommandScope scope;
  UseCodePage(codePage);
  RememberCodePage(m_cUnzip.ZipFile(), codePage);
  try {
    Relist();
    if (m_cUnzip.LastRunFailed()) ReportFailure(m_cUnzip.LastMessage());
  } catch (const Error&) {
    ReportFailure(m_cUnzip.LastMessage());
  }
}

bool frmDocument::RunUnzip() {
  try {
    m_cUnzip.Unzip();
  } catch (const Error&) {
    ReportFailure(m_cUnzip.LastMessage());
    return false;
  }
  if (!m_cUnzip.LastRunFailed()) return true;
  if (m_cUnzip.LastResult() == IZ_CTRLC) {
    // The file being written is gone; those already complete stay, and the box says how many.
    runner::RunCounts counts = runner::LastRunCounts();
    ReportFailure("Cancelled: " + std::to_string(counts.entriesDone) + " of " +
                      std::to_string(counts.entriesTotal) + " entries were extracted.",
                  /*warning=*/true);
    return false;
  }
  ReportFailure(m_cUnzip.LastMessage());
  return false;
}

void frmDocument::ReportFailure(const std::string& lines, bool warning) {
  std::string text = m_cUnzip.ZipFile();
  if (!lines.empty()) text += "\r\n\r\n" + lines;
  MessageBoxA(m_hwndFrame, text.c_str(), kAppTitle,
              MB_OK | (warning ? MB_ICONWARNING : MB_ICONERROR));
}

void frmDocument::OverWritePrompt(const std::string& sFile, int32_t& eResponse) {
  m_cUnzip_OverWritePrompt(sFile, eResponse);
}

void frmDocument::PasswordRequest(const std::string& sName, bool bRetry, std::string& sPassword,
                                  bool& bCancel) {
  m_cUnzip_PasswordRequest(sName, bRetry, sPassword, bCancel);
}

void frmDocument::m_cUnzip_OverWritePrompt(const std::string& sFile, int32_t& eResponse) {
  CommandScope scope;
  eResponse = frmOverwrite::AskEngineQuestion(m_hwndFrame, sFile);
}

void frmDocument::m_cUnzip_PasswordRequest(const std::string& sName, bool bRetry,
                                           std::string& sPassword, bool& bCancel) {
  CommandScope scope;
  frmPassword::AnswerEngineRequest(m_hwnd, sName, bRetry, sPassword, bCancel);
}

}  // namespace corvane
