// In-order reporting of an unzip run: the print lines in archive order (the lines about an entry
// wait for the entries before it that are still being decoded), filtered by the quiet level, and
// what went wrong, which the entry point turns into the return code.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "core/status.h"
#include "cvunzip.h"

namespace cv {

enum class Level { kInfo, kWarning, kError };

// What a run met; entry_points.cpp picks the return code from it.
struct UnzipOutcome {
  // The run could not start: no archive name, an unreadable archive, no thread to decode on.
  Status fatal;
  bool stopped = false;
  bool outOfMemory = false;
  bool diskFull = false;
  bool writeErrors = false;
  bool archiveErrors = false;
  bool entryErrors = false;
  bool unsupported = false;
  bool unmatched = false;
  bool warnings = false;
  size_t encryptedSeen = 0;
  size_t badPasswords = 0;
};

class Reporter {
 public:
  Reporter(int quiet, USERFUNCTION* callbacks) : m_quiet(quiet), m_callbacks(callbacks) {}

  // Prints now, or after the lines of the entries still being decoded.
  void Print(Level level, const std::string& line);
  // Prints the failure of one entry (or of the archive) and notes it in the outcome.
  void Fail(const Status& status, const std::string& name);

  // An entry went to the workers: lines printed from now on wait for it.
  void Hold();
  // The oldest entry held for is finished: `report` prints its own lines, then the lines held
  // back behind it follow.
  template <typename Report>
  void Release(Report report) {
    m_releasing = true;
    report();
    for (const auto& [level, line] : m_held.front()) Emit(level, line);
    m_held.pop_front();
    m_releasing = false;
  }

  UnzipOutcome& outcome() { return m_outcome; }

 private:
  void Emit(Level level, const std::string& line);

  int m_quiet;
  USERFUNCTION* m_callbacks;
  std::deque<std::vector<std::pair<Level, std::string>>> m_held;
  bool m_releasing = false;
  UnzipOutcome m_outcome;
};

}  // namespace cv
