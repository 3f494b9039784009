// Planning a zip run: which entries of the existing archive are copied as they are, which are
// replaced by scanned files, which are left out, and which files are appended.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/entry.h"
#include "platform/folder.h"
#include "zip/run.h"
#include "zip/scan.h"

namespace cv {

inline constexpr size_t kNone = size_t(-1);

// One entry of the archive being written, in order.
struct Planned {
  size_t existing = kNone;  // the entry copied, or replaced by the item
  size_t item = kNone;      // the scanned file or folder written in its place
};

// Adding: an item replaces the entry of its stored name in place (with update or freshen only when
// the file is newer) or is appended at the end (not with freshen). Empty when nothing changes.
std::vector<Planned> PlanAdd(const std::vector<Entry>& entries, const std::vector<ScanItem>& items,
                             const ZipOptions& options);

// Deleting: the entries the names select are left out, exact names first, then patterns, and a
// name ending in "/" takes everything stored under it. `deleted` receives their indices.
std::vector<Planned> PlanDelete(const std::vector<Entry>& entries,
                                const std::vector<std::string>& names,
                                std::vector<size_t>* deleted);

// Whether the file on disk is newer than the entry: by the entry's UTC time when it has one, else
// both as DOS times, at the two seconds these can hold.
bool Newer(const FileInfo& file, const Entry& entry);

}  // namespace cv
