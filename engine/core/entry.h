// One entry of an archive as its central directory record describes it.
#pragma once

#include <cstdint>
#include <string>

#include "core/times.h"

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
  DosTime dos() const { return {dosDate, dosTime}; }
  // The last modification time, seconds since 1970 UTC: the extra field's, else the DOS date and
  // time read as local time.
  int64_t ModificationTime() const;
  // The modification time as the listing shows it: local month, day, four-digit year, hour, minute.
  CivilTime ListedTime() const;
  // Sets hasUtcTime and utcTime from the extra field.
  void ReadUtcTime();
};

// The method text of the listing: "Stored", "Defl:N", "Def64", "AES-256", "BZip2", ...
std::string MethodText(const Entry& entry);

}  // namespace cv
