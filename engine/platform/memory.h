// Large buffers straight from the system's pages: freed, they go back to the system at once,
// where a heap keeps them, per thread, for the rest of the process. A budget shared by a run's
// workers bounds what they hold together in such buffers.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace cv {

// `size` bytes of zeroed pages; nullptr when the system has no room.
void* AllocatePages(size_t size);
// Frees what AllocatePages gave (nullptr: nothing); `size` as given to it.
void FreePages(void* pages, size_t size);

// The memory all of a run's workers may hold at once in whole buffers.
class MemoryBudget {
 public:
  explicit MemoryBudget(uint64_t size) : m_left(size) {}
  // Takes `size` bytes if that many are left; false leaves the budget as it was.
  bool Take(uint64_t size) {
    uint64_t left = m_left.load(std::memory_order_relaxed);
    do {
      if (left < size) return false;
    } while (!m_left.compare_exchange_weak(left, left - size, std::memory_order_relaxed));
    return true;
  }
  void Give(uint64_t size) { m_left.fetch_add(size, std::memory_order_relaxed); }

 private:
  std::atomic<uint64_t> m_left;
};

// A buffer of the system's pages, its size counted in a budget until it is freed: after a big
// file it goes back to the system, not to one worker's heap.
class WholeBuffer {
 public:
  WholeBuffer() = default;
  ~WholeBuffer() { Free(); }
  WholeBuffer(WholeBuffer&& other) noexcept { *this = static_cast<WholeBuffer&&>(other); }
  WholeBuffer& operator=(WholeBuffer&& other) noexcept;
  WholeBuffer(const WholeBuffer&) = delete;
  WholeBuffer& operator=(const WholeBuffer&) = delete;
  // Room for `size` bytes; false when the budget has not that much left.
  bool Reserve(MemoryBudget& budget, size_t size);
  // Room for `size` bytes the caller has taken from the budget already; they go back to it when
  // the buffer is freed, or at once when the system has no room (false).
  bool Adopt(MemoryBudget& budget, size_t size);
  // Gives the buffer back when it holds more than `keep` bytes.
  void Trim(size_t keep) {
    if (m_size > keep) Free();
  }
  void Free();
  unsigned char* data() { return m_data; }
  const unsigned char* data() const { return m_data; }
  size_t capacity() const { return m_size; }

 private:
  unsigned char* m_data = nullptr;
  size_t m_size = 0;
  MemoryBudget* m_budget = nullptr;
};

}  // namespace cv
