#pragma once

#include <string>
#include <string_view>

namespace corvane {

// True for a full path: a drive letter, a colon and a separator ("C:\x"), or two separators
// ("\\server\share\x").
bool IsFullPath(std::string_view path);

// The full form of path: "." and ".." resolved and "/" made "\", taken from the process's current
// folder when it is not a full path. The path as it is when the system finds no full form.
std::string FullPathName(const std::string& path);

// The folder that text, as a user typed it, names when the folder they look at is folder (a full
// path; may be empty). A full path ("C:\x", "\\server\share\x") is taken as typed. Any other text
// is taken from folder, never from the process's current folder, which the user cannot see: "\x"
// in folder's root, "D:x" in the root of D:, anything else below folder; the result in full form.
// Without a folder, text as typed.
std::string ResolvePath(const std::string& folder, const std::string& text);

}  // namespace corvane
