#include <sys/mman.h>

#include "platform/memory.h"

namespace cv {

void* AllocatePages(size_t size) {
  void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return pages == MAP_FAILED ? nullptr : pages;
}

void FreePages(void* pages, size_t size) {
  if (pages) munmap(pages, size);
}

}  // namespace cv
