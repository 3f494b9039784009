// One run of the zip engine, as ZpArchive starts it: adding files to an archive or deleting
// entries from it, written to a temporary file beside the archive that replaces it only when
// everything succeeded.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/aes.h"
#include "core/line_ends.h"
#include "core/progress.h"
#include "core/status.h"

namespace cv {

struct ZipOptions {
  std::string rootDir;  // UTF-8; empty: the current folder
  bool deleteEntries = false;
  bool recurse = false;
  bool junkDirs = false;
  bool dirEntries = true;
  bool includeHiddenSystem = false;
  bool update = false;
  bool freshen = false;
  bool encrypt = false;
  std::optional<AesStrength> aes;  // with encrypt: AES of this key size, else traditional
  bool verbose = false;
  bool quiet = false;
  LineEnds lineEnds = LineEnds::Keep;
  int level = 6;  // 0 stores
  // Names of the existing archive without the UTF-8 flag that are not valid UTF-8 are read in
  // this code page (0: 437), so that they can be deleted or replaced by the name they are listed
  // with. Kept entries keep their stored names.
  unsigned nameCodePage = 0;
};

// Called on the run's thread only. Texts are UTF-8.
struct ZipCallbacks {
  std::function<void(const std::string& line)> print;
  // Fills password and returns true, or returns false when none is given.
  std::function<bool(const std::string& entryName, std::string* password)> password;
  // Called before each entry is added, replaced or deleted; true stops the run.
  std::function<bool(const std::string& entryName)> stop;
  // The run's progress as cvzip.h says ZpSetProgress's callback gets it; true stops the run.
  ProgressMeter::Callback progress;
};

// What a run met, for entry_points.cpp to pick the return code from: the failure that ended it
// and the step it ended in, or the warnings of a run that succeeded.
enum class ZipStep { kStart, kReadArchive, kSelect, kCreate, kWrite, kCommit };
struct ZipOutcome {
  Status status;
  ZipStep step = ZipStep::kStart;
  bool archiveExisted = false;
  int warnings = 0;
};

// Adds (or deletes) names, each UTF-8.
ZipOutcome RunZip(const ZipOptions& options, const std::string& archive,
                  const std::vector<std::string>& names, const ZipCallbacks& callbacks);

}  // namespace cv
