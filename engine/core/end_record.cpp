#include "core/end_record.h"

#include <algorithm>
#include <vector>

#include "core/format.h"
#include "platform/file.h"

namespace cv {
namespace {

Status Damaged(const std::string& what) {
  return {StatusKind::kBadArchive, what};
}

}  // namespace

Status ReadEndRecords(const File& file, ArchiveInfo* info) {
  const uint64_t fileSize = info->fileSize;
  size_t tailSize = size_t(std::min<uint64_t>(fileSize, kEndRecordSize + kMaxCommentSize));
  uint64_t tailStart = fileSize - tailSize;
  std::vector<unsigned char> tail(tailSize);
  CV_RETURN_IF_ERROR(file.ReadExactAt(tailStart, tail.data(), tailSize));

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
  uint64_t onDisk = Get16(end + 8), count = Get16(end + 10);
  uint64_t cdSize = Get32(end + 12);
  uint64_t cdOffset = Get32(end + 16);
  info->comment.assign(reinterpret_cast<const char*>(end + 22), Get16(end + 20));
  info->endRecordOffset = endOffset;

  // A zip64 locator sits right before the end record.
  bool zip64 = false;
  if (endOffset >= kZip64LocatorSize) {
    unsigned char loc[kZip64LocatorSize];
    CV_RETURN_IF_ERROR(file.ReadExactAt(endOffset - kZip64LocatorSize, loc, sizeof loc));
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
                file.ReadExactAt(record, z, sizeof z).ok() && Get32(z) == kZip64EndRecordSig;
      if (!ok && locatorOffset >= kZip64EndRecordSize) {
        record = locatorOffset - kZip64EndRecordSize;
        ok = file.ReadExactAt(record, z, sizeof z).ok() && Get32(z) == kZip64EndRecordSig &&
             record >= stated;
      }
      if (!ok) return Damaged("zip64 end record not found where the locator points");
      info->prefixSize = record - stated;
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
      info->endRecordOffset = record;
    }
  }
  if (!zip64) {
    if (disk != 0 || cdDisk != 0) return Damaged("multi-part archives are not supported");
    // On the one disk there is, both counts are the same number.
    if (onDisk != count) {
      info->damage = "end record counts disagree (" + std::to_string(onDisk) + " on this disk, " +
                     std::to_string(count) + " in all)";
    }
    if (cdOffset + cdSize > endOffset) {
      return Damaged("central directory extends past the end record");
    }
    info->prefixSize = endOffset - cdSize - cdOffset;
  }
  if (cdOffset > info->endRecordOffset || cdSize > info->endRecordOffset - cdOffset ||
      info->prefixSize > info->endRecordOffset - cdOffset - cdSize) {
    return Damaged("central directory extends past the end record");
  }
  info->centralOffset = cdOffset + info->prefixSize;
  info->centralSize = cdSize;
  info->declaredEntries = count;
  info->zip64 = zip64;
  // Data before the archive is accepted only when the directory really starts where it says.
  if (cdSize > 0) {
    unsigned char sig[4];
    CV_RETURN_IF_ERROR(file.ReadExactAt(info->centralOffset, sig, 4));
    if (Get32(sig) != kCentralHeaderSig) return Damaged("central directory not found");
  } else if (count != 0) {
    return Damaged("end record counts entries but the central directory is empty");
  }
  return {};
}

}  // namespace cv
