#include "platform/local_time.h"

namespace cv {

bool ToLocalTime(int64_t unixTime, std::tm* out) {
  const auto t = std::time_t(unixTime);
#ifdef _WIN32
  return localtime_s(out, &t) == 0;
#else
  return localtime_r(&t, out) != nullptr;
#endif
}

}  // namespace cv
