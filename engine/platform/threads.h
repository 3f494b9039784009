// Threads and locks of the engines. Locks are the standard library's in the native build and the
// system's in the Windows build: the program loads and frees the engine DLL around every run, and
// the standard ones, built there over a static pthread layer, leave event and thread handles
// behind at each unload. Threads are the system's on both, with one meaning.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "core/status.h"

namespace cv {

#ifdef _WIN32

// A slim reader/writer lock used exclusively; usable with std::unique_lock and std::lock_guard.
class Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void lock();
  void unlock();
  bool try_lock();
  void* native() { return &m_lock; }

 private:
  void* m_lock = nullptr;  // SRWLOCK: one pointer, zero when unlocked
};

class CondVar {
 public:
  CondVar() = default;
  CondVar(const CondVar&) = delete;
  CondVar& operator=(const CondVar&) = delete;
  void wait(std::unique_lock<Mutex>& lock);
  template <class Predicate>
  void wait(std::unique_lock<Mutex>& lock, Predicate ready) {
    while (!ready()) wait(lock);
  }
  // Waits until notified or `timeout` has passed (or spuriously); tells which.
  std::cv_status wait_for(std::unique_lock<Mutex>& lock, std::chrono::milliseconds timeout);
  void notify_one();
  void notify_all();

 private:
  void* m_cond = nullptr;  // CONDITION_VARIABLE: one pointer, zero when new
};

#else

using Mutex = std::mutex;
using CondVar = std::condition_variable;

#endif

// A joinable thread. Starting one reports a system that refuses it instead of throwing; anything
// the body throws ends the body and is reported by Join; destroying a joinable thread joins it.
class Thread {
 public:
  Thread();
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  // Moving hands the thread over; assigning to a joinable thread joins it first.
  Thread(Thread&& other) noexcept;
  Thread& operator=(Thread&& other) noexcept;

  // Runs `body` on a new thread. kOutOfMemory when the system (or the fault injection) refuses
  // one; `*out` is then not joinable.
  static Status Start(std::function<void()> body, Thread* out);

  bool joinable() const { return m_state != nullptr; }
  // Waits for the body to end. A failure when it threw: out of memory, or another exception.
  Status Join();

  struct State;  // the body, its outcome and the system's handle (thread_state.h)

 private:
  std::unique_ptr<State> m_state;
};

// The number of threads worth running at once: the processors this process may use, at least 1
// (outside Windows, CORVANE_THREADS in the environment sets it, for the benchmarks).
unsigned HardwareThreads();

// The workers an engine runs: one per processor, at most kMostWorkers. Each worker holds memory of
// its own beside the budgets the workers share (compressors, decode buffers, its heap), about
// 0.5 MiB extracting and 1 MiB creating, so more of them would let a run's memory grow with the
// machine: at 16, extraction peaks under 50 MiB and creation under 128 MiB.
inline constexpr unsigned kMostWorkers = 16;
unsigned WorkerThreads();

}  // namespace cv
