// The path an entry is written to under a target folder, safe on every system.
#pragma once

#include <string>
#include <string_view>

namespace cv {

// The path (components joined with "/") under which an entry is written, relative to the target
// folder; never leaves it. Leading separators, a drive letter, empty, "." and ".." components are
// removed and "\" separates like "/"; control characters and < > : " | ? * become "_", as do
// trailing dots and spaces of a component (Windows would drop them); reserved device names (CON,
// NUL, COM1, LPT1, ..., with or without an extension) get "_" in front. `keepFolders` false keeps
// the last component only; `spaceToUnderscore` turns spaces into "_". Empty when nothing is left.
std::string SafeRelativePath(std::string_view name, bool keepFolders, bool spaceToUnderscore);

}  // namespace cv
