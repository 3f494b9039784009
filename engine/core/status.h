// Outcome of an engine operation: expected failures are values, not exceptions. Each engine's entry
// point file maps the kind to its published return code.
#pragma once

#include <string>
#include <utility>

namespace cv {

enum class StatusKind {
  kOk,
  kNotFound,     // the archive (or a file) does not exist
  kNotZip,       // empty file, or no end record
  kBadArchive,   // archive-level damage: central directory, zip64 records, truncation
  kBadEntry,     // one entry is damaged: local header, sizes, CRC, overlap, deflate stream
  kUnsupported,  // method or encryption the engine cannot read
  kBadPassword,  // no correct password for an encrypted entry
  kIo,           // a file or folder could not be created, read or written
  kDiskFull,     // a write ran out of space
  kStopped,      // the caller asked to stop
  kOutOfMemory,
  kBadOption,    // an option or argument the engine cannot honour
  kNothingToDo,  // nothing matched, or everything is up to date
};

class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(StatusKind kind, std::string message) : m_kind(kind), m_message(std::move(message)) {}
  static Status Ok() { return {}; }

  bool ok() const { return m_kind == StatusKind::kOk; }
  StatusKind kind() const { return m_kind; }
  const std::string& message() const { return m_message; }

 private:
  StatusKind m_kind = StatusKind::kOk;
  std::string m_message;
};

// Returns from the calling function when `expr` yields a failed status.
#define CV_RETURN_IF_ERROR(expr)           \
  do {                                     \
    ::cv::Status cvStatus_ = (expr);       \
    if (!cvStatus_.ok()) return cvStatus_; \
  } while (0)

}  // namespace cv
