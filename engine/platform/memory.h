// Large buffers straight from the system's pages: freed, they go back to the system at once,
// where a heap keeps them, per thread, for the rest of the process.
#pragma once

#include <cstddef>

namespace cv {

// `size` bytes of zeroed pages; nullptr when the system has no room.
void* AllocatePages(size_t size);
// Frees what AllocatePages gave (nullptr: nothing); `size` as given to it.
void FreePages(void* pages, size_t size);

}  // namespace cv
