// Reading an archive's structure: the end record (after a comment of up to 64 KiB, with data such
// as a self-extractor stub allowed before the archive), the zip64 end record and locator, the
// central directory with its extra fields, and each entry's local header. Nothing here allocates
// by a count or size the archive claims: records are read as they come and checked against the
// file's real size.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "file.h"
#include "status.h"

namespace cv {

struct Entry {
  std::string rawName;  // the stored name bytes
  std::string name;     // decoded to UTF-8 (see DecodeEntryName)
  std::string extra;    // central extra field, whole
  std::string comment;  // entry comment, stored bytes
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;  // zip64 values resolved
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0;  // from the start of the file (data before the archive counted)
  bool hasUtcTime = false;         // an NTFS (0x000a) or extended timestamp (0x5455) field
  int64_t utcTime = 0;             // its modification time, seconds since 1970 UTC

  bool encrypted() const;
  bool isFolder() const;
  // The last modification time, seconds since 1970 UTC: the extra field's, else the DOS date and
  // time read as local time.
  int64_t ModificationTime() const;
};

// Local month (1-12), day, four-digit year, hour and minute of an entry's modification time.
struct LocalTime {
  unsigned year, month, day, hour, minute;
};
LocalTime EntryLocalTime(const Entry& entry);

// The method text of the listing: "Stored", "Defl:N", "BZip2", ...
std::string MethodText(const Entry& entry);

struct ArchiveInfo {
  uint64_t fileSize = 0;
  uint64_t prefixSize = 0;     // bytes before the archive proper (self-extractor stub)
  uint64_t centralOffset = 0;  // from the start of the file
  uint64_t centralSize = 0;
  uint64_t endRecordOffset = 0;  // the (zip64) end record: where the central directory must stop
  uint64_t declaredEntries = 0;  // the end record's count (checked, never trusted for allocation)
  bool zip64 = false;
  std::string comment;
};

class ArchiveReader {
 public:
  // Opens the archive and reads its end records. kNotFound when the file is missing, kNotZip
  // when it is empty or has no end record, kBadArchive when the records contradict each other or
  // the file.
  Status Open(const std::string& path);

  const ArchiveInfo& info() const { return m_info; }
  const File& file() const { return m_file; }

  // Calls `visit` for each central directory record in order; the Entry is reused between calls.
  // Stops at the first failed status of `visit` and returns it. kBadArchive for a damaged or
  // truncated directory, or a record count that disagrees with the end record.
  Status ForEachEntry(const std::function<Status(Entry&)>& visit) const;
  Status ReadEntries(std::vector<Entry>* entries) const;

  // Reads the entry's local header and checks it against the central record (name, method,
  // encryption, CRC and sizes unless a data descriptor carries them) and that header and data
  // end at or before `limit` (the next entry's header or the central directory). Sets
  // `*dataOffset` to the first byte of the entry's data. kBadEntry on any disagreement.
  Status LocateData(const Entry& entry, uint64_t limit, uint64_t* dataOffset) const;

 private:
  Status ReadEndRecords();

  File m_file;
  ArchiveInfo m_info;
};

// Where each entry's local header and data must end: the next entry's local header (in file
// order) or the central directory. An entry that shares its header offset with another or whose
// minimal header and data reach past that limit overlaps its neighbour (the overlapping-entry
// bomb) and gets limit 0, which LocateData refuses.
std::vector<uint64_t> ComputeEntryLimits(const std::vector<Entry>& entries,
                                         const ArchiveInfo& info);

// The same from just what the limits need of each entry, for callers that do not keep whole
// entries (one of these is 16 bytes).
struct EntrySpan {
  uint64_t localHeaderOffset;
  uint64_t minimalSize;  // local header with the central name, plus the compressed data
};
EntrySpan SpanOf(const Entry& entry);
std::vector<uint64_t> ComputeEntryLimits(const std::vector<EntrySpan>& spans,
                                         const ArchiveInfo& info);

}  // namespace cv
