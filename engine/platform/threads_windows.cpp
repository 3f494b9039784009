#include "platform/threads.h"

#include <windows.h>

#include <memory>
#include <system_error>

namespace cv {

static_assert(sizeof(void*) == sizeof(SRWLOCK) && sizeof(void*) == sizeof(CONDITION_VARIABLE));

namespace {

PSRWLOCK Srw(void* state) {
  return static_cast<PSRWLOCK>(state);
}

DWORD WINAPI RunBody(void* param) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(param));
  (*body)();
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
void CondVar::notify_one() {
  WakeConditionVariable(static_cast<PCONDITION_VARIABLE>(static_cast<void*>(&m_cond)));
}
void CondVar::notify_all() {
  WakeAllConditionVariable(static_cast<PCONDITION_VARIABLE>(static_cast<void*>(&m_cond)));
}

Thread::Thread(std::function<void()> body, int) {
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  m_handle = CreateThread(/*lpThreadAttributes=*/nullptr, /*dwStackSize=*/0, RunBody, owned.get(),
                          /*dwCreationFlags=*/0, /*lpThreadId=*/nullptr);
  if (m_handle == nullptr) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "CreateThread");
  }
  owned.release();  // the thread owns its body now
}

Thread::~Thread() {
  if (joinable()) join();
}

Thread& Thread::operator=(Thread&& other) noexcept {
  if (this != &other) {
    if (joinable()) join();
    m_handle = other.m_handle;
    other.m_handle = nullptr;
  }
  return *this;
}

void Thread::join() {
  WaitForSingleObject(m_handle, INFINITE);
  CloseHandle(m_handle);
  m_handle = nullptr;
}

unsigned HardwareThreads() {
  DWORD count = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  return count > 0 ? count : 1;
}

}  // namespace cv
