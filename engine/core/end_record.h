// Where the end record is read: the end of central directory record (found behind a comment of up
// to 64 KiB, with data such as a self-extractor stub allowed before the archive), the zip64 end
// record and its locator, checked against each other and the file's size.
#pragma once

#include <cstdint>
#include <string>

#include "core/status.h"

namespace cv {

class File;

struct ArchiveInfo {
  uint64_t fileSize = 0;
  uint64_t prefixSize = 0;     // bytes before the archive proper (self-extractor stub)
  uint64_t centralOffset = 0;  // from the start of the file
  uint64_t centralSize = 0;
  uint64_t endRecordOffset = 0;  // the (zip64) end record: where the central directory must stop
  uint64_t declaredEntries = 0;  // the end record's count (checked, never trusted for allocation)
  bool zip64 = false;
  std::string comment;
  // Damage the entries can be read despite (the end record's two counts disagree); empty when
  // there is none. Readers list and extract what is sound and report it.
  std::string damage;
};

// Fills `info` (whose fileSize is set) from the end records of `file`. kNotZip when there is no
// end record, kBadArchive when the records contradict each other or the file.
Status ReadEndRecords(const File& file, ArchiveInfo* info);

}  // namespace cv
