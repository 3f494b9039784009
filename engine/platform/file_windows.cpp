// Open files on Windows, through wide long-path names (win32.h), so paths over 260 characters
// work and the ANSI code page does not matter.
#include "platform/file.h"

#include <windows.h>

#include <iterator>
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
  // FormatMessageA would give the text in the system code page; the engines speak UTF-8.
  wchar_t text[512] = L"";
  DWORD len = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, e,
                             0, text, DWORD(std::size(text)), nullptr);
  while (len > 0 && (text[len - 1] == L'\n' || text[len - 1] == L'\r' || text[len - 1] == L' ')) {
    --len;
  }
  std::string message = what + " " + path + ": ";
  message += len > 0 ? WideToUtf8(std::wstring_view(text, len)) : "error " + std::to_string(e);
  return {kind, message};
}

Status File::Open(const std::string& path, Mode mode, File* out) {
  if (mode == Mode::kRead) CV_RETURN_IF_ERROR(detail::ReadFault(path, 0));
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
  CV_RETURN_IF_ERROR(detail::ReadFault(m_path, offset + size));
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
  CV_RETURN_IF_ERROR(detail::WriteFault(m_path, size));
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
  CV_RETURN_IF_ERROR(detail::SetTimeFault(m_path));
  if (!InTimeRange(mtime)) return {StatusKind::kIo, "cannot set time of " + m_path};
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

Status File::Flush() {
  detail::Record("flush " + m_path);
  if (!FlushFileBuffers(H(m_handle))) return SystemError("cannot write", m_path);
  return {};
}

namespace {

// Runs `move` until it succeeds or fails for another reason than a file held open. Virus
// scanners, the indexer and the preview pane open a just-written file for a moment: a sharing
// violation is waited out for about a second.
template <typename Move>
Status Retrying(const std::string& from, const std::string& to, Move move) {
  constexpr int kTries = 10;
  constexpr DWORD kPause = 100;
  for (int attempt = 1;; ++attempt) {
    if (move()) return {};
    const DWORD e = GetLastError();
    const bool held = e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION ||
                      e == ERROR_UNABLE_TO_REMOVE_REPLACED;
    if (!held || attempt == kTries) return SystemError("cannot rename " + from + " to", to);
    detail::Record("retry");
    Sleep(kPause);
  }
}

}  // namespace

Status MoveReplacing(const std::string& from, const std::string& to) {
  CV_RETURN_IF_ERROR(detail::RenameFault(from, to));
  const std::wstring source = LongPath(from), target = LongPath(to);
  return Retrying(from, to, [&] {
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      // MoveFileEx would drop the target's attributes, ACL and alternate streams (the Mark of
      // the Web); ReplaceFileW keeps them.
      detail::Record("replace " + to);
      BOOL done = ReplaceFileW(target.c_str(), source.c_str(), /*lpBackupFileName=*/nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
      // The target is gone already, the replacement still under its own name: move it in.
      if (!done && (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
                    GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)) {
        done = MoveFileExW(source.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
      }
      return done != FALSE;
    }
    detail::Record("move " + from + " " + to);
    return MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  });
}

Status MoveToFreeName(const std::string& from, const std::string& to) {
  CV_RETURN_IF_ERROR(detail::RenameFault(from, to));
  const std::wstring source = LongPath(from), target = LongPath(to);
  detail::Record("move " + from + " " + to);
  // Without MOVEFILE_REPLACE_EXISTING the move fails on any file or folder of that name.
  return Retrying(from, to, [&] {
    return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
  });
}

Status RemoveFile(const std::string& path) {
  if (!DeleteFileW(LongPath(path).c_str())) return SystemError("cannot delete", path);
  return {};
}

}  // namespace cv
