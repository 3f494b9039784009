// The records the zip engine writes: local headers, central headers and the end records, with
// zip64 fields exactly where a size, an offset or the entry count needs them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cv {

// One entry as its central header will describe it.
struct WriteEntry {
  std::string name;  // stored name: UTF-8, "/" between folders, "/" at the end of a folder
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 20;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t localOffset = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  std::string extra;  // central extra fields, without a zip64 field (added here when needed)
  std::string comment;
};

// Sizes at or above this go to a zip64 field.
inline constexpr uint64_t kZip64Limit = 0xffffffff;

// The local header of e. With zip64Sizes the sizes go to a zip64 extra field (in front of
// localExtra), which must then be chosen before the data is written: a header is patched in place
// later and cannot change length.
[[nodiscard]] std::string LocalHeader(const WriteEntry& e, bool zip64Sizes,
                                      std::string_view localExtra);

// The central header of e, with the zip64 field it needs.
[[nodiscard]] std::string CentralHeader(const WriteEntry& e);

// The zip64 end record and locator when needed, then the end record with the archive comment.
[[nodiscard]] std::string EndRecords(uint64_t entryCount, uint64_t directoryOffset,
                                     uint64_t directorySize, std::string_view comment);

// The extended-timestamp extra field holding the modification time (seconds since 1970), or
// nothing when the time does not fit its signed 32-bit field.
[[nodiscard]] std::string TimestampExtra(int64_t unixTime);

}  // namespace cv
