// Worker threads that decode entries in any order while the calling thread decides the next ones
// and collects the finished ones in archive order.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/status.h"
#include "platform/threads.h"
#include "unzip/decode.h"
#include "unzip/output_file.h"

namespace cv {

// A small entry's data, read with its header on the calling thread, counted in the run's budget
// while held.
class HeldBytes {
 public:
  HeldBytes() = default;
  ~HeldBytes() { Release(); }
  HeldBytes(const HeldBytes&) = delete;
  HeldBytes& operator=(const HeldBytes&) = delete;
  // A copy of `size` bytes; false, holding nothing, when the budget has not that much left.
  bool Hold(MemoryBudget& budget, const unsigned char* data, size_t size);
  void Release();
  const unsigned char* data() const { return m_bytes.data(); }

 private:
  std::vector<unsigned char> m_bytes;  // all of it taken from the budget
  MemoryBudget* m_budget = nullptr;
};

// One entry handed to the workers: the decision is made, the data is located.
struct Job {
  DecodeRequest request;
  HeldBytes held;      // request.data, when set; let go as soon as the entry is decoded
  std::string target;  // the path written; empty when testing
  const std::string* mark = nullptr;  // the Zone.Identifier its file gets (the run's); null: none
  OutputFile out;
  // No callback can be needed for an existing target, so the worker creates the output itself and
  // applies the rule: replace an existing file (replaceIfExists) or keep it.
  bool createOnWorker = false;
  bool replaceIfExists = false;
  std::string name;   // the entry's name, for a password asked again
  std::string shown;  // the name in messages
  std::string key;    // the target as names collide on this system, to keep two jobs off one file
  int64_t mtime = 0;
  Status status;   // set by the worker
  Status timeSet;  // whether the modification time could be set
  bool done = false;
  std::atomic<uint64_t> decoded{0};  // bytes decoded so far, counted by the worker
};

// Runs one job: derives its AES keys when still to be done (kBadPassword, touching no file, when
// the password does not fit), creates its output file when it is the worker's to create, decodes
// and closes it. kStopped, touching no file, when the run was asked to stop before it began.
Status DecodeJob(Job& job, DecodeScratch& scratch);

// Hands jobs over and back with few wake-ups: a worker is woken only when it waits for work, jobs
// go over a few at a time while the workers are busy, and a finished job wakes the caller only when
// it is the one the caller waits for.
class WorkerPool {
 public:
  WorkerPool() = default;
  // Waits for the workers to end; jobs still queued are not decoded.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Starts up to `count` workers and goes on with those the system gives; a failure when it
  // gives none.
  Status Start(unsigned count);
  unsigned size() const { return unsigned(m_threads.size()); }
  // `job` must live until Wait(job) returned. It reaches the workers at once when one of them is
  // idle, else with the next few jobs or when the caller waits.
  void Submit(Job* job);
  // With `idle`, calls it about every kProgressInterval while the job is not done, unlocked.
  void Wait(Job* job, const std::function<void()>& idle = {});

 private:
  static constexpr size_t kBatch = 4;
  void Flush();
  void Work();

  std::vector<Thread> m_threads;
  std::vector<Job*> m_held;  // submitted, not yet handed over; the calling thread's own
  std::deque<Job*> m_queue;
  std::atomic<unsigned> m_idle{0};  // workers waiting for a job; changed under m_mutex
  Job* m_awaited = nullptr;         // the job the caller waits for
  bool m_stopping = false;
  Mutex m_mutex;
  CondVar m_wake;
  CondVar m_finished;
};

}  // namespace cv
