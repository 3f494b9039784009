#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "platform/Handle.h"

namespace corvane {

// An image list of square icons, each under a text key, as a document window's list shows them.
// It keeps a copy of every icon, so that it can be drawn again at another size.
class IconImageList {
 public:
  // An empty list of icons pixels square.
  explicit IconImageList(int pixels);

  HIMAGELIST Handle() const { return m_list.Get(); }
  int Pixels() const { return m_iPixels; }

  // The image's position in the list, or -1 when no image has the key.
  int IndexOf(const std::string& key) const;
  int Count() const { return static_cast<int>(m_icons.size()); }

  // Adds a copy of icon under key (which must be new). False, with nothing added, when the list
  // refuses it.
  bool Add(const std::string& key, HICON icon);

  // Draws every image again at the new size, in the same positions, into a new list: Handle()
  // changes, and the old list is destroyed.
  void Resize(int pixels);

 private:
  int m_iPixels;
  UniqueHandle<HIMAGELIST, ImageList_Destroy> m_list;
  std::map<std::string, int> m_keys;
  std::vector<UniqueIcon> m_icons;
};

}  // namespace corvane
