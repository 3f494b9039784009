// Files and folders on disk: what the engines learn of one (Stat), the entries of a folder, and
// folder creation. Implemented per system in folder_posix.cpp and folder_windows.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/status.h"

namespace cv {

struct FileInfo {
  std::string name;  // the last path component (ListFolder only)
  bool isDirectory = false;
  bool isSpecial = false;       // a device, pipe or socket: neither a file nor a folder
  bool hiddenOrSystem = false;  // the Windows hidden or system attribute; a dot file elsewhere
  bool isLink = false;          // a symbolic link or junction
  uint64_t size = 0;
  int64_t mtime = 0;                // seconds since 1970-01-01 UTC
  uint32_t externalAttributes = 0;  // the archive's "external attributes" for this platform
};

// Follows links. False when nothing exists at `path`.
bool Stat(const std::string& path, FileInfo* out);
// The files and folders in `dir`, without "." and "..", devices, pipes, sockets and dangling
// links.
Status ListFolder(const std::string& dir, std::vector<FileInfo>* out);
// Creates one folder; success when a folder of that name exists already.
Status MakeFolder(const std::string& path);
// The "version made by" of entries written on this system: host system and format version 6.3.
uint16_t VersionMadeBy();

}  // namespace cv
