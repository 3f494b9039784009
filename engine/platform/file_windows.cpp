// Open files on Windows, through wide long-path names (win32.h), so paths over 260 characters
// work and the ANSI code page does not matter.
#include "platform/file.h"

#include <windows.h>

#include <string>
#include <vector>

#include "core/times.h"
#include "platform/faults.h"
#include "platform/system_error.h"
#include "platform/win32.h"

namespace cv {
namespace {

HANDLE H(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

Status SystemError(const std::string& what, const std::string& path) {
  DWORD e = GetLastError();
  StatusKind kind = e == ERROR_DISK_FULL || e == ERROR_HANDLE_DISK_FULL      ? StatusKind::kDiskFull
                    : e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? StatusKind::kNotFound
                                                                             : StatusKind::kIo;
  char text[512] = "";
  DWORD len = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, e,
                             0, text, sizeof text, nullptr);
  while (len > 0 && (text[len - 1] == '\n' || text[len - 1] == '\r' || text[len - 1] == ' ')) {
    text[--len] = '\0';
  }
  std::string message = what + " " + path + ": ";
  message += len > 0 ? std::string(text, len) : "error " + std::to_string(e);
  return {kind, message};
}

Status File::Open(const std::string& path, Mode mode, File* out) {
  DWORD access = mode == Mode::kRead ? GENERIC_READ : GENERIC_WRITE;
  DWORD share = FILE_SHARE_READ | (mode == Mode::kRead ? FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0);
  DWORD disposition = mode == Mode::kRead        ? OPEN_EXISTING
                      : mode == Mode::kCreateNew ? CREATE_NEW
                                                 : CREATE_ALWAYS;
  HANDLE h = CreateFileW(LongPath(path).c_str(), access, share, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return SystemError("cannot open", path);
  File f;
  f.m_handle = reinterpret_cast<intptr_t>(h);
  f.m_path = path;
  *out = std::move(f);
  return {};
}

Status File::ReadAt(uint64_t offset, void* buffer, size_t size, size_t* got) const {
  size_t done = 0;
  while (done < size) {
    OVERLAPPED at{};
    uint64_t pos = offset + done;
    at.Offset = DWORD(pos);
    at.OffsetHigh = DWORD(pos >> 32);
    DWORD chunk = DWORD(size - done < 0x40000000 ? size - done : 0x40000000);
    DWORD n = 0;
    if (!ReadFile(H(m_handle), static_cast<char*>(buffer) + done, chunk, &n, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return SystemError("cannot read", m_path);
    }
    if (n == 0) break;
    done += n;
  }
  *got = done;
  return {};
}

Status File::Write(const void* data, size_t size) {
  if (detail::InjectedDiskFull(size)) return {StatusKind::kDiskFull, "disk full writing " + m_path};
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = DWORD(size < 0x40000000 ? size : 0x40000000);
    DWORD n = 0;
    if (!WriteFile(H(m_handle), p, chunk, &n, nullptr)) return SystemError("cannot write", m_path);
    p += n;
    size -= n;
  }
  return {};
}

Status File::WriteAt(uint64_t offset, const void* data, size_t size) {
  // A synchronous handle moves its position on every write, so the position is put back after.
  LARGE_INTEGER here{}, zero{}, target{};
  target.QuadPart = LONGLONG(offset);
  if (!SetFilePointerEx(H(m_handle), zero, &here, FILE_CURRENT) ||
      !SetFilePointerEx(H(m_handle), target, nullptr, FILE_BEGIN)) {
    return SystemError("cannot write", m_path);
  }
  Status s = Write(data, size);
  if (!SetFilePointerEx(H(m_handle), here, nullptr, FILE_BEGIN) && s.ok()) {
    return SystemError("cannot write", m_path);
  }
  return s;
}

Status File::AppendCopy(const File& source, uint64_t offset, uint64_t size) {
  std::vector<char> buffer(size_t(size < (1 << 20) ? size : (1 << 20)));
  while (size > 0) {
    const size_t chunk = size_t(size < buffer.size() ? size : buffer.size());
    CV_RETURN_IF_ERROR(source.ReadExactAt(offset, buffer.data(), chunk));
    CV_RETURN_IF_ERROR(Write(buffer.data(), chunk));
    offset += chunk;
    size -= chunk;
  }
  return {};
}

Status File::Truncate(uint64_t size) {
  LARGE_INTEGER target{};
  target.QuadPart = LONGLONG(size);
  if (!SetFilePointerEx(H(m_handle), target, nullptr, FILE_BEGIN) || !SetEndOfFile(H(m_handle))) {
    return SystemError("cannot write", m_path);
  }
  return {};
}

Status File::Size(uint64_t* size) const {
  LARGE_INTEGER li;
  if (!GetFileSizeEx(H(m_handle), &li)) return SystemError("cannot read", m_path);
  *size = uint64_t(li.QuadPart);
  return {};
}

Status File::SetModificationTime(int64_t mtime) {
  if (detail::InjectedSetTimeFailure() || !InTimeRange(mtime)) {
    return {StatusKind::kIo, "cannot set time of " + m_path};
  }
  const uint64_t ft = FileTimeFromUnixTime(mtime);
  FILETIME t{DWORD(ft), DWORD(ft >> 32)};
  if (!SetFileTime(H(m_handle), nullptr, nullptr, &t))
    return SystemError("cannot set time of", m_path);
  return {};
}

Status File::Close() {
  if (m_handle == kNoHandle) return {};
  BOOL closed = CloseHandle(H(m_handle));
  m_handle = kNoHandle;
  if (!closed) return SystemError("cannot write", m_path);
  return {};
}

Status MoveReplacing(const std::string& from, const std::string& to) {
  if (detail::InjectedRenameFailure())
    return {StatusKind::kIo, "cannot rename " + from + " to " + to};
  if (!MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return SystemError("cannot rename " + from + " to", to);
  }
  return {};
}

Status RemoveFile(const std::string& path) {
  if (!DeleteFileW(LongPath(path).c_str())) return SystemError("cannot delete", path);
  return {};
}

}  // namespace cv
