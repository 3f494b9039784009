// Open files on POSIX systems.
#include "platform/file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "core/times.h"
#include "platform/faults.h"
#include "platform/path.h"
#include "platform/system_error.h"

namespace cv {

Status SystemError(const std::string& what, const std::string& path) {
  int e = errno;
  StatusKind kind = e == ENOSPC || e == EDQUOT ? StatusKind::kDiskFull
                    : e == ENOENT              ? StatusKind::kNotFound
                                               : StatusKind::kIo;
  return {kind, what + " " + path + ": " + std::strerror(e)};
}

Status File::Open(const std::string& path, Mode mode, File* out) {
  if (mode == Mode::kRead) CV_RETURN_IF_ERROR(detail::ReadFault(path, 0));
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kRead:
      flags |= O_RDONLY;
      break;
    case Mode::kCreateNew:
      flags |= O_WRONLY | O_CREAT | O_EXCL;
      break;
    case Mode::kTruncate:
      flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
  }
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return SystemError("cannot open", path);
  if (mode == Mode::kRead) {
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      return {StatusKind::kIo, "cannot open " + path + ": is a folder"};
    }
  }
  File f;
  f.m_handle = fd;
  f.m_path = path;
  *out = std::move(f);
  return {};
}

Status File::ReadAt(uint64_t offset, void* buffer, size_t size, size_t* got) const {
  CV_RETURN_IF_ERROR(detail::ReadFault(m_path, offset + size));
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(int(m_handle), static_cast<char*>(buffer) + done, size - done,
                        off_t(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return SystemError("cannot read", m_path);
    }
    if (n == 0) break;
    done += size_t(n);
  }
  *got = done;
  return {};
}

Status File::Write(const void* data, size_t size) {
  CV_RETURN_IF_ERROR(detail::WriteFault(m_path, size));
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(int(m_handle), p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return SystemError("cannot write", m_path);
    }
    p += n;
    size -= size_t(n);
  }
  return {};
}

Status File::WriteAt(uint64_t offset, const void* data, size_t size) {
  CV_RETURN_IF_ERROR(detail::WriteFault(m_path, size));
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::pwrite(int(m_handle), p, size, off_t(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return SystemError("cannot write", m_path);
    }
    p += n;
    offset += uint64_t(n);
    size -= size_t(n);
  }
  return {};
}

Status File::AppendCopy(const File& source, uint64_t offset, uint64_t size) {
  off_t from = off_t(offset);
  while (size > 0) {
    const ssize_t n = ::copy_file_range(int(source.m_handle), &from, int(m_handle), nullptr,
                                        size_t(std::min<uint64_t>(size, 1 << 30)), 0);
    if (n > 0) {
      CV_RETURN_IF_ERROR(detail::WriteFault(m_path, size_t(n)));
      size -= uint64_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) return {StatusKind::kBadArchive, "unexpected end of " + source.m_path};
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
      return SystemError("cannot write", m_path);
    }
    // No copy inside the kernel between these two files: through a buffer.
    std::vector<char> buffer(size_t(std::min<uint64_t>(size, 1 << 20)));
    while (size > 0) {
      const size_t chunk = size_t(std::min<uint64_t>(size, buffer.size()));
      CV_RETURN_IF_ERROR(source.ReadExactAt(uint64_t(from), buffer.data(), chunk));
      CV_RETURN_IF_ERROR(Write(buffer.data(), chunk));
      from += off_t(chunk);
      size -= chunk;
    }
  }
  return {};
}

Status File::Truncate(uint64_t size) {
  if (::ftruncate(int(m_handle), off_t(size)) != 0 ||
      ::lseek(int(m_handle), off_t(size), SEEK_SET) < 0) {
    return SystemError("cannot write", m_path);
  }
  return {};
}

Status File::Size(uint64_t* size) const {
  struct stat st;
  if (::fstat(int(m_handle), &st) != 0) return SystemError("cannot read", m_path);
  *size = uint64_t(st.st_size);
  return {};
}

Status File::SetModificationTime(int64_t mtime) {
  CV_RETURN_IF_ERROR(detail::SetTimeFault(m_path));
  if (!InTimeRange(mtime)) return {StatusKind::kIo, "cannot set time of " + m_path};
  struct timespec times[2];
  times[0].tv_sec = time_t(mtime);
  times[0].tv_nsec = 0;
  times[1] = times[0];
  if (::futimens(int(m_handle), times) != 0) return SystemError("cannot set time of", m_path);
  return {};
}

Status File::Close() {
  if (m_handle == kNoHandle) return {};
  int rc = ::close(int(m_handle));
  m_handle = kNoHandle;
  if (rc != 0) return SystemError("cannot write", m_path);
  return {};
}

Status File::Flush() {
  detail::Record("flush " + m_path);
  if (::fsync(int(m_handle)) != 0) return SystemError("cannot write", m_path);
  return {};
}

namespace {

// The new name is an entry of its folder, which reaches the disk when the folder is flushed.
Status FlushFolderOf(const std::string& to) {
  const std::string folder = ParentOf(to).empty() ? "." : ParentOf(to);
  detail::Record("flush folder " + folder);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return SystemError("cannot write", folder);
  const int rc = ::fsync(fd);
  ::close(fd);
  if (rc != 0) return SystemError("cannot write", folder);
  return {};
}

}  // namespace

Status MoveReplacing(const std::string& from, const std::string& to) {
  CV_RETURN_IF_ERROR(detail::RenameFault(from, to));
  detail::Record("move " + from + " " + to);
  if (::rename(from.c_str(), to.c_str()) != 0) {
    return SystemError("cannot rename " + from + " to", to);
  }
  return FlushFolderOf(to);
}

Status MoveToFreeName(const std::string& from, const std::string& to) {
  CV_RETURN_IF_ERROR(detail::RenameFault(from, to));
  detail::Record("move " + from + " " + to);
  // A hard link takes only a free name; the old name then goes.
  if (::link(from.c_str(), to.c_str()) != 0) {
    return SystemError("cannot rename " + from + " to", to);
  }
  if (::unlink(from.c_str()) != 0) return SystemError("cannot delete", from);
  return FlushFolderOf(to);
}

Status RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return SystemError("cannot delete", path);
  return {};
}

}  // namespace cv
