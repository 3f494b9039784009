// The progress a run reports to its caller: bytes and entries done of the run's totals, at most
// every kProgressInterval (and at every step when a test asks, see faults.h), and once more when
// the run ends. Used on the calling thread only; workers count into atomics the run reads here.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace cv {

// How often a run reports, and how long its calling thread waits for a worker before it wakes
// to report the workers' bytes.
inline constexpr std::chrono::milliseconds kProgressInterval{100};

struct ProgressCounts {
  uint64_t bytesDone = 0, bytesTotal = 0, entriesDone = 0, entriesTotal = 0;
};

class ProgressMeter {
 public:
  // Returns true to stop the run.
  using Callback = std::function<bool(const ProgressCounts&)>;

  ProgressMeter() = default;
  explicit ProgressMeter(Callback callback) : m_callback(std::move(callback)) {}

  // Whether anyone listens: without a callback the run need not count or wake.
  bool active() const { return bool(m_callback); }
  // Nothing is reported before the totals are known.
  void SetTotals(uint64_t bytes, uint64_t entries);
  // Reports when a report is due; `done` gives {bytesDone, entriesDone}, asked only then. True
  // once the caller asked to stop, and from then on.
  template <typename Done>
  bool Tick(Done done) {
    if (!Due()) return m_stopped;
    const auto [bytes, entries] = done();
    return Report(bytes, entries);
  }
  // The report at the end of the run, whenever the last one was (none after a stop). True when
  // the caller asks to stop.
  bool Finish(uint64_t bytesDone, uint64_t entriesDone);
  bool stopped() const { return m_stopped; }

 private:
  bool Due() const;
  bool Report(uint64_t bytesDone, uint64_t entriesDone);

  Callback m_callback;
  bool m_started = false;  // the totals are known
  bool m_reported = false;
  bool m_stopped = false;
  std::chrono::steady_clock::time_point m_last;
  ProgressCounts m_counts;
};

}  // namespace cv
