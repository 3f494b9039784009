#include <windows.h>

#include "platform/memory.h"

namespace cv {

void* AllocatePages(size_t size) {
  return VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void FreePages(void* pages, size_t) {
  if (pages) VirtualFree(pages, 0, MEM_RELEASE);
}

}  // namespace cv
