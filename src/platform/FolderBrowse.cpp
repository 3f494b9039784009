#include "platform/FolderBrowse.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/Error.h"
#include "platform/Handle.h"
#include "platform/Path.h"
#include "platform/Text.h"

namespace corvane {
namespace {

constexpr int kTreeId = 1;

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

std::wstring Join(const std::wstring& folder, std::wstring_view name) {
  std::wstring path = folder;
  if (!IsSeparator(path.back())) path += L'\\';
  return path.append(name);
}

// Equal as the file system compares names: case folded over all of Unicode, as NTFS does.
bool SameName(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// True when path is folder or lies below it.
bool Within(const std::wstring& folder, const std::wstring& path) {
  if (path.size() < folder.size() ||
      !SameName(folder, std::wstring_view(path).substr(0, folder.size()))) {
    return false;
  }
  return path.size() == folder.size() || IsSeparator(folder.back()) ||
         IsSeparator(path[folder.size()]);
}

// A full path in the form the tree keeps: "\" between names, "." and ".." resolved, and no
// separator at the end but a drive root's. Empty for an empty path.
std::wstring FullForm(const std::string& path) {
  if (path.empty()) return std::wstring();
  std::wstring full = Wide(FullPathName(path));
  while (full.size() > 3 && IsSeparator(full.back())) full.pop_back();
  return full;
}

// The folders in folder whose names match filter (any name when it is empty), hidden ones left
// out, in the order the shell shows them; only whether there is one when firstOnly.
std::vector<std::wstring> Subfolders(const std::wstring& folder, const std::wstring& filter,
                                     bool firstOnly) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  UniqueHandle<HANDLE, FindClose> search(FindFirstFileExW(
      Join(folder, L"*").c_str(), FindExInfoBasic, &found, FindExSearchLimitToDirectories, nullptr,
      /*dwAdditionalFlags=*/0));
  if (!search) return names;
  do {
    std::wstring_view name = found.cFileName;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) || name == L"." || name == L".." ||
        (!filter.empty() && !PathMatchSpecW(found.cFileName, filter.c_str()))) {
      continue;
    }
    names.emplace_back(name);
    if (firstOnly) break;
  } while (FindNextFileW(search.Get(), &found));
  std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
    return StrCmpLogicalW(a.c_str(), b.c_str()) < 0;
  });
  return names;
}

