// Where a temporary file is made: a file written beside its target, under a name no other file
// has, that takes the target's place only when Commit succeeds. Until then, and after a failed
// commit, the target is as it was; a file never committed is removed when its owner goes.
#pragma once

#include <string>

#include "core/status.h"
#include "platform/file.h"

namespace cv {

class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() { Discard(); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  // Moving hands the file and the duty to remove it over; assigning discards the file first.
  TemporaryFile(TemporaryFile&& other) noexcept;
  TemporaryFile& operator=(TemporaryFile&& other) noexcept;

  // Creates "<target>.<8 hex digits>.cvztmp" in the target's folder (so that the final move stays
  // on one volume), trying other names while a name is taken.
  static Status Create(const std::string& target, TemporaryFile* out);

  bool active() const { return !m_path.empty(); }
  File& file() { return m_file; }
  const std::string& path() const { return m_path; }

  // Flushes and closes the file and moves it over the target, replacing the target when there is
  // one (see MoveReplacing).
  Status Commit();
  // The same, but moves the file in only where no file has the target's name (MoveToFreeName).
  Status CommitToFreeName();
  // Closes and removes the file, if there is one.
  void Discard();

 private:
  File m_file;
  std::string m_path;
  std::string m_target;
};

}  // namespace cv
