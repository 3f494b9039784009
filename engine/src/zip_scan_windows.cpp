// Scanning on Windows: wide long-path calls, so names in any script and paths of any length work;
// names compare without regard to case; the hidden and system attributes mark what recursion and
// wildcards skip.
#include <windows.h>

#include "file.h"
#include "zip_scan.h"

namespace cv {
namespace {

// FILETIME counts 100 ns steps from 1601-01-01.
constexpr int64_t kUnixEpochInFileTime = 116444736000000000LL;

std::string Convert(const std::string& text, UINT from, UINT to) {
  if (text.empty() || from == to) return text;
  const int wn = MultiByteToWideChar(from, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring w(size_t(wn), L'\0');
  MultiByteToWideChar(from, 0, text.data(), int(text.size()), w.data(), wn);
  const int n = WideCharToMultiByte(to, 0, w.data(), wn, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(to, 0, w.data(), wn, out.data(), n, nullptr, nullptr);
  return out;
}

std::string Narrow(const wchar_t* w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, out.data(), n, nullptr, nullptr);
  return out;
}

void FromAttributes(DWORD attributes, FILETIME written, DWORD sizeHigh, DWORD sizeLow,
                    DiskEntry* e) {
  e->isDirectory = attributes & FILE_ATTRIBUTE_DIRECTORY;
  e->hiddenOrSystem = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  e->isLink = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
  e->size = e->isDirectory ? 0 : uint64_t(sizeHigh) << 32 | sizeLow;
  const int64_t ft = int64_t(uint64_t(written.dwHighDateTime) << 32 | written.dwLowDateTime);
  e->mtime = (ft - kUnixEpochInFileTime) / 10000000;
  // The DOS attribute byte: read-only, hidden, system, folder, archive.
  e->externalAttributes = attributes & 0x37;
}

}  // namespace

Status ListDirectory(const std::string& dir, std::vector<DiskEntry>* out) {
  out->clear();
  WIN32_FIND_DATAW fd;
  // A long path is taken literally: a doubled separator would make it name nothing.
  std::wstring pattern = WideLongPath(dir);
  if (pattern.empty() || pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) return {StatusKind::kNotFound, "cannot read folder " + dir};
  do {
    if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
    DiskEntry e;
    e.name = Narrow(fd.cFileName);
    FromAttributes(fd.dwFileAttributes, fd.ftLastWriteTime, fd.nFileSizeHigh, fd.nFileSizeLow, &e);
    out->push_back(std::move(e));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return {};
}

bool StatEntry(const std::string& path, DiskEntry* out) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WideLongPath(path).c_str(), GetFileExInfoStandard, &data)) return false;
  FromAttributes(data.dwFileAttributes, data.ftLastWriteTime, data.nFileSizeHigh, data.nFileSizeLow,
                 out);
  return true;
}

std::string AbsolutePath(const std::string& path) {
  const std::string full = Narrow(WideLongPath(path).c_str());
  if (full.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + full.substr(8);
  if (full.rfind("\\\\?\\", 0) == 0) return full.substr(4);
  return full;
}

std::string AnsiToUtf8(const std::string& text) {
  return Convert(text, GetACP(), CP_UTF8);
}
std::string Utf8ToAnsi(const std::string& text) {
  return Convert(text, CP_UTF8, GetACP());
}
uint16_t VersionMadeBy() {
  return 0 << 8 | 63;
}  // host 0: MS-DOS and Windows attributes
bool NamesIgnoreCase() {
  return true;
}

}  // namespace cv
