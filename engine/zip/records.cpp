#include "zip/records.h"

#include <algorithm>

#include "core/format.h"

namespace cv {
namespace {

uint32_t Clamp32(uint64_t v) {
  return v >= kZip64Limit ? kZip64Marker32 : uint32_t(v);
}

// A name or field longer than a 16-bit length allows is cut; callers keep names shorter.
uint16_t Length16(size_t n) {
  return uint16_t(std::min<size_t>(n, 0xffff));
}

}  // namespace

std::string LocalHeader(const WriteEntry& e, bool zip64Sizes, std::string_view localExtra) {
  std::string extra;
  if (zip64Sizes) {
    Append16(extra, kExtraZip64);
    Append16(extra, 16);
    Append64(extra, e.uncompressedSize);
    Append64(extra, e.compressedSize);
  }
  extra.append(localExtra);
  std::string h;
  h.reserve(kLocalHeaderSize + e.name.size() + extra.size());
  Append32(h, kLocalHeaderSig);
  Append16(h, zip64Sizes ? std::max<uint16_t>(e.versionNeeded, 45) : e.versionNeeded);
  Append16(h, e.flags);
  Append16(h, e.method);
  Append16(h, e.dosTime);
  Append16(h, e.dosDate);
  const bool descriptor = e.flags & kFlagDataDescriptor;
  Append32(h, descriptor ? 0 : e.crc);
  Append32(h, zip64Sizes ? kZip64Marker32 : descriptor ? 0 : uint32_t(e.compressedSize));
  Append32(h, zip64Sizes ? kZip64Marker32 : descriptor ? 0 : uint32_t(e.uncompressedSize));
  Append16(h, Length16(e.name.size()));
  Append16(h, Length16(extra.size()));
  h.append(e.name, 0, 0xffff);
  h.append(extra, 0, 0xffff);
  return h;
}

std::string CentralHeader(const WriteEntry& e) {
  std::string zip64;
  if (e.uncompressedSize >= kZip64Limit) Append64(zip64, e.uncompressedSize);
  if (e.compressedSize >= kZip64Limit) Append64(zip64, e.compressedSize);
  if (e.localOffset >= kZip64Limit) Append64(zip64, e.localOffset);
  std::string extra;
  if (!zip64.empty()) {
    Append16(extra, kExtraZip64);
    Append16(extra, uint16_t(zip64.size()));
    extra += zip64;
  }
  extra += e.extra;
  uint16_t needed = e.versionNeeded;
  if (!zip64.empty()) needed = std::max<uint16_t>(needed, 45);
  std::string h;
  h.reserve(kCentralHeaderSize + e.name.size() + extra.size() + e.comment.size());
  Append32(h, kCentralHeaderSig);
  Append16(h, e.versionMadeBy);
  Append16(h, needed);
  Append16(h, e.flags);
  Append16(h, e.method);
  Append16(h, e.dosTime);
  Append16(h, e.dosDate);
  Append32(h, e.crc);
  Append32(h, Clamp32(e.compressedSize));
  Append32(h, Clamp32(e.uncompressedSize));
  Append16(h, Length16(e.name.size()));
  Append16(h, Length16(extra.size()));
  Append16(h, Length16(e.comment.size()));
  Append16(h, 0);  // disk number
  Append16(h, e.internalAttributes);
  Append32(h, e.externalAttributes);
  Append32(h, Clamp32(e.localOffset));
  h.append(e.name, 0, 0xffff);
  h.append(extra, 0, 0xffff);
  h.append(e.comment, 0, 0xffff);
  return h;
}

std::string EndRecords(uint64_t entryCount, uint64_t directoryOffset, uint64_t directorySize,
                       std::string_view comment) {
  std::string r;
  // A count of exactly 0xffff is itself the "see zip64" marker, so it needs the zip64 record too.
  const bool zip64 = entryCount >= kZip64Marker16 || directoryOffset >= kZip64Limit ||
                     directorySize >= kZip64Limit;
  if (zip64) {
    const uint64_t recordOffset = directoryOffset + directorySize;
    Append32(r, kZip64EndRecordSig);
    Append64(r, kZip64EndRecordSize - 12);  // size of the rest of the record
    Append16(r, (kHostUnix << 8) | 45);
    Append16(r, 45);
    Append32(r, 0);  // this disk
    Append32(r, 0);  // disk of the central directory
    Append64(r, entryCount);
    Append64(r, entryCount);
    Append64(r, directorySize);
    Append64(r, directoryOffset);
    Append32(r, kZip64LocatorSig);
    Append32(r, 0);
    Append64(r, recordOffset);
    Append32(r, 1);  // total disks
  }
  const uint16_t count16 = entryCount >= kZip64Marker16 ? kZip64Marker16 : uint16_t(entryCount);
  Append32(r, kEndRecordSig);
  Append16(r, 0);
  Append16(r, 0);
  Append16(r, count16);
  Append16(r, count16);
  Append32(r, Clamp32(directorySize));
  Append32(r, Clamp32(directoryOffset));
  const uint16_t commentSize = Length16(comment.size());
  Append16(r, commentSize);
  r.append(comment.substr(0, commentSize));
  return r;
}

std::string TimestampExtra(int64_t unixTime) {
  std::string x;
  if (unixTime < INT32_MIN || unixTime > INT32_MAX) return x;
  Append16(x, kExtraUnixTime);
  Append16(x, 5);
  x.push_back(1);  // modification time present
  Append32(x, uint32_t(int32_t(unixTime)));
  return x;
}

}  // namespace cv
