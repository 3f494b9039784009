#include "archive.h"

#include <algorithm>
#include <ctime>
#include <numeric>
#include <unordered_map>

#include "format.h"
#include "names.h"
#include "threads.h"

namespace cv {
namespace {

Status Damaged(const std::string& what) {
  return {StatusKind::kBadArchive, what};
}
Status BadEntry(const std::string& what) {
  return {StatusKind::kBadEntry, what};
}

// FILETIME counts 100 ns steps from 1601-01-01.
constexpr int64_t kUnixEpochInFileTime = 116444736000000000LL;

void ReadTimes(Entry& entry) {
  entry.hasUtcTime = false;
  ForEachExtra(entry.extra, [&](uint16_t tag, const unsigned char* d, uint16_t size) {
    if (tag == kExtraNtfs && size >= 32) {
      // Reserved 4 bytes, then attribute blocks; block 1 holds modification, access, creation.
      size_t pos = 4;
      while (pos + 4 <= size) {
        uint16_t attr = Get16(d + pos);
        uint16_t attrSize = Get16(d + pos + 2);
        if (pos + 4 + attrSize > size) break;
        if (attr == 1 && attrSize >= 8) {
          auto ft = int64_t(Get64(d + pos + 4));
          entry.utcTime = (ft - kUnixEpochInFileTime) / 10000000;
          entry.hasUtcTime = true;
        }
        pos += 4 + attrSize;
      }
    } else if (tag == kExtraUnixTime && size >= 5 && (d[0] & 1) && !entry.hasUtcTime) {
      entry.utcTime = int32_t(Get32(d + 1));
      entry.hasUtcTime = true;
    }
  });
}

// Replaces 32-bit markers by the values of the zip64 extra field, which holds the sizes and
// offset present as markers, in this order.
Status ResolveZip64(Entry& entry, bool sizeMarker, bool compMarker, bool offsetMarker) {
  if (!sizeMarker && !compMarker && !offsetMarker) return {};
  bool found = false;
  bool fits = true;
  ForEachExtra(entry.extra, [&](uint16_t tag, const unsigned char* d, uint16_t size) {
    if (tag != kExtraZip64 || found) return;
    found = true;
    size_t pos = 0;
    auto take = [&](bool wanted, uint64_t* value) {
      if (!wanted) return;
      if (pos + 8 > size) {
        fits = false;
        return;
      }
      *value = Get64(d + pos);
      pos += 8;
    };
    take(sizeMarker, &entry.uncompressedSize);
    take(compMarker, &entry.compressedSize);
    take(offsetMarker, &entry.localHeaderOffset);
  });
  if (!found || !fits) return Damaged(entry.name + ": zip64 extra field missing or too short");
  return {};
}

// Sequential reader over the central directory with a bounded buffer.
class DirectoryStream {
 public:
  DirectoryStream(const File& file, uint64_t offset, uint64_t size)
      : m_file(file), m_next(offset), m_left(size) {}

  // Makes `n` bytes available at data(); false when the directory ends first.
  Status Need(size_t n, bool* ok) {
    if (m_end - m_pos >= n) {
      *ok = true;
      return {};
    }
    if (m_buffer.size() < kBufferSize) m_buffer.resize(kBufferSize);
    std::copy(m_buffer.begin() + ptrdiff_t(m_pos), m_buffer.begin() + ptrdiff_t(m_end),
              m_buffer.begin());
    m_end -= m_pos;
    m_pos = 0;
    size_t want = size_t(std::min<uint64_t>(m_left, kBufferSize - m_end));
    if (want > 0) {
      CV_RETURN_IF_ERROR(m_file.ReadExactAt(m_next, m_buffer.data() + m_end, want));
      m_next += want;
      m_left -= want;
      m_end += want;
    }
    *ok = m_end - m_pos >= n;
    return {};
  }
  const unsigned char* data() const { return m_buffer.data() + m_pos; }
  void Skip(size_t n) { m_pos += n; }
  bool AtEnd() const { return m_pos == m_end && m_left == 0; }

