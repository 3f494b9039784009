#include "document/mFileIcons.h"

#include <windows.h>
#include <shellapi.h>

#include "document/IconImageList.h"
#include "platform/Error.h"
#include "platform/Text.h"

namespace corvane {
namespace {

// Characters that would let the probe file's name reach another folder, a device or a stream.
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

}  // namespace

std::string GetIconKey(const std::string& sFileName, IconImageList& ilsIcons16,
                       const std::string& sDefaultKey) {
  size_t dot = sFileName.rfind('.');
  if (dot == std::string::npos) return sDefaultKey;
  std::string extension = UpperCase(std::string_view(sFileName).substr(dot));
  if (extension == ".EXE" || IsUnsafe(extension)) return sDefaultKey;
  if (ilsIcons16.IndexOf(extension) >= 0) return extension;

  std::wstring probe;
  try {
    std::string folder = GetTempDir();
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    probe = Wide(folder + "CVUZTEMP" + extension);
  } catch (const Error&) {
    return sDefaultKey;
  }
  DeleteFileW(probe.c_str());
  bool added = false;
  // A new file only: whatever could not be deleted is left alone, and never written through.
  UniqueKernelHandle file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY, nullptr));
  DWORD written = 0;
  if (file && WriteFile(file.Get(), "TEMP", 4, &written, nullptr) && written == 4) {
    file.Reset();
    UniqueIcon icon = GetFileIcon(Utf8(probe), 1);
    added = icon && ilsIcons16.Add(extension, icon.Get());
  }
  file.Reset();
  DeleteFileW(probe.c_str());
  return added ? extension : sDefaultKey;
}

UniqueIcon GetFileIcon(const std::string& sPath, int lSize) {
  SHFILEINFOW info{};
  UINT flags = SHGFI_ICON | (lSize == 1 ? SHGFI_SMALLICON : 0);
  if (!SHGetFileInfoW(Wide(sPath).c_str(), 0, &info, sizeof info, flags)) return UniqueIcon();
  return UniqueIcon(info.hIcon);
}

std::string GetTempDir() {
  std::wstring folder(MAX_PATH + 1, L'\0');
  DWORD length = GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
  if (length > folder.size()) {
    folder.resize(length);
    length = GetTempPathW(length, folder.data());
  }
  if (length == 0) throw SystemError("mFileIcons", "GetTempPath");
  folder.resize(length);
  return Utf8(folder);
}

}  // namespace corvane
