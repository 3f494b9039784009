// Turns the names given to the zip engine (files, folders, wildcard patterns) into the list of
// files and folders to add, each with the name it is stored under.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "status.h"

namespace cv {

// A file or folder on disk, as the scan and the platform layer see it.
struct DiskEntry {
  std::string name;  // the last path component (ListDirectory) or the full path (StatEntry)
  bool isDirectory = false;
  bool hiddenOrSystem = false;  // Windows hidden/system attribute; a dot file elsewhere
  bool isLink = false;          // a symbolic link or junction: followed only when named
  uint64_t size = 0;
  int64_t mtime = 0;                // seconds since 1970-01-01 UTC
  uint32_t externalAttributes = 0;  // the archive's "external attributes" for this platform
};

// Platform layer (zip_scan_posix.cpp, zip_scan_windows.cpp).
Status ListDirectory(const std::string& dir, std::vector<DiskEntry>* out);
// False when nothing exists at path.
bool StatEntry(const std::string& path, DiskEntry* out);
// The absolute form of path with "." and ".." resolved, in the platform's separators.
std::string AbsolutePath(const std::string& path);
// Text from the caller's code page to UTF-8 and back (the identity outside Windows).
std::string AnsiToUtf8(const std::string& text);
std::string Utf8ToAnsi(const std::string& text);
// The "version made by" of entries written here: host system and format version 6.3.
uint16_t VersionMadeBy();
// Whether file names on this platform compare without regard to case.
bool NamesIgnoreCase();

struct ScanOptions {
  std::string rootDir;  // base folder; empty for the current folder
  bool recurse = false;
  bool junkDirs = false;
  bool dirEntries = true;
  bool includeHiddenSystem = false;
  std::string archivePath;  // never added to itself
};

struct ScanItem {
  std::string path;        // on disk
  std::string storedName;  // UTF-8, "/" separated, folders ending in "/"
  DiskEntry info;
};

// Expands names (UTF-8) in order; a stored name met twice is kept once. A name that matches
// nothing is a kNotFound status naming it, and nothing is returned.
Status ScanNames(const std::vector<std::string>& names, const ScanOptions& options,
                 std::vector<ScanItem>* items);

}  // namespace cv
