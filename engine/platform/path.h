// Paths in the platform's form: separators, joining, absolute paths and how names compare.
#pragma once

#include <cstddef>
#include <string>

namespace cv {

// The platform's folder separator, '\\' on Windows and '/' elsewhere.
char PathSeparator();
// '/' everywhere, and the platform's own separator.
inline bool IsPathSeparator(char c) {
  return c == '/' || c == PathSeparator();
}
// `dir` joined with `relative` (which uses "/"), in the platform's form. An empty `dir` leaves
// `relative` as it is.
std::string JoinPath(const std::string& dir, const std::string& relative);
// Everything before the last separator; empty when there is none.
std::string ParentOf(const std::string& path);
// The absolute form of `path` with "." and ".." resolved, in the platform's separators.
std::string AbsolutePath(const std::string& path);
// The part of an absolute path that names no folder: a drive ("C:"), a long-path prefix or a UNC
// server and share, and the separators after it.
size_t RootLength(const std::string& path);
// Whether two paths name the same file as the file system compares names: byte for byte on
// POSIX, without regard to case over all of Unicode on Windows, as NTFS does.
bool SamePath(const std::string& a, const std::string& b);
// A key equal for exactly the paths SamePath takes as one (the path itself on POSIX, upper case
// on Windows), for finding names that would land on one file.
std::string CollisionKey(const std::string& path);
// Whether names compare without regard to case (Windows), for wildcard patterns.
bool NamesIgnoreCase();

}  // namespace cv
