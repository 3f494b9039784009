#include "unzip/worker_pool.h"

#include <algorithm>
#include <new>

#include "core/progress.h"

namespace cv {

Status WorkerPool::Start(unsigned count) {
  Status started;
  for (unsigned i = 0; i < count && started.ok(); ++i) {
    Thread worker;
    started = Thread::Start([this] { Work(); }, &worker);
    if (started.ok()) m_threads.push_back(std::move(worker));
  }
  return m_threads.empty() ? started : Status();
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  // Decode catches what a job throws, so a worker that failed has nothing left to tell.
  for (auto& t : m_threads) (void)t.Join();
}

void WorkerPool::Submit(Job* job) {
  m_held.push_back(job);
  if (m_held.size() >= kBatch || m_idle.load(std::memory_order_relaxed) > 0) Flush();
}

void WorkerPool::Flush() {
  if (m_held.empty()) return;
  unsigned wake;
  {
    std::lock_guard lock(m_mutex);
    m_queue.insert(m_queue.end(), m_held.begin(), m_held.end());
    wake = unsigned(std::min<size_t>(m_idle.load(std::memory_order_relaxed), m_held.size()));
  }
  m_held.clear();
  // A worker that is not waiting looks at the queue before it waits.
  for (unsigned i = 0; i < wake; ++i) m_wake.notify_one();
}

void WorkerPool::Wait(Job* job, const std::function<void()>& idle) {
  Flush();
  std::unique_lock lock(m_mutex);
  m_awaited = job;
  if (!idle) {
    m_finished.wait(lock, [&] { return job->done; });
  } else {
    while (!job->done) {
      (void)m_finished.wait_for(lock, kProgressInterval);
      if (job->done) break;
      lock.unlock();
      idle();
      lock.lock();
    }
  }
  m_awaited = nullptr;
}

void WorkerPool::Work() {
  DecodeScratch scratch;
  std::unique_lock lock(m_mutex);
  for (;;) {
    while (!m_stopping && m_queue.empty()) {
      m_idle.fetch_add(1, std::memory_order_relaxed);
      m_wake.wait(lock);
      m_idle.fetch_sub(1, std::memory_order_relaxed);
    }
    if (m_queue.empty()) return;
    Job* job = m_queue.front();
    m_queue.pop_front();
    lock.unlock();
    Status status = DecodeJob(*job, scratch);
    job->held.Release();
    job->request.data = nullptr;
    lock.lock();
    job->status = status;
    job->done = true;
    if (job == m_awaited) {
      lock.unlock();
      m_finished.notify_one();
      lock.lock();
    }
  }
}

bool HeldBytes::Hold(MemoryBudget& budget, const unsigned char* data, size_t size) {
  Release();
  if (!budget.Take(size)) return false;
  m_budget = &budget;
  m_bytes.assign(data, data + size);
  return true;
}

void HeldBytes::Release() {
  if (!m_budget) return;
  m_budget->Give(m_bytes.size());
  m_bytes = {};
  m_budget = nullptr;
}

Status DecodeJob(Job& job, DecodeScratch& scratch) {
  try {
    if (job.request.stop && job.request.stop->load()) return {StatusKind::kStopped, "stopped"};
    CV_RETURN_IF_ERROR(UnlockAes(job.request));
    job.request.scratch = &scratch;
    if (job.target.empty()) return DecodeEntryData(job.request, nullptr);
    if (job.createOnWorker) {
      CV_RETURN_IF_ERROR(job.out.Create(
          job.target, [&](const FileInfo&) { return job.replaceIfExists; }, job.mark));
    }
    if (job.out.kept()) return {};
    Status status = DecodeEntryData(job.request, &job.out.file());
    if (status.ok()) status = job.out.Close(job.mtime, &job.timeSet);
    if (!status.ok()) job.out.Discard();
    return status;
  } catch (const std::bad_alloc&) {
    return {StatusKind::kOutOfMemory, "out of memory"};
  } catch (...) {
    return {StatusKind::kIo, "decoding failed"};
  }
}

}  // namespace cv
