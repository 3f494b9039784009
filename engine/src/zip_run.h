// One run of the zip engine: adding files to an archive or deleting entries from it, written to
// a temporary file beside the archive and renamed over it only when everything succeeded.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "zip_text.h"

namespace cv {

struct ZipRunOptions {
  std::string rootDir;  // UTF-8; empty: the current folder
  bool deleteEntries = false;
  bool recurse = false;
  bool junkDirs = false;
  bool dirEntries = true;
  bool includeHiddenSystem = false;
  bool update = false;
  bool freshen = false;
  bool encrypt = false;
  bool verbose = false;
  bool quiet = false;
  LineEnds lineEnds = LineEnds::Keep;
  int level = 6;  // 0 stores
};

// Called on the run's thread only. Texts are UTF-8.
struct ZipRunCallbacks {
  std::function<void(const std::string& line)> print;
  // Fills password and returns true, or returns false when none is given.
  std::function<bool(const std::string& entryName, std::string* password)> password;
  // Called before each entry is added, replaced or deleted; true stops the run.
  std::function<bool(const std::string& entryName)> stop;
};

// Adds (or deletes) names, each UTF-8, and returns a ZE_ code of cvzip.h.
int RunZip(const ZipRunOptions& options, const std::string& archive,
           const std::vector<std::string>& names, const ZipRunCallbacks& callbacks);

}  // namespace cv