 private:
  // Larger than the largest record (46 bytes plus three 64 KiB fields).
  static constexpr size_t kBufferSize = 256 * 1024;
  const File& m_file;
  uint64_t m_next;
  uint64_t m_left;
  std::vector<unsigned char> m_buffer;
  size_t m_pos = 0;
  size_t m_end = 0;
};

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// Offsets found so far, by hour. Namespace-scope rather than function statics: the guard of a
// function static takes a lock of the static pthread layer in the Windows build, which leaves
// handles behind each time the DLL is freed.
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
  g_offsets.emplace(key, offset);
  return offset;
}

}  // namespace

bool Entry::encrypted() const {
  return (flags & kFlagEncrypted) != 0;
}
bool Entry::isFolder() const {
  return IsFolderName(name);
}

int64_t Entry::ModificationTime() const {
  if (hasUtcTime) return utcTime;
  int year = ((dosDate >> 9) & 0x7f) + 1980;
  int month = std::max((dosDate >> 5) & 0x0f, 1);
  int day = std::max(dosDate & 0x1f, 1);
  int hour = (dosTime >> 11) & 0x1f;
  int64_t asUtc = DaysFromCivil(year, month, day) * 86400 + hour * 3600 +
                  ((dosTime >> 5) & 0x3f) * 60 + (dosTime & 0x1f) * 2;
  return asUtc + LocalOffset(year, month, day, hour);
}

LocalTime EntryLocalTime(const Entry& entry) {
  if (entry.hasUtcTime) {
    auto t = time_t(entry.utcTime);
    std::tm tm{};
#ifdef _WIN32
    bool ok = localtime_s(&tm, &t) == 0;
#else
    bool ok = localtime_r(&t, &tm) != nullptr;
#endif
    if (ok) {
      return {unsigned(tm.tm_year + 1900), unsigned(tm.tm_mon + 1), unsigned(tm.tm_mday),
              unsigned(tm.tm_hour), unsigned(tm.tm_min)};
    }
  }
  return {unsigned(((entry.dosDate >> 9) & 0x7f) + 1980), unsigned((entry.dosDate >> 5) & 0x0f),
          unsigned(entry.dosDate & 0x1f), unsigned((entry.dosTime >> 11) & 0x1f),
          unsigned((entry.dosTime >> 5) & 0x3f)};
}

std::string MethodText(const Entry& entry) {
  switch (entry.method) {
    case kMethodStored:
      return "Stored";
    case 1:
      return "Shrunk";
    case 2:
    case 3:
    case 4:
    case 5:
      return "Reduce";
    case 6:
      return "Implode";
    case kMethodDeflated: {
      static const char* const kLevels[] = {"Defl:N", "Defl:X", "Defl:F", "Defl:S"};
      return kLevels[(entry.flags >> 1) & 3];
    }
    case 9:
      return "Def64";
    case 12:
      return "BZip2";
    case 14:
      return "LZMA";
    case 93:
      return "Zstd";
    case 95:
      return "XZ";
    case 98:
      return "PPMd";
    case kMethodAes:
      return "AES";
    default: {
      char text[16];
      std::snprintf(text, sizeof text, "Unk:%03u", unsigned(entry.method));
      return text;
    }
  }
}

Status ArchiveReader::Open(const std::string& path) {
  m_info = {};
  Status status = File::Open(path, File::Mode::kRead, &m_file);
  if (!status.ok()) {
    if (status.kind() == StatusKind::kNotFound) {
      return {StatusKind::kNotFound, "cannot find " + path};
    }
    return status;
  }
  CV_RETURN_IF_ERROR(m_file.Size(&m_info.fileSize));
  if (m_info.fileSize == 0) return {StatusKind::kNotZip, path + " is empty, not a ZIP archive"};
  status = ReadEndRecords();
  if (status.kind() == StatusKind::kNotZip) {
    return {StatusKind::kNotZip, path + " is not a ZIP archive (no end of central directory)"};
  }
  return status;
}

