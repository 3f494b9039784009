#include "document/mFileIcons.h"

#include <windows.h>
#include <shellapi.h>

#include "document/IconImageList.h"
#include "platform/Text.h"

namespace corvane {
namespace {

// Characters that would let the name reach another folder, a device or a stream.
bool IsUnsafe(std::string_view extension) {
  for (unsigned char c : extension) {
    if (c < 0x20 ||
        std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

std::string UpperCase(std::string_view text) {
  std::wstring wide = Wide(text);
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return Utf8(wide);
}

// The file attributes stand in for a file on disk, so the shell reads nothing there.
constexpr UINT kByType = SHGFI_USEFILEATTRIBUTES;

// The position of the type's small icon in the system's image list, which costs the program no
// icon handle; -1 when the shell has none.
int SystemIconIndex(const std::wstring& name) {
  SHFILEINFOW info{};
  if (!SHGetFileInfoW(name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                      kByType | SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) {
    return -1;
  }
  return info.iIcon;
}

}  // namespace

std::string GetIconKey(const std::string& sFileName, IconImageList& ilsIcons16,
                       const std::string& sDefaultKey) {
  size_t dot = sFileName.rfind('.');
  if (dot == std::string::npos) return sDefaultKey;
  std::string extension = UpperCase(std::string_view(sFileName).substr(dot));
  if (extension == ".EXE" || IsUnsafe(extension)) return sDefaultKey;
  if (ilsIcons16.Knows(extension)) {
    return ilsIcons16.IndexOf(extension) >= 0 ? extension : sDefaultKey;
  }
  ilsIcons16.NoteLookup();
  // The shell goes by the extension; any stem makes it an ordinary file name.
  const std::string name = "file" + extension;
  const int source = SystemIconIndex(Wide(name));
  if (source >= 0 && ilsIcons16.Share(extension, source)) return extension;
  // An icon handle of the program's own only for an image the list will hold.
  UniqueIcon icon;
  if (ilsIcons16.Count() < IconImageList::kMaxImages) icon = GetFileIcon(name, 1);
  if (icon && ilsIcons16.Add(extension, icon.Get(), source)) return extension;
  ilsIcons16.AddMissing(extension);
  return sDefaultKey;
}

UniqueIcon GetFileIcon(const std::string& sPath, int lSize) {
  SHFILEINFOW info{};
  UINT flags = kByType | SHGFI_ICON | (lSize == 1 ? SHGFI_SMALLICON : 0);
  if (!SHGetFileInfoW(Wide(sPath).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, flags)) {
    return UniqueIcon();
  }
  return UniqueIcon(info.hIcon);
}

}  // namespace corvane
