#include "core/progress.h"

#include <algorithm>

#include "platform/faults.h"

namespace cv {

void ProgressMeter::SetTotals(uint64_t bytes, uint64_t entries) {
  m_counts.bytesTotal = bytes;
  m_counts.entriesTotal = entries;
  m_started = true;
}

bool ProgressMeter::Due() const {
  if (!m_callback || !m_started || m_stopped) return false;
  if (!m_reported || detail::ProgressEveryStep()) return true;
  return std::chrono::steady_clock::now() - m_last >= kProgressInterval;
}

bool ProgressMeter::Finish(uint64_t bytesDone, uint64_t entriesDone) {
  if (!m_callback || !m_started || m_stopped) return m_stopped;
  return Report(bytesDone, entriesDone);
}

bool ProgressMeter::Report(uint64_t bytesDone, uint64_t entriesDone) {
  // A damaged archive can hold more than its totals said; the counts still never go back.
  m_counts.bytesDone = std::clamp(bytesDone, m_counts.bytesDone, m_counts.bytesTotal);
  m_counts.entriesDone = std::clamp(entriesDone, m_counts.entriesDone, m_counts.entriesTotal);
  m_reported = true;
  m_last = std::chrono::steady_clock::now();
  m_stopped = m_callback(m_counts);
  return m_stopped;
}

}  // namespace cv
