// Threads and locks of the engine. The native build uses the standard library's own. The Windows
// build uses the system's primitives instead: the program loads and frees the engine DLL around
// every run, and the standard ones, built there over a static pthread layer, leave event and
// thread handles behind at each unload.
#pragma once

#include <functional>
#include <mutex>

#ifndef _WIN32
#include <condition_variable>
#include <thread>
#endif

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
  void notify_one();
  void notify_all();

 private:
  void* m_cond = nullptr;  // CONDITION_VARIABLE: one pointer, zero when new
};

// A joinable thread. Unlike std::thread, destroying a joinable one joins it.
class Thread {
 public:
  Thread() = default;
  template <class Body>
  explicit Thread(Body&& body) : Thread(std::function<void()>(std::forward<Body>(body)), 0) {}
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  Thread(Thread&& other) noexcept : m_handle(other.m_handle) { other.m_handle = nullptr; }
  Thread& operator=(Thread&& other) noexcept;
  bool joinable() const { return m_handle != nullptr; }
  void join();

 private:
  Thread(std::function<void()> body, int);
  void* m_handle = nullptr;
};

#else

using Mutex = std::mutex;
using CondVar = std::condition_variable;
using Thread = std::thread;

#endif

// The number of threads worth running at once: the processors this process may use, at least 1.
unsigned HardwareThreads();

}  // namespace cv