Status ArchiveReader::ReadEndRecords() {
  uint64_t fileSize = m_info.fileSize;
  size_t tailSize = size_t(std::min<uint64_t>(fileSize, kEndRecordSize + kMaxCommentSize));
  uint64_t tailStart = fileSize - tailSize;
  std::vector<unsigned char> tail(tailSize);
  CV_RETURN_IF_ERROR(m_file.ReadExactAt(tailStart, tail.data(), tailSize));

  // The end record closest to the end whose comment ends exactly at the end of the file; failing
  // that, the closest one whose comment fits (some tools append bytes after the archive).
  size_t found = SIZE_MAX;
  size_t fitting = SIZE_MAX;
  for (size_t i = tailSize >= kEndRecordSize ? tailSize - kEndRecordSize + 1 : 0; i-- > 0;) {
    if (Get32(&tail[i]) != kEndRecordSig) continue;
    size_t commentSize = Get16(&tail[i + 20]);
    if (i + kEndRecordSize + commentSize == tailSize) {
      found = i;
      break;
    }
    if (i + kEndRecordSize + commentSize < tailSize && fitting == SIZE_MAX) fitting = i;
  }
  if (found == SIZE_MAX) found = fitting;
  if (found == SIZE_MAX) return {StatusKind::kNotZip, "no end record"};

  const unsigned char* end = &tail[found];
  uint64_t endOffset = tailStart + found;
  uint16_t disk = Get16(end + 4), cdDisk = Get16(end + 6);
  uint64_t count = Get16(end + 10);
  uint64_t cdSize = Get32(end + 12);
  uint64_t cdOffset = Get32(end + 16);
  m_info.comment.assign(reinterpret_cast<const char*>(end + 22), Get16(end + 20));
  m_info.endRecordOffset = endOffset;

  // A zip64 locator sits right before the end record.
  bool zip64 = false;
  if (endOffset >= kZip64LocatorSize) {
    unsigned char loc[kZip64LocatorSize];
    CV_RETURN_IF_ERROR(m_file.ReadExactAt(endOffset - kZip64LocatorSize, loc, sizeof loc));
    if (Get32(loc) == kZip64LocatorSig) {
      zip64 = true;
      uint64_t locatorOffset = endOffset - kZip64LocatorSize;
      uint64_t stated = Get64(loc + 8);
      if (Get32(loc + 4) != 0 || Get32(loc + 16) > 1) {
        return Damaged("multi-part archives are not supported");
      }
      // The record normally ends at the locator; with data before the archive, its stated offset
      // is short by that much.
      uint64_t record = stated;
      unsigned char z[kZip64EndRecordSize];
      bool ok = record + kZip64EndRecordSize <= locatorOffset &&
                m_file.ReadExactAt(record, z, sizeof z).ok() && Get32(z) == kZip64EndRecordSig;
      if (!ok && locatorOffset >= kZip64EndRecordSize) {
        record = locatorOffset - kZip64EndRecordSize;
        ok = m_file.ReadExactAt(record, z, sizeof z).ok() && Get32(z) == kZip64EndRecordSig &&
             record >= stated;
      }
      if (!ok) return Damaged("zip64 end record not found where the locator points");
      m_info.prefixSize = record - stated;
      if (Get32(z + 16) != 0 || Get32(z + 20) != 0) {
        return Damaged("multi-part archives are not supported");
      }
      uint64_t count64 = Get64(z + 32);
      if (Get64(z + 24) != count64) return Damaged("zip64 end record counts disagree");
      // Values the 32-bit record holds in full must agree with the zip64 ones.
      if ((count != kZip64Marker16 && count != (count64 & 0xffff)) ||
          (cdSize != kZip64Marker32 && cdSize != Get64(z + 40)) ||
          (cdOffset != kZip64Marker32 && cdOffset != Get64(z + 48))) {
        return Damaged("zip64 end record disagrees with the end record");
      }
      count = count64;
      cdSize = Get64(z + 40);
      cdOffset = Get64(z + 48);
      m_info.endRecordOffset = record;
    }
  }
  if (!zip64) {
    if (disk != 0 || cdDisk != 0) return Damaged("multi-part archives are not supported");
    if (cdOffset + cdSize > endOffset) {
      return Damaged("central directory extends past the end record");
    }
    m_info.prefixSize = endOffset - cdSize - cdOffset;
  }
  if (cdOffset > m_info.endRecordOffset || cdSize > m_info.endRecordOffset - cdOffset ||
      m_info.prefixSize > m_info.endRecordOffset - cdOffset - cdSize) {
    return Damaged("central directory extends past the end record");
  }
  m_info.centralOffset = cdOffset + m_info.prefixSize;
  m_info.centralSize = cdSize;
  m_info.declaredEntries = count;
  m_info.zip64 = zip64;
  // Data before the archive is accepted only when the directory really starts where it says.
  if (cdSize > 0) {
    unsigned char sig[4];
    CV_RETURN_IF_ERROR(m_file.ReadExactAt(m_info.centralOffset, sig, 4));
    if (Get32(sig) != kCentralHeaderSig) return Damaged("central directory not found");
  } else if (count != 0) {
    return Damaged("end record counts entries but the central directory is empty");
  }
  return {};
}

