// Scanning: the names given to the zip engine (files, folders, wildcard patterns) become the list
// of files and folders to add, each with the name it is stored under.
#pragma once

#include <string>
#include <vector>

#include "core/status.h"
#include "platform/folder.h"

namespace cv {

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
  FileInfo info;
};

// Expands names (UTF-8) in order; a stored name met twice is kept once. A name that matches
// nothing is a kNotFound status naming it, and nothing is returned. A folder that cannot be read
// while recursing is left out and named in `unreadFolders` ("folder NAME (reason)").
Status ScanNames(const std::vector<std::string>& names, const ScanOptions& options,
                 std::vector<ScanItem>* items, std::vector<std::string>* unreadFolders);

}  // namespace cv
