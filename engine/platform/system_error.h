// Inside the platform layer: the status of the system call that just failed (errno on POSIX,
// GetLastError on Windows), with the system's text and the file or folder it concerns. A full disk
// is kDiskFull, a missing file or folder kNotFound, anything else kIo.
#pragma once

#include <string>

#include "core/status.h"

namespace cv {

Status SystemError(const std::string& what, const std::string& path);

}  // namespace cv