Status ArchiveReader::ForEachEntry(const std::function<Status(Entry&)>& visit) const {
  DirectoryStream in(m_file, m_info.centralOffset, m_info.centralSize);
  Entry entry;
  uint64_t seen = 0;
  for (;;) {
    bool ok = false;
    CV_RETURN_IF_ERROR(in.Need(kCentralHeaderSize, &ok));
    if (!ok) {
      if (in.AtEnd()) break;
      return Damaged("central directory truncated");
    }
    const unsigned char* h = in.data();
    if (Get32(h) != kCentralHeaderSig) return Damaged("central directory damaged");
    size_t nameSize = Get16(h + 28), extraSize = Get16(h + 30), commentSize = Get16(h + 32);
    size_t recordSize = kCentralHeaderSize + nameSize + extraSize + commentSize;
    CV_RETURN_IF_ERROR(in.Need(recordSize, &ok));
    if (!ok) return Damaged("central directory truncated");
    h = in.data();
    entry.versionMadeBy = Get16(h + 4);
    entry.versionNeeded = Get16(h + 6);
    entry.flags = Get16(h + 8);
    entry.method = Get16(h + 10);
    entry.dosTime = Get16(h + 12);
    entry.dosDate = Get16(h + 14);
    entry.crc = Get32(h + 16);
    entry.compressedSize = Get32(h + 20);
    entry.uncompressedSize = Get32(h + 24);
    uint16_t diskStart = Get16(h + 34);
    entry.internalAttributes = Get16(h + 36);
    entry.externalAttributes = Get32(h + 38);
    entry.localHeaderOffset = Get32(h + 42);
    const char* text = reinterpret_cast<const char*>(h + kCentralHeaderSize);
    entry.rawName.assign(text, nameSize);
    entry.extra.assign(text + nameSize, extraSize);
    entry.comment.assign(text + nameSize + extraSize, commentSize);
    in.Skip(recordSize);
    entry.name = DecodeEntryName(entry.rawName, entry.flags, entry.extra);
    CV_RETURN_IF_ERROR(ResolveZip64(entry, entry.uncompressedSize == kZip64Marker32,
                                    entry.compressedSize == kZip64Marker32,
                                    entry.localHeaderOffset == kZip64Marker32));
    if (diskStart != 0 && diskStart != kZip64Marker16) {
      return Damaged("multi-part archives are not supported");
    }
    if (entry.localHeaderOffset > m_info.centralOffset - m_info.prefixSize) {
      return Damaged(entry.name + ": local header offset past the central directory");
    }
    entry.localHeaderOffset += m_info.prefixSize;
    ReadTimes(entry);
    ++seen;
    CV_RETURN_IF_ERROR(visit(entry));
  }
  // 16-bit counts wrap in archives with more than 65535 entries written without zip64.
  bool countOk =
      m_info.zip64 ? seen == m_info.declaredEntries : (seen & 0xffff) == m_info.declaredEntries;
  if (!countOk)
    return Damaged("central directory holds a different number of entries than declared");
  return {};
}

Status ArchiveReader::ReadEntries(std::vector<Entry>* entries) const {
  entries->clear();
  return ForEachEntry([entries](Entry& entry) {
    entries->push_back(entry);
    return Status();
  });
}

