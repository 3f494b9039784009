#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "platform/Handle.h"

namespace corvane {

// An image list of square icons, each under a text key, as a document window's list shows them.
// Keys may share an image: an image made from a source (the shell's index of the icon) serves
// every later key of that source. A key may also be known to have no image, so that its lookup is
// not repeated. The list keeps a copy of every icon, so that it can be drawn again at another
// size; at most kMaxImages images (and so icon handles) are ever held, however many keys there are.
class IconImageList {
 public:
  static constexpr int kMaxImages = 256;

  // An empty list of icons pixels square.
  explicit IconImageList(int pixels);

  HIMAGELIST Handle() const { return m_list.Get(); }
  int Pixels() const { return m_iPixels; }

  // The image's position in the list, or -1 when no image has the key.
  int IndexOf(const std::string& key) const;
  // Whether the key is in the list: with an image, or known to have none.
  bool Knows(const std::string& key) const { return m_keys.count(key) != 0; }
  // Images, and icon handles held.
  int Count() const { return static_cast<int>(m_icons.size()); }

  // Adds a copy of icon under key (which must be new), made from `source` (-1: from none, never
  // shared). False, with nothing added, when the list is full or refuses it.
  bool Add(const std::string& key, HICON icon, int source = -1);
  // Gives the new key the image made from source. False, with nothing added, when there is none.
  bool Share(const std::string& key, int source);
  // Keeps the new key as one without an image.
  void AddMissing(const std::string& key) { m_keys.emplace(key, -1); }

  // The shell lookups made for this list's keys: the caller counts each (NoteLookup), so that a
  // lookup made twice for one key shows.
  void NoteLookup() { ++m_lookups; }
  int Lookups() const { return m_lookups; }

  // Draws every image again at the new size, in the same positions, into a new list: Handle()
  // changes, and the old list is destroyed.
  void Resize(int pixels);

 private:
  int m_iPixels;
  UniqueHandle<HIMAGELIST, ImageList_Destroy> m_list;
  std::map<std::string, int> m_keys;  // -1: no image
  std::map<int, int> m_sources;       // source to image
  std::vector<UniqueIcon> m_icons;
  int m_lookups = 0;
};

}  // namespace corvane
