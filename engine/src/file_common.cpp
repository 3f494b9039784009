#include "file.h"

#include <atomic>

namespace cv {
namespace {
std::atomic<int64_t> g_writableBytes{-1};
std::atomic<bool> g_failRename{false};
}  // namespace

void SetFaultInjection(const FaultInjection& faults) {
  g_writableBytes = faults.writableBytes;
  g_failRename = faults.failRename;
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
}  // namespace detail

File::File(File&& other) noexcept : m_handle(other.m_handle), m_path(std::move(other.m_path)) {
  other.m_handle = kNoHandle;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    (void)Close();
    m_handle = other.m_handle;
    m_path = std::move(other.m_path);
    other.m_handle = kNoHandle;
  }
  return *this;
}

File::~File() {
  (void)Close();
}

Status File::ReadExactAt(uint64_t offset, void* buffer, size_t size) const {
  size_t got = 0;
  CV_RETURN_IF_ERROR(ReadAt(offset, buffer, size, &got));
  if (got != size) return {StatusKind::kBadArchive, "unexpected end of archive"};
  return {};
}

std::string JoinPath(const std::string& dir, const std::string& relative) {
  std::string out = dir;
  if (!out.empty() && out.back() != '/' && out.back() != PathSeparator()) out += PathSeparator();
  for (char c : relative) out += c == '/' ? PathSeparator() : c;
  return out;
}

}  // namespace cv
