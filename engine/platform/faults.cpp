#include "platform/faults.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/threads.h"

namespace cv {
namespace {
std::atomic<int64_t> g_writableBytes{-1};
std::atomic<bool> g_failRename{false};
std::atomic<bool> g_failSetTime{false};
std::atomic<int> g_threadStarts{-1};
std::atomic<bool> g_cryptoUnavailable{false};
std::atomic<bool> g_progressEveryStep{false};
std::atomic<uint64_t> g_holdDecodeAt{0};
// Set between runs only, read by a run's threads.
std::string g_failReadPath;
uint64_t g_failReadAt = 0;
std::atomic<bool> g_recording{false};
Mutex g_recordMutex;
std::vector<std::string> g_calls;
}  // namespace

void StartRecording() {
  std::lock_guard lock(g_recordMutex);
  g_calls.clear();
  g_recording = true;
}

std::vector<std::string> RecordedCalls() {
  std::lock_guard lock(g_recordMutex);
  g_recording = false;
  return std::move(g_calls);
}

void SetFaultInjection(const FaultInjection& faults) {
  g_writableBytes = faults.writableBytes;
  g_failRename = faults.failRename;
  g_failSetTime = faults.failSetTime;
  g_failReadPath = faults.failReadPath ? faults.failReadPath : "";
  g_failReadAt = faults.failReadAt;
  g_threadStarts = faults.threadStarts;
  g_cryptoUnavailable = faults.cryptoUnavailable;
  g_progressEveryStep = faults.progressEveryStep;
  g_holdDecodeAt = faults.holdDecodeAt;
}

namespace detail {
Status WriteFault(const std::string& path, size_t size) {
  int64_t left = g_writableBytes.load(std::memory_order_relaxed);
  while (left >= 0) {
    if (int64_t(size) > left) return {StatusKind::kDiskFull, "disk full writing " + path};
    if (g_writableBytes.compare_exchange_weak(left, left - int64_t(size))) return {};
  }
  return {};
}
Status RenameFault(const std::string& from, const std::string& to) {
  if (!g_failRename.load(std::memory_order_relaxed)) return {};
  return {StatusKind::kIo, "cannot rename " + from + " to " + to};
}
Status ReadFault(const std::string& path, uint64_t end) {
  if (g_failReadPath.empty() || path != g_failReadPath) return {};
  if (end == 0 ? g_failReadAt != 0 : end <= g_failReadAt) return {};
  return {StatusKind::kIo,
          (end == 0 ? "cannot open " : "cannot read ") + path + ": injected failure"};
}
void Record(const std::string& call) {
  if (!g_recording.load(std::memory_order_relaxed)) return;
  std::lock_guard lock(g_recordMutex);
  g_calls.push_back(call);
}
bool InjectedThreadFailure() {
  int left = g_threadStarts.load(std::memory_order_relaxed);
  while (left >= 0) {
    if (left == 0) return true;
    if (g_threadStarts.compare_exchange_weak(left, left - 1)) return false;
  }
  return false;
}
Status SetTimeFault(const std::string& path) {
  if (!g_failSetTime.load(std::memory_order_relaxed)) return {};
  return {StatusKind::kIo, "cannot set time of " + path};
}
Status CryptoFault() {
  if (!g_cryptoUnavailable.load(std::memory_order_relaxed)) return {};
  return {StatusKind::kUnsupported, "AES is not available on this system (no cryptography)"};
}
bool ProgressEveryStep() {
  return g_progressEveryStep.load(std::memory_order_relaxed);
}
void HoldDecode(uint64_t decoded, const std::atomic<bool>& stopped) {
  const uint64_t at = g_holdDecodeAt.load(std::memory_order_relaxed);
  if (at == 0 || decoded < at) return;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!stopped.load() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}
}  // namespace detail

}  // namespace cv
