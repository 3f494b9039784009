// Times of entries and files: the DOS date and time of the ZIP records (local time, two-second
// steps, 1980 to 2107) read and written, and the NTFS FILETIME of extra fields and of Windows.
#pragma once

#include <cstdint>
#include <limits>

namespace cv {

// The moments the engines take from extra fields and set on files, in seconds since 1970 UTC:
// 1601-01-01, where FILETIME starts, to 9999-12-31, the last four-digit year of the listing.
inline constexpr int64_t kEarliestTime = -11644473600;
inline constexpr int64_t kLatestTime = 253402300799;
inline bool InTimeRange(int64_t unixTime) {
  return unixTime >= kEarliestTime && unixTime <= kLatestTime;
}

// FILETIME counts 100 ns steps from 1601-01-01 UTC.
inline constexpr int64_t kUnixEpochInFileTime = 116444736000000000LL;

// False, and `*unixTime` unchanged, for a FILETIME outside the range above (bit 63 set included).
inline bool UnixTimeFromFileTime(uint64_t fileTime, int64_t* unixTime) {
  if (fileTime > uint64_t(std::numeric_limits<int64_t>::max())) return false;
  const int64_t t = (int64_t(fileTime) - kUnixEpochInFileTime) / 10000000;
  if (!InTimeRange(t)) return false;
  *unixTime = t;
  return true;
}
// For a moment in range (InTimeRange), where the product cannot overflow.
inline uint64_t FileTimeFromUnixTime(int64_t unixTime) {
  return uint64_t(unixTime * 10000000 + kUnixEpochInFileTime);
}

struct DosTime {
  uint16_t date = 0x21;  // 1980-01-01
  uint16_t time = 0;
};

// The DOS date and time of a moment (seconds since 1970 UTC) in local time, seconds rounded down
// to even; moments the DOS fields cannot hold become 1980-01-01 00:00.
DosTime ToDosTime(int64_t unixTime);
// The moment a DOS date and time stand for, read as local time. Fields out of their range (month
// 0, day 0) are taken as their smallest value.
int64_t FromDosTime(DosTime dos);

// A civil date and time as the listing shows it.
struct CivilTime {
  unsigned year, month, day, hour, minute;
};
// The DOS fields as they stand.
CivilTime CivilFromDos(DosTime dos);
// The local civil time of a moment; false when the system cannot represent it.
bool LocalCivilTime(int64_t unixTime, CivilTime* out);

}  // namespace cv
