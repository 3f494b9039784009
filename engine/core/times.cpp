#include "core/times.h"

#include <algorithm>
#include <ctime>
#include <mutex>
#include <unordered_map>

#include "platform/local_time.h"
#include "platform/threads.h"

namespace cv {
namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// Offsets found so far, by hour, at most kCachedOffsets of them. Namespace-scope rather than
// function statics: the guard of a function static takes a lock of the static pthread layer in the
// Windows build, which leaves handles behind each time the DLL is freed.
constexpr size_t kCachedOffsets = 4096;
Mutex g_offsetMutex;
std::unordered_map<uint32_t, int64_t> g_offsets;

// Seconds to add to a local civil time, read as UTC, to get UTC, for the given hour. mktime
// consults the zone database on every call, so the answer is kept per hour seen: archives hold
// few distinct hours.
int64_t LocalOffset(int year, int month, int day, int hour) {
  uint32_t key = uint32_t(((year * 16 + month) * 32 + day) * 32 + hour);
  std::lock_guard lock(g_offsetMutex);
  auto it = g_offsets.find(key);
  if (it != g_offsets.end()) return it->second;
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_isdst = -1;
  int64_t offset =
      int64_t(std::mktime(&tm)) - (DaysFromCivil(year, month, day) * 86400 + hour * 3600);
  if (g_offsets.size() >= kCachedOffsets) g_offsets.clear();
  g_offsets.emplace(key, offset);
  return offset;
}

}  // namespace

DosTime ToDosTime(int64_t unixTime) {
  std::tm tm{};
  DosTime d;
  if (!ToLocalTime(unixTime, &tm) || tm.tm_year < 80 || tm.tm_year > 207) return d;
  d.date = uint16_t((tm.tm_year - 80) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
  d.time = uint16_t(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
  return d;
}

int64_t FromDosTime(DosTime dos) {
  int year = ((dos.date >> 9) & 0x7f) + 1980;
  int month = std::max((dos.date >> 5) & 0x0f, 1);
  int day = std::max(dos.date & 0x1f, 1);
  int hour = (dos.time >> 11) & 0x1f;
  int64_t asUtc = DaysFromCivil(year, month, day) * 86400 + hour * 3600 +
                  ((dos.time >> 5) & 0x3f) * 60 + (dos.time & 0x1f) * 2;
  return asUtc + LocalOffset(year, month, day, hour);
}

CivilTime CivilFromDos(DosTime dos) {
  return {unsigned(((dos.date >> 9) & 0x7f) + 1980), unsigned((dos.date >> 5) & 0x0f),
          unsigned(dos.date & 0x1f), unsigned((dos.time >> 11) & 0x1f),
          unsigned((dos.time >> 5) & 0x3f)};
}

bool LocalCivilTime(int64_t unixTime, CivilTime* out) {
  std::tm tm{};
  if (!ToLocalTime(unixTime, &tm)) return false;
  *out = {unsigned(tm.tm_year + 1900), unsigned(tm.tm_mon + 1), unsigned(tm.tm_mday),
          unsigned(tm.tm_hour), unsigned(tm.tm_min)};
  return true;
}

}  // namespace cv
