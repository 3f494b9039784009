// Files and folders on Windows, through wide long-path calls, so names in any script and paths of
// any length work; the hidden and system attributes mark what recursion and wildcards skip.
#include "platform/folder.h"

#include <windows.h>

#include "core/times.h"
#include "platform/faults.h"
#include "platform/system_error.h"
#include "platform/win32.h"

namespace cv {
namespace {

void FromAttributes(DWORD attributes, DWORD reparseTag, FILETIME written, DWORD sizeHigh,
                    DWORD sizeLow, FileInfo* e) {
  e->isDirectory = attributes & FILE_ATTRIBUTE_DIRECTORY;
  e->hiddenOrSystem = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  // Only name surrogates (symbolic links, junctions) lead elsewhere; other reparse points, such as
  // cloud-file placeholders, are the files and folders they look like.
  e->isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(reparseTag);
  e->size = e->isDirectory ? 0 : uint64_t(sizeHigh) << 32 | sizeLow;
  (void)UnixTimeFromFileTime(uint64_t(written.dwHighDateTime) << 32 | written.dwLowDateTime,
                             &e->mtime);
  // The DOS attribute byte: read-only, hidden, system, folder, archive.
  e->externalAttributes = attributes & 0x37;
}

}  // namespace

bool Stat(const std::string& path, FileInfo* out) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  const std::wstring wide = LongPath(path);
  if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return false;
  // The reparse tag comes only with a directory listing.
  DWORD tag = 0;
  WIN32_FIND_DATAW fd;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    HANDLE h =
        FindFirstFileExW(wide.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
    if (h != INVALID_HANDLE_VALUE) {
      tag = fd.dwReserved0;
      FindClose(h);
    }
  }
  FromAttributes(data.dwFileAttributes, tag, data.ftLastWriteTime, data.nFileSizeHigh,
                 data.nFileSizeLow, out);
  return true;
}

Status ListFolder(const std::string& dir, std::vector<FileInfo>* out) {
  out->clear();
  CV_RETURN_IF_ERROR(detail::ReadFault(dir, 0));
  WIN32_FIND_DATAW fd;
  // A long path is taken literally: a doubled separator would make it name nothing.
  std::wstring pattern = LongPath(dir);
  if (pattern.empty() || pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) return {StatusKind::kNotFound, "cannot read folder " + dir};
  do {
    if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
    FileInfo e;
    e.name = WideToUtf8(fd.cFileName);
    FromAttributes(fd.dwFileAttributes, fd.dwReserved0, fd.ftLastWriteTime, fd.nFileSizeHigh,
                   fd.nFileSizeLow, &e);
    out->push_back(std::move(e));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return {};
}

Status MakeFolder(const std::string& path) {
  std::wstring w = LongPath(path);
  if (CreateDirectoryW(w.c_str(), nullptr)) return {};
  DWORD e = GetLastError();
  DWORD attributes = GetFileAttributesW(w.c_str());
  if (e == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return {};
  }
  SetLastError(e);
  return SystemError("cannot create folder", path);
}

uint16_t VersionMadeBy() {
  return 0 << 8 | 63;  // host 0: MS-DOS and Windows attributes
}

}  // namespace cv
