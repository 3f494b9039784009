#include "unzip/reporter.h"

namespace cv {

void Reporter::Print(Level level, const std::string& line) {
  if (!m_held.empty() && !m_releasing) {
    m_held.back().emplace_back(level, line);
    return;
  }
  Emit(level, line);
}

void Reporter::Emit(Level level, const std::string& line) {
  bool shown = level == Level::kError || (level == Level::kWarning && m_quiet <= 1) || m_quiet <= 0;
  if (!shown || !m_callbacks || !m_callbacks->print) return;
  std::string text = line;
  m_callbacks->print(text.data(), static_cast<unsigned long>(text.size()));
}

void Reporter::Fail(const Status& status, const std::string& name) {
  switch (status.kind()) {
    case StatusKind::kBadEntry:
      m_outcome.entryErrors = true;
      Print(Level::kError, "error: " + name + ": " + status.message());
      break;
    case StatusKind::kDiskFull:
      m_outcome.diskFull = true;
      Print(Level::kError, "error: disk full: " + status.message());
      break;
    case StatusKind::kUnsupported:
      m_outcome.unsupported = true;
      Print(Level::kWarning, "   skipping: " + name + "  " + status.message());
      break;
    case StatusKind::kBadPassword:
      ++m_outcome.badPasswords;
      Print(Level::kWarning, "   skipping: " + name + "  " + status.message());
      break;
    case StatusKind::kOutOfMemory:
      m_outcome.outOfMemory = true;
      Print(Level::kError, "error: " + name + ": " + status.message());
      break;
    case StatusKind::kBadArchive:
      m_outcome.archiveErrors = true;
      Print(Level::kError, "error: " + status.message());
      break;
    default:
      m_outcome.writeErrors = true;
      Print(Level::kError, "error: " + status.message());
      break;
  }
}

void Reporter::Hold() {
  m_held.emplace_back();
}

}  // namespace cv
