#include "platform/faults.h"

#include <atomic>

namespace cv {
namespace {
std::atomic<int64_t> g_writableBytes{-1};
std::atomic<bool> g_failRename{false};
std::atomic<bool> g_failSetTime{false};
std::atomic<bool> g_cryptoUnavailable{false};
}  // namespace

void SetFaultInjection(const FaultInjection& faults) {
  g_writableBytes = faults.writableBytes;
  g_failRename = faults.failRename;
  g_failSetTime = faults.failSetTime;
  g_cryptoUnavailable = faults.cryptoUnavailable;
}

namespace detail {
bool InjectedDiskFull(size_t size) {
  int64_t left = g_writableBytes.load(std::memory_order_relaxed);
  while (left >= 0) {
    if (int64_t(size) > left) return true;
    if (g_writableBytes.compare_exchange_weak(left, left - int64_t(size))) return false;
  }
  return false;
}
bool InjectedRenameFailure() {
  return g_failRename.load(std::memory_order_relaxed);
}
bool InjectedSetTimeFailure() {
  return g_failSetTime.load(std::memory_order_relaxed);
}
bool InjectedCryptoUnavailable() {
  return g_cryptoUnavailable.load(std::memory_order_relaxed);
}
}  // namespace detail

}  // namespace cv
