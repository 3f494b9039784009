// Open files: every read and write of the engines goes through File, so the platform's rules live
// in file_posix.cpp or file_windows.cpp (picked by the build) and tests can make operations fail on
// purpose (faults.h). Paths are UTF-8; on Windows any length works (the long-path form is used
// inside) and "/" and "\" both separate folders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/status.h"

namespace cv {

class File {
 public:
  enum class Mode {
    kRead,       // existing file, reading
    kCreateNew,  // new file for writing; fails when the name exists
    kTruncate,   // file for writing, created or emptied
  };

  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  // Moving hands the open handle over; assigning to an open File closes it first.
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;

  static Status Open(const std::string& path, Mode mode, File* out);

  bool is_open() const { return m_handle != kNoHandle; }
  const std::string& path() const { return m_path; }

  // Positioned read: safe to call from several threads at once on one File. `*got` < size only
  // at the end of the file.
  Status ReadAt(uint64_t offset, void* buffer, size_t size, size_t* got) const;
  // Positioned read of exactly `size` bytes; a short read is a kBadArchive status.
  Status ReadExactAt(uint64_t offset, void* buffer, size_t size) const;
  // Appends at the file position. Honours the full-disk fault injection.
  Status Write(const void* data, size_t size);
  // Writes at `offset` and leaves the position Write appends at where it was (for patching a
  // header written earlier). Honours the full-disk fault injection.
  Status WriteAt(uint64_t offset, const void* data, size_t size);
  // Cuts the file to `size` bytes; Write continues there.
  Status Truncate(uint64_t size);
  // Appends `size` bytes of `source` from `offset` on, with the fastest copy the system offers
  // (inside the kernel where it can). Honours the full-disk fault injection.
  Status AppendCopy(const File& source, uint64_t offset, uint64_t size);
  Status Size(uint64_t* size) const;
  // Sets the last-modification time (seconds since 1970 UTC) of a file open for writing.
  Status SetModificationTime(int64_t mtime);
  // Makes what was written reach the disk (fsync, FlushFileBuffers), so that a power cut after
  // the file has taken its final name cannot leave it empty.
  Status Flush();
  // Closes and reports a failed flush; the destructor closes silently.
  Status Close();

 private:
  static constexpr intptr_t kNoHandle = -1;
  intptr_t m_handle = kNoHandle;
  std::string m_path;
};

Status RemoveFile(const std::string& path);
// Moves the closed, flushed file `from` over `to`, replacing a file `to` when there is one, and
// makes the move itself durable. On Windows an existing `to` is replaced with ReplaceFileW, which
// keeps its attributes, ACL and alternate streams (the Mark of the Web), and a sharing violation
// is waited out for about a second. A failure leaves `to` as it was, or, where the system had
// already removed it, `from` in its place. Honours the failed-rename fault injection.
Status MoveReplacing(const std::string& from, const std::string& to);
// Moves the closed file `from` to `to` only where no file or folder has that name (a failure, with
// `from` left where it was, otherwise), waiting out a sharing violation as MoveReplacing does.
// Honours the failed-rename fault injection.
Status MoveToFreeName(const std::string& from, const std::string& to);

}  // namespace cv
