#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

class cUnzip;

// The folders of one listing, as the entry paths name them: every folder an entry lies in, every
// folder above it (also one that exists only as a path prefix, with no entry of its own) and the
// root, folder 0, which holds the whole archive. Built once per listing; folders are numbered in
// depth-first order with their children sorted by name, so that a folder's descendants follow it
// as one run and a tree control fills in that order.
class FolderTree {
 public:
  struct Folder {
    std::string path;              // "a\b"; empty for the root
    std::string name;              // "b"; empty for the root
    int parent = -1;               // -1 for the root
    int depth = 0;                 // 0 for the root
    int end = 0;                   // one past the last descendant
    std::vector<int32_t> entries;  // the entries directly in it (from 1), in catalogue order
  };

  // The folders of unzip's catalogue; an empty catalogue has just the root.
  void Build(const cUnzip& unzip);

  int Count() const { return static_cast<int>(m_folders.size()); }
  const Folder& At(int folder) const { return m_folders[static_cast<size_t>(folder)]; }
  // The folder with this path ("a\b", compared without case as the file system does), or -1.
  int Find(const std::string& path) const;
  // The entries in folder, with includeSubfolders also those below it, in catalogue order. The
  // root with subfolders is every entry.
  std::vector<int32_t> Entries(int folder, bool includeSubfolders) const;

 private:
  std::vector<Folder> m_folders;
};

// The folder tree beside a document's list: a tree-view control in the system's colours showing a
// FolderTree, the root named after the archive. Hidden until shown.
class FolderPane {
 public:
  // Creates the control, hidden, as child id of parent. Throws what failed the creation.
  FolderPane(HWND parent, int id);
  ~FolderPane();
  FolderPane(const FolderPane&) = delete;
  FolderPane& operator=(const FolderPane&) = delete;

  HWND Window() const { return m_tree; }
  const FolderTree& Tree() const { return m_model; }
  // Shows the folders of a listing (built on any thread) under a root named rootName, expanded
  // to the first level; the folder selected before stays selected when its path still exists,
  // otherwise the root is. Sends no selection change to the parent meanwhile.
  void Fill(FolderTree model, const std::string& rootName);
  // The folder selected (0, the root, when none is).
  int Selected() const;
  // Selects the folder with path, when there is one; true then.
  bool Select(const std::string& path);
  // True while the parent should ignore TVN_SELCHANGED: Fill is changing the selection.
  bool Filling() const { return m_filling; }

 private:
  HWND m_tree = nullptr;
  FolderTree m_model;
  std::vector<HTREEITEM> m_items;  // by folder
  bool m_filling = false;
};

}  // namespace corvane
