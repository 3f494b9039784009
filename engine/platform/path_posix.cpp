// Paths on POSIX systems: "/" only, and names that differ in case are different names.
#include "platform/path.h"

#include <unistd.h>

#include <vector>

namespace cv {

char PathSeparator() {
  return '/';
}

std::string AbsolutePath(const std::string& path) {
  std::string full = path;
  if (full.empty() || full[0] != '/') {
    char cwd[4096];
    full = std::string(::getcwd(cwd, sizeof cwd) ? cwd : ".") + "/" + path;
  }
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < full.size()) {
    size_t j = full.find('/', i);
    if (j == std::string::npos) j = full.size();
    const std::string part = full.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  return out.empty() ? "/" : out;
}

bool SamePath(const std::string& a, const std::string& b) {
  return a == b;
}

std::string CollisionKey(const std::string& path) {
  return path;
}

bool NamesIgnoreCase() {
  return false;
}

}  // namespace cv