Status ArchiveReader::LocateData(const Entry& entry, uint64_t limit, uint64_t* dataOffset) const {
  if (limit == 0) return BadEntry("overlaps another entry, refused");
  // One read normally covers the header, its name and extra field.
  unsigned char buffer[1024];
  size_t want = size_t(std::min<uint64_t>(sizeof buffer, limit - entry.localHeaderOffset));
  size_t got = 0;
  if (entry.localHeaderOffset + kLocalHeaderSize > limit ||
      !m_file.ReadAt(entry.localHeaderOffset, buffer, want, &got).ok() || got < kLocalHeaderSize ||
      Get32(buffer) != kLocalHeaderSig) {
    return BadEntry("local header missing or damaged");
  }
  const unsigned char* h = buffer;
  size_t nameSize = Get16(h + 26), extraSize = Get16(h + 28);
  uint64_t start = entry.localHeaderOffset + kLocalHeaderSize + nameSize + extraSize;
  if (start > limit) return BadEntry("local header overlaps the next entry");
  std::string text;
  if (kLocalHeaderSize + nameSize + extraSize <= got) {
    text.assign(reinterpret_cast<const char*>(h + kLocalHeaderSize), nameSize + extraSize);
  } else {
    text.resize(nameSize + extraSize);
    CV_RETURN_IF_ERROR(
        m_file.ReadExactAt(entry.localHeaderOffset + kLocalHeaderSize, text.data(), text.size()));
  }
  if (std::string_view(text).substr(0, nameSize) != entry.rawName) {
    return BadEntry("local and central headers disagree on the name");
  }
  uint16_t flags = Get16(h + 6);
  if (Get16(h + 8) != entry.method) {
    return BadEntry("local and central headers disagree on the method");
  }
  if ((flags & kFlagEncrypted) != (entry.flags & kFlagEncrypted)) {
    return BadEntry("local and central headers disagree on encryption");
  }
  uint32_t crc = Get32(h + 14);
  uint64_t compressed = Get32(h + 18), uncompressed = Get32(h + 22);
  if (compressed == kZip64Marker32 || uncompressed == kZip64Marker32) {
    // A local zip64 field holds both sizes, uncompressed first.
    bool found = false;
    ForEachExtra(std::string_view(text).substr(nameSize),
                 [&](uint16_t tag, const unsigned char* d, uint16_t size) {
                   if (tag != kExtraZip64 || found || size < 16) return;
                   found = true;
                   uncompressed = Get64(d);
                   compressed = Get64(d + 8);
                 });
    if (!found) return BadEntry("local zip64 extra field missing");
  }
  if (flags & kFlagDataDescriptor) {
    // The sizes and CRC follow the data; the local header may hold zeros or the real values.
    if ((crc != 0 && crc != entry.crc) || (compressed != 0 && compressed != entry.compressedSize) ||
        (uncompressed != 0 && uncompressed != entry.uncompressedSize)) {
      return BadEntry("local and central headers disagree on CRC or sizes");
    }
  } else if (crc != entry.crc || compressed != entry.compressedSize ||
             uncompressed != entry.uncompressedSize) {
    return BadEntry("local and central headers disagree on CRC or sizes");
  }
  if (entry.compressedSize > limit - start) {
    return BadEntry("data overlaps the next entry or the central directory");
  }
  *dataOffset = start;
  return {};
}

EntrySpan SpanOf(const Entry& entry) {
  // Saturating: a compressed size near 2^64 must not wrap into a small span.
  uint64_t header = kLocalHeaderSize + entry.rawName.size();
  uint64_t size =
      entry.compressedSize > UINT64_MAX - header ? UINT64_MAX : header + entry.compressedSize;
  return {entry.localHeaderOffset, size};
}

std::vector<uint64_t> ComputeEntryLimits(const std::vector<Entry>& entries,
                                         const ArchiveInfo& info) {
  std::vector<EntrySpan> spans;
  spans.reserve(entries.size());
  for (const Entry& e : entries) spans.push_back(SpanOf(e));
  return ComputeEntryLimits(spans, info);
}

std::vector<uint64_t> ComputeEntryLimits(const std::vector<EntrySpan>& spans,
                                         const ArchiveInfo& info) {
  std::vector<uint32_t> order(spans.size());
  std::iota(order.begin(), order.end(), uint32_t(0));
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return spans[a].localHeaderOffset < spans[b].localHeaderOffset;
  });
  std::vector<uint64_t> limits(spans.size(), 0);
  for (size_t k = 0; k < order.size(); ++k) {
    const EntrySpan& e = spans[order[k]];
    uint64_t limit =
        k + 1 < order.size() ? spans[order[k + 1]].localHeaderOffset : info.centralOffset;
    bool sharesStart = (k > 0 && spans[order[k - 1]].localHeaderOffset == e.localHeaderOffset) ||
                       limit == e.localHeaderOffset;
    bool fits = e.localHeaderOffset <= limit && e.minimalSize <= limit - e.localHeaderOffset;
    limits[order[k]] = sharesStart || !fits ? 0 : limit;
  }
  return limits;
}

}  // namespace cv
