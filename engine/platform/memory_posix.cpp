#include <sys/mman.h>

#include "platform/memory.h"

namespace cv {

void* AllocatePages(size_t size) {
  // Every page is written at once (a whole entry's buffer): made present in one call, not by a
  // fault per page.
  void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  return pages == MAP_FAILED ? nullptr : pages;
}

void FreePages(void* pages, size_t size) {
  if (pages) munmap(pages, size);
}

}  // namespace cv
