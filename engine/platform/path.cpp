// The portable part of the path functions.
#include "platform/path.h"

namespace cv {

std::string JoinPath(const std::string& dir, const std::string& relative) {
  std::string out = dir;
  if (!out.empty() && !IsPathSeparator(out.back())) out += PathSeparator();
  for (char c : relative) out += c == '/' ? PathSeparator() : c;
  return out;
}

std::string ParentOf(const std::string& path) {
  size_t cut = path.size();
  while (cut > 0 && !IsPathSeparator(path[cut - 1])) --cut;
  return cut == 0 ? std::string() : path.substr(0, cut - 1);
}

size_t RootLength(const std::string& path) {
  const bool windows = PathSeparator() == '\\';
  size_t i = 0;
  if (path.rfind("\\\\?\\UNC\\", 0) == 0) {
    i = 8;
  } else if (path.rfind("\\\\?\\", 0) == 0) {
    i = 4;
  } else if (windows && path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    i = 2;
  }
  if (i == 2 || i == 8) {  // server and share
    for (int part = 0; part < 2; ++part) {
      while (i < path.size() && !IsPathSeparator(path[i])) ++i;
      while (i < path.size() && IsPathSeparator(path[i])) ++i;
    }
  } else if (windows && path.size() >= i + 2 && path[i + 1] == ':') {
    i += 2;
  }
  while (i < path.size() && IsPathSeparator(path[i])) ++i;
  return i;
}

}  // namespace cv
