#include "document/IconImageList.h"

#include "platform/Error.h"

namespace corvane {
namespace {

UniqueHandle<HIMAGELIST, ImageList_Destroy> NewList(int pixels, int capacity) {
  UniqueHandle<HIMAGELIST, ImageList_Destroy> list(
      ImageList_Create(pixels, pixels, ILC_COLOR32 | ILC_MASK, capacity, 8));
  if (!list) throw SystemError("IconImageList", "ImageList_Create");
  return list;
}

}  // namespace

IconImageList::IconImageList(int pixels) : m_iPixels(pixels), m_list(NewList(pixels, 8)) {}

int IconImageList::IndexOf(const std::string& key) const {
  auto found = m_keys.find(key);
  return found == m_keys.end() ? -1 : found->second;
}

bool IconImageList::Add(const std::string& key, HICON icon, int source) {
  if (Count() >= kMaxImages) return false;
  UniqueIcon copy(CopyIcon(icon));
  if (!copy || ImageList_ReplaceIcon(m_list.Get(), -1, copy.Get()) < 0) return false;
  m_keys.emplace(key, Count());
  if (source >= 0) m_sources.emplace(source, Count());
  m_icons.push_back(std::move(copy));
  return true;
}

bool IconImageList::Share(const std::string& key, int source) {
  auto found = m_sources.find(source);
  if (found == m_sources.end()) return false;
  m_keys.emplace(key, found->second);
  return true;
}

void IconImageList::Resize(int pixels) {
  auto list = NewList(pixels, Count());
  for (const UniqueIcon& icon : m_icons) ImageList_ReplaceIcon(list.Get(), -1, icon.Get());
  m_list = std::move(list);
  m_iPixels = pixels;
}

}  // namespace corvane
