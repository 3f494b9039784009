#pragma once

#include <string>

namespace corvane {

// The running executable's full path, whatever its length.
std::string ExecutablePath();

// The executable's folder, ending in "\".
std::string ExecutableFolder();

// The executable's file name without folder and extension: the first part of every error source.
std::string ExecutableTitle();

}  // namespace corvane
