#include "platform/memory.h"

namespace cv {

WholeBuffer& WholeBuffer::operator=(WholeBuffer&& other) noexcept {
  if (this == &other) return *this;
  Free();
  m_data = other.m_data;
  m_size = other.m_size;
  m_budget = other.m_budget;
  other.m_data = nullptr;
  other.m_size = 0;
  other.m_budget = nullptr;
  return *this;
}

bool WholeBuffer::Reserve(MemoryBudget& budget, size_t size) {
  if (size <= m_size) return true;
  Free();
  return budget.Take(size) && Adopt(budget, size);
}

bool WholeBuffer::Adopt(MemoryBudget& budget, size_t size) {
  Free();
  m_data = static_cast<unsigned char*>(AllocatePages(size));
  if (!m_data) {
    budget.Give(size);
    return false;
  }
  m_size = size;
  m_budget = &budget;
  return true;
}

void WholeBuffer::Free() {
  FreePages(m_data, m_size);
  m_data = nullptr;
  if (m_budget) m_budget->Give(m_size);
  m_size = 0;
  m_budget = nullptr;
}

}  // namespace cv
