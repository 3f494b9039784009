// Inside the platform layer: what a Thread holds, and the two calls each system's threads file
// provides.
#pragma once

#include <functional>

#include "platform/threads.h"

namespace cv {

struct Thread::State {
  std::function<void()> body;
  Status outcome;
  void* handle = nullptr;  // the system's thread (HANDLE, or a pthread_t)
  // Runs the body on the new thread and keeps what it threw as the outcome.
  void Run();
};

// Starts the system thread that calls state->Run(); kOutOfMemory when the system refuses.
Status StartSystemThread(Thread::State* state);
void JoinSystemThread(Thread::State* state);

}  // namespace cv
