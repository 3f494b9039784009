// The local civil time of a moment, safe to call from several threads at once.
#pragma once

#include <cstdint>
#include <ctime>

namespace cv {

// False when the system cannot represent the moment.
bool ToLocalTime(int64_t unixTime, std::tm* out);

}  // namespace cv
