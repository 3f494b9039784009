// What both systems' threads share: running the body, catching what it throws.
#include "platform/threads.h"

#include <algorithm>
#include <new>

#include "platform/faults.h"
#include "platform/thread_state.h"

namespace cv {

void Thread::State::Run() {
  try {
    body();
  } catch (const std::bad_alloc&) {
    outcome = {StatusKind::kOutOfMemory, "out of memory in a worker thread"};
  } catch (...) {
    outcome = {StatusKind::kIo, "a worker thread failed"};
  }
}

Thread::Thread() = default;

Thread::Thread(Thread&& other) noexcept : m_state(std::move(other.m_state)) {}

Thread& Thread::operator=(Thread&& other) noexcept {
  if (this != &other) {
    if (joinable()) (void)Join();
    m_state = std::move(other.m_state);
  }
  return *this;
}

Thread::~Thread() {
  if (joinable()) (void)Join();
}

Status Thread::Start(std::function<void()> body, Thread* out) {
  if (out->joinable()) (void)out->Join();
  if (detail::InjectedThreadFailure()) {
    return {StatusKind::kOutOfMemory, "cannot start a thread (injected failure)"};
  }
  auto state = std::make_unique<State>();
  state->body = std::move(body);
  CV_RETURN_IF_ERROR(StartSystemThread(state.get()));
  out->m_state = std::move(state);
  return {};
}

Status Thread::Join() {
  if (!m_state) return {};
  JoinSystemThread(m_state.get());
  Status outcome = std::move(m_state->outcome);
  m_state.reset();
  return outcome;
}

unsigned WorkerThreads() {
  return std::min(HardwareThreads(), kMostWorkers);
}

}  // namespace cv
