#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace corvane {

// A calendar date and time of day, local time, as the engine reports it.
struct DateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;

  auto operator<=>(const DateTime&) const = default;
};

// One listed file of an archive.
struct ArchiveEntry {
  std::string fileName;     // the last component of the stored name
  std::string folder;       // everything before it, "\" separated; empty at the archive's root
  uint64_t size = 0;        // as the engine listed it
  uint64_t packedSize = 0;  // the engine's compressed size
  int32_t ratio = 0;        // compressed size in percent of size, as the engine listed it
  std::string method;       // the engine's compression-method text
  DateTime date;            // last modification, to the minute
  uint32_t crc = 0;
  bool encrypted = false;
  // The stored name holds a zero byte, shown as U+FFFD: no file has that name, so the entry is
  // never opened by it.
  bool nameHasZero = false;
  bool selected = true;    // takes part in the next extraction
  std::string storedName;  // the whole name as the engine listed it; selects exactly this entry
};

}  // namespace corvane
