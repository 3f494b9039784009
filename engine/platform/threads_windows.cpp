// Threads and locks on Windows: the system's own, so that nothing is left behind when the DLL is
// freed.
#include "platform/threads.h"

#include <windows.h>

#include <string>

#include "platform/thread_state.h"

namespace cv {

static_assert(sizeof(void*) == sizeof(SRWLOCK) && sizeof(void*) == sizeof(CONDITION_VARIABLE));

namespace {

PSRWLOCK Srw(void* state) {
  return static_cast<PSRWLOCK>(state);
}

DWORD WINAPI RunState(void* state) {
  static_cast<Thread::State*>(state)->Run();
  return 0;
}

}  // namespace

void Mutex::lock() {
  AcquireSRWLockExclusive(Srw(&m_lock));
}
void Mutex::unlock() {
  ReleaseSRWLockExclusive(Srw(&m_lock));
}
bool Mutex::try_lock() {
  return TryAcquireSRWLockExclusive(Srw(&m_lock)) != 0;
}

void CondVar::wait(std::unique_lock<Mutex>& lock) {
  SleepConditionVariableSRW(static_cast<PCONDITION_VARIABLE>(static_cast<void*>(&m_cond)),
                            Srw(lock.mutex()->native()), INFINITE, /*Flags=*/0);
}
std::cv_status CondVar::wait_for(std::unique_lock<Mutex>& lock, std::chrono::milliseconds timeout) {
  const BOOL woken =
      SleepConditionVariableSRW(static_cast<PCONDITION_VARIABLE>(static_cast<void*>(&m_cond)),
                                Srw(lock.mutex()->native()), DWORD(timeout.count()), /*Flags=*/0);
  return woken ? std::cv_status::no_timeout : std::cv_status::timeout;
}
void CondVar::notify_one() {
  WakeConditionVariable(static_cast<PCONDITION_VARIABLE>(static_cast<void*>(&m_cond)));
}
void CondVar::notify_all() {
  WakeAllConditionVariable(static_cast<PCONDITION_VARIABLE>(static_cast<void*>(&m_cond)));
}

Status StartSystemThread(Thread::State* state) {
  state->handle = CreateThread(/*lpThreadAttributes=*/nullptr, /*dwStackSize=*/0, RunState, state,
                               /*dwCreationFlags=*/0, /*lpThreadId=*/nullptr);
  if (state->handle == nullptr) {
    return {StatusKind::kOutOfMemory,
            "cannot start a thread: error " + std::to_string(GetLastError())};
  }
  return {};
}

void JoinSystemThread(Thread::State* state) {
  WaitForSingleObject(state->handle, INFINITE);
  CloseHandle(state->handle);
}

unsigned HardwareThreads() {
  DWORD count = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  return count > 0 ? count : 1;
}

}  // namespace cv
