// Paths on Windows: "\" and "/" both separate, and names compare without regard to case.
#include "platform/path.h"

#include "platform/win32.h"

namespace cv {

char PathSeparator() {
  return '\\';
}

std::string AbsolutePath(const std::string& path) {
  const std::string full = WideToUtf8(LongPath(path));
  if (full.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + full.substr(8);
  if (full.rfind("\\\\?\\", 0) == 0) return full.substr(4);
  return full;
}

bool NamesIgnoreCase() {
  return true;
}

}  // namespace cv
