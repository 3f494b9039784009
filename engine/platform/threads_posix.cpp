#include "platform/threads.h"

#include <algorithm>

namespace cv {

unsigned HardwareThreads() {
  return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace cv