// The shell's small icon for a path; with USEFILEATTRIBUTES in flags, for any item with these
// attributes. Returns the system's image list, which holds the icon at info.iIcon.
HIMAGELIST ShellIcon(const std::wstring& path, DWORD attributes, UINT flags, SHFILEINFOW& info) {
  return reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(path.c_str(), attributes, &info, sizeof info,
                                                     flags | SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

}  // namespace

FolderBrowse::FolderBrowse() = default;

FolderBrowse::~FolderBrowse() {
  CloseTree();
}

void FolderBrowse::StartCapture(ICaptureBF& host) {
  if (m_pHost) return;
  m_pHost = &host;
  m_bEnded = false;
  bool onItsOwn = false;
  try {
    host.CaptureBrowseForFolder(this);
    CreateTree(host.CapturehWnd());
    std::wstring initial = FullForm(m_settings.InitialDir);
    if (HTREEITEM start = Find(initial, /*relist=*/false)) Select(start, /*report=*/false);
    if (m_settings.ReportInitialDir && !initial.empty()) host.SelectionChanged(Utf8(initial));
    HWND dialog = GetAncestor(m_capture, GA_ROOT);
    MSG msg;
    while (!m_bEnded) {
      if (!IsWindow(m_tree) || (m_settings.hWndOwner && !IsWindow(m_settings.hWndOwner))) {
        onItsOwn = true;
        break;
      }
      int got = GetMessageA(&msg, nullptr, 0, 0);
      if (got <= 0) {
        if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
        onItsOwn = true;
        break;
      }
      if (IsDialogMessageA(dialog, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  } catch (...) {
    CloseTree();
    m_pHost = nullptr;
    throw;
  }
  CloseTree();
  m_pHost = nullptr;
  if (onItsOwn) host.Unload();
}

void FolderBrowse::SelectFolder(const std::string& sPath) {
  if (!m_tree) return;
  if (HTREEITEM item = Find(FullForm(sPath), /*relist=*/true)) Select(item, /*report=*/true);
}

void FolderBrowse::EndCapture() {
  m_bEnded = true;
  CloseTree();
}

void FolderBrowse::CreateTree(HWND capture) {
  m_capture = capture;
  // The host's window holds a control that takes the focus: the dialog keys reach into it.
  SetWindowLongPtrA(capture, GWL_EXSTYLE,
                    GetWindowLongPtrA(capture, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
  SetWindowLongPtrA(capture, GWL_STYLE, GetWindowLongPtrA(capture, GWL_STYLE) | WS_CLIPCHILDREN);
  RECT client;
  GetClientRect(capture, &client);
  m_tree = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
                               TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                           0, 0, client.right, client.bottom, capture,
                           reinterpret_cast<HMENU>(INT_PTR{kTreeId}), GetModuleHandleA(nullptr),
                           nullptr);
  if (!m_tree) throw SystemError("FolderBrowse", WC_TREEVIEWA);
  // The notifications in their W form, whatever the host's window is.
  SendMessageW(m_tree, TVM_SETUNICODEFORMAT, TRUE, 0);
  SendMessageW(m_tree, WM_SETFONT, SendMessageW(capture, WM_GETFONT, 0, 0), FALSE);
  ISubclass& handler = *this;
  m_notify = std::make_unique<SubclassAttachment>(capture, WM_NOTIFY, handler);
  m_size = std::make_unique<SubclassAttachment>(capture, WM_SIZE, handler);
  m_font = std::make_unique<SubclassAttachment>(capture, WM_SETFONT, handler);

  SHFILEINFOW info{};
  HIMAGELIST images = ShellIcon(L"folder", FILE_ATTRIBUTE_DIRECTORY,
                                SHGFI_USEFILEATTRIBUTES | SHGFI_OPENICON, info);
  m_iOpenFolderImage = info.iIcon;
  ShellIcon(L"folder", FILE_ATTRIBUTE_DIRECTORY, SHGFI_USEFILEATTRIBUTES, info);
  m_iFolderImage = info.iIcon;
  // The system's own list, which every program shares: the tree does not destroy it.
  SendMessageW(m_tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));

  std::wstring drives(GetLogicalDriveStringsW(0, nullptr), L'\0');
  drives.resize(GetLogicalDriveStringsW(static_cast<DWORD>(drives.size()), drives.data()));
  for (const wchar_t* drive = drives.c_str(); *drive; drive += wcslen(drive) + 1) {
    ShellIcon(drive, 0, SHGFI_DISPLAYNAME, info);
    // A drive is not looked into before it is opened: an empty or slow one would hold the tree up.
    AddItem(TVI_ROOT, *info.szDisplayName ? info.szDisplayName : std::wstring(drive, 2), drive,
            info.iIcon, info.iIcon, 1);
  }
}

HTREEITEM FolderBrowse::AddItem(HTREEITEM parent, const std::wstring& text, std::wstring path,
                                int image, int openImage, int children) {
  m_folders.push_back(Folder{std::move(path)});
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM;
  insert.item.pszText = const_cast<wchar_t*>(text.c_str());
  insert.item.iImage = image;
  insert.item.iSelectedImage = openImage;
  insert.item.cChildren = children;
  insert.item.lParam = reinterpret_cast<LPARAM>(&m_folders.back());
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(m_tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

FolderBrowse::Folder& FolderBrowse::FolderOf(HTREEITEM item) const {
  TVITEMW data{};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
  return *reinterpret_cast<Folder*>(data.lParam);
}

void FolderBrowse::List(HTREEITEM item) {
  // Listed afresh: what an earlier list showed goes first.
  while (HTREEITEM child = TreeView_GetChild(m_tree, item)) TreeView_DeleteItem(m_tree, child);
  Folder& folder = FolderOf(item);  // kept in a deque: adding items leaves it in place
  std::vector<std::wstring> names =
      Subfolders(folder.path, Wide(m_settings.Filter), /*firstOnly=*/false);
  for (const std::wstring& name : names) {
    AddItem(item, name, Join(folder.path, name), m_iFolderImage, m_iOpenFolderImage,
            I_CHILDRENCALLBACK);
  }
  folder.listed = true;
  TVITEMW data{};
  data.mask = TVIF_CHILDREN;
  data.hItem = item;
  data.cChildren = names.empty() ? 0 : 1;
  SendMessageW(m_tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&data));
}

HTREEITEM FolderBrowse::Find(const std::wstring& path, bool relist) {
  if (path.empty()) return nullptr;
  HTREEITEM item = TreeView_GetRoot(m_tree);
  while (item && !Within(FolderOf(item).path, path)) item = TreeView_GetNextSibling(m_tree, item);
  // Down from the root, one name at a time, to the folder or the last one on its way that exists.
  while (item && FolderOf(item).path.size() < path.size()) {
    const std::wstring at = FolderOf(item).path;
    size_t start = at.size() + (IsSeparator(at.back()) ? 0 : 1);
    std::wstring step = Join(at, path.substr(start, path.find_first_of(L"\\/", start) - start));
    auto child = [&] {
      HTREEITEM c = TreeView_GetChild(m_tree, item);
      while (c && !SameName(FolderOf(c).path, step)) c = TreeView_GetNextSibling(m_tree, c);
      return c;
    };
    bool wasListed = FolderOf(item).listed;
    if (!wasListed) List(item);
    HTREEITEM next = child();
    if (!next && wasListed && relist) {
      List(item);
      next = child();
    }
    if (!next) break;
    item = next;
  }
  return item;
}

void FolderBrowse::Select(HTREEITEM item, bool report) {
  m_bQuiet = !report;
  TreeView_SelectItem(m_tree, item);  // opens the folders above it
  m_bQuiet = false;
  TreeView_Expand(m_tree, item, TVE_EXPAND);
  TreeView_EnsureVisible(m_tree, item);
}

void FolderBrowse::CloseTree() {
  // Detached first: the tree's last notifications must not reach the items' data.
  m_notify.reset();
  m_size.reset();
  m_font.reset();
  if (m_tree && IsWindow(m_tree)) DestroyWindow(m_tree);
  m_tree = nullptr;
  m_capture = nullptr;
  m_folders.clear();
}

LRESULT FolderBrowse::WindowProc(HWND, UINT iMsg, WPARAM wParam, LPARAM lParam) {
  switch (iMsg) {
    case WM_NOTIFY:
      OnNotify(reinterpret_cast<NMHDR*>(lParam));
      break;
    case WM_SIZE:
      MoveWindow(m_tree, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      break;
    case WM_SETFONT:  // the host's font at a new DPI
      SendMessageW(m_tree, WM_SETFONT, wParam, lParam);
      break;
  }
  return 0;
}

void FolderBrowse::OnNotify(NMHDR* header) {
  if (header->hwndFrom != m_tree) return;
  switch (header->code) {
    case TVN_ITEMEXPANDINGW: {
      auto* view = reinterpret_cast<NMTREEVIEWW*>(header);
      if ((view->action & TVE_EXPAND) && !FolderOf(view->itemNew.hItem).listed) {
        List(view->itemNew.hItem);
      }
      break;
    }
    case TVN_GETDISPINFOW: {
      // Whether a folder shows a button is asked once, when it is first drawn.
      auto* info = reinterpret_cast<NMTVDISPINFOW*>(header);
      if (info->item.mask & TVIF_CHILDREN) {
        const auto& folder = *reinterpret_cast<const Folder*>(info->item.lParam);
        info->item.cChildren =
            Subfolders(folder.path, Wide(m_settings.Filter), /*firstOnly=*/true).empty() ? 0 : 1;
        info->item.mask |= TVIF_DI_SETITEM;
      }
      break;
    }
    case TVN_SELCHANGEDW: {
      auto* view = reinterpret_cast<NMTREEVIEWW*>(header);
      if (!m_bQuiet && m_pHost && view->itemNew.hItem) {
        m_pHost->SelectionChanged(Utf8(reinterpret_cast<Folder*>(view->itemNew.lParam)->path));
      }
      break;
    }
  }
}

}  // namespace corvane
