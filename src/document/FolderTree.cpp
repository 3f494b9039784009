#include "document/FolderTree.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <memory>

#include "platform/Error.h"
#include "platform/Text.h"
#include "unzip/cUnzip.h"

namespace corvane {
namespace {

// Folder names compare as the file system compares them: case folded, so that "Docs" and "docs"
// from two entries are one folder, as extraction would make them.
std::string FoldedKey(const std::string& name) {
  std::wstring wide = Wide(name);
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return Utf8(wide);
}

struct Node {
  std::string name;
  std::map<std::string, std::unique_ptr<Node>> children;  // by folded name
  std::vector<int32_t> entries;
};

}  // namespace

void FolderTree::Build(const cUnzip& unzip) {
  Node root;
  for (int32_t i = 1; i <= unzip.FileCount(); ++i) {
    Node* node = &root;
    const std::string& path = unzip.FileDirectory(i);
    size_t start = 0;
    while (start < path.size()) {
      size_t slash = std::min(path.find('\\', start), path.size());
      // Empty parts ("a\\b", a leading separator) name no folder.
      if (slash > start) {
        std::string part = path.substr(start, slash - start);
        std::unique_ptr<Node>& child = node->children[FoldedKey(part)];
        if (!child) {
          child = std::make_unique<Node>();
          child->name = part;
        }
        node = child.get();
      }
      start = slash + 1;
    }
    node->entries.push_back(i);
  }
  m_folders.clear();
  // Depth first without recursion: a deep path must not exhaust the window thread's stack.
  struct Pending {
    Node* node;
    int parent;
    int depth;
  };
  std::vector<Pending> stack{{&root, -1, 0}};
  while (!stack.empty()) {
    Pending at = stack.back();
    stack.pop_back();
    Folder folder;
    folder.name = at.node->name;
    folder.parent = at.parent;
    folder.depth = at.depth;
    if (at.parent > 0) folder.path = m_folders[static_cast<size_t>(at.parent)].path + "\\";
    folder.path += folder.name;
    folder.entries = std::move(at.node->entries);
    int index = static_cast<int>(m_folders.size());
    m_folders.push_back(std::move(folder));
    // Pushed in reverse, so that the first child by name comes out first.
    for (auto it = at.node->children.rbegin(); it != at.node->children.rend(); ++it) {
      stack.push_back({it->second.get(), index, at.depth + 1});
    }
  }
  // A folder's run of descendants ends where the next folder at its depth or above begins.
  std::vector<int> open;
  for (int i = 0; i < Count(); ++i) {
    while (!open.empty() && m_folders[static_cast<size_t>(open.back())].depth >= At(i).depth) {
      m_folders[static_cast<size_t>(open.back())].end = i;
      open.pop_back();
    }
    open.push_back(i);
  }
  for (int i : open) m_folders[static_cast<size_t>(i)].end = Count();
}

int FolderTree::Find(const std::string& path) const {
  std::string key = FoldedKey(path);
  for (int i = 0; i < Count(); ++i) {
    if (FoldedKey(At(i).path) == key) return i;
  }
  return -1;
}

std::vector<int32_t> FolderTree::Entries(int folder, bool includeSubfolders) const {
  if (folder < 0 || folder >= Count()) return {};
  if (!includeSubfolders) return At(folder).entries;
  std::vector<int32_t> entries;
  for (int i = folder; i < At(folder).end; ++i) {
    entries.insert(entries.end(), At(i).entries.begin(), At(i).entries.end());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

FolderPane::FolderPane(HWND parent, int id) {
  // No colours are set: the control draws in the system's, high-contrast themes included.
  m_tree = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                           WS_CHILD | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
                               TVS_SHOWSELALWAYS | TVS_DISABLEDRAGDROP,
                           0, 0, 0, 0, parent, reinterpret_cast<HMENU>(INT_PTR{id}),
                           GetModuleHandleW(nullptr), nullptr);
  if (!m_tree) throw SystemError("FolderPane", "CreateWindowEx");
}

FolderPane::~FolderPane() {
  if (m_tree) DestroyWindow(m_tree);
}

void FolderPane::Fill(FolderTree model, const std::string& rootName) {
  std::string selected = m_items.empty() ? std::string() : m_model.At(Selected()).path;
  m_filling = true;
  SendMessageW(m_tree, WM_SETREDRAW, FALSE, 0);
  TreeView_DeleteAllItems(m_tree);
  m_model = std::move(model);
  m_items.assign(static_cast<size_t>(m_model.Count()), nullptr);
  for (int i = 0; i < m_model.Count(); ++i) {
    const FolderTree::Folder& folder = m_model.At(i);
    std::wstring text = Wide(i == 0 ? rootName : folder.name);
    TVINSERTSTRUCTW insert{};
    insert.hParent = i == 0 ? TVI_ROOT : m_items[static_cast<size_t>(folder.parent)];
    // The model's order is already by name.
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = text.data();
    insert.item.lParam = i;
    m_items[static_cast<size_t>(i)] = reinterpret_cast<HTREEITEM>(
        SendMessageW(m_tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  }
  TreeView_Expand(m_tree, m_items.front(), TVE_EXPAND);
  if (!Select(selected)) TreeView_SelectItem(m_tree, m_items.front());
  SendMessageW(m_tree, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(m_tree, nullptr, TRUE);
  m_filling = false;
}

int FolderPane::Selected() const {
  HTREEITEM item = TreeView_GetSelection(m_tree);
  if (!item) return 0;
  TVITEMW data{};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  if (!SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data))) return 0;
  int folder = static_cast<int>(data.lParam);
  return folder >= 0 && folder < m_model.Count() ? folder : 0;
}

bool FolderPane::Select(const std::string& path) {
  int folder = m_model.Find(path);
  if (folder < 0 || static_cast<size_t>(folder) >= m_items.size()) return false;
  TreeView_EnsureVisible(m_tree, m_items[static_cast<size_t>(folder)]);
  return TreeView_SelectItem(m_tree, m_items[static_cast<size_t>(folder)]) != FALSE;
}

}  // namespace corvane
