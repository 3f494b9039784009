// Threads on POSIX systems: pthreads, whose failure to start is a value (std::thread would throw).
#include <pthread.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/thread_state.h"

namespace cv {
namespace {
void* RunState(void* state) {
  static_cast<Thread::State*>(state)->Run();
  return nullptr;
}
}  // namespace

static_assert(sizeof(pthread_t) <= sizeof(void*));

Status StartSystemThread(Thread::State* state) {
  pthread_t thread;
  const int rc = pthread_create(&thread, nullptr, RunState, state);
  if (rc != 0) {
    return {StatusKind::kOutOfMemory, std::string("cannot start a thread: ") + std::strerror(rc)};
  }
  std::memcpy(&state->handle, &thread, sizeof thread);
  return {};
}

void JoinSystemThread(Thread::State* state) {
  pthread_t thread;
  std::memcpy(&thread, &state->handle, sizeof thread);
  pthread_join(thread, nullptr);
}

unsigned HardwareThreads() {
  // The benchmarks force more workers than cores, to see that memory stays bounded.
  if (const char* forced = std::getenv("CORVANE_THREADS")) {
    const long n = std::strtol(forced, nullptr, 10);
    if (n > 0 && n <= 256) return unsigned(n);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace cv
