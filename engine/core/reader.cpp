#include "core/reader.h"

#include <algorithm>

#include "core/aes.h"
#include "core/format.h"
#include "core/names.h"

namespace cv {
namespace {

Status Damaged(const std::string& what) {
  return {StatusKind::kBadArchive, what};
}
Status BadEntry(const std::string& what) {
  return {StatusKind::kBadEntry, what};
}

// Replaces 32-bit markers by the values of the zip64 extra field, which holds the sizes and
// offset present as markers, in this order.
Status ResolveZip64(Entry& entry, bool sizeMarker, bool compMarker, bool offsetMarker) {
  if (!sizeMarker && !compMarker && !offsetMarker) return {};
  bool found = false;
  bool fits = true;
  ForEachTagged(entry.extra, [&](uint16_t tag, const unsigned char* d, uint16_t size) {
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

}  // namespace

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
  status = ReadEndRecords(m_file, &m_info);
  if (status.kind() == StatusKind::kNotZip) {
    return {StatusKind::kNotZip, path + " is not a ZIP archive (no end of central directory)"};
  }
  return status;
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
    entry.name = DecodeEntryName(entry.rawName, entry.extra, entry.flags, m_codePage);
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
    entry.ReadUtcTime();
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

Status ArchiveReader::LocateData(const Entry& entry, uint64_t limit, uint64_t* dataOffset,
                                 LocalRead* read) const {
  if (limit == 0) return BadEntry("overlaps another entry, refused");
  if (read) read->data = nullptr;
  // One read normally covers the header, its name and extra field, and for a small entry its data.
  unsigned char small[1024];
  unsigned char* buffer = small;
  size_t size = sizeof small;
  const uint64_t expected =
      kLocalHeaderSize + entry.rawName.size() + entry.extra.size() + entry.compressedSize;
  if (read && expected <= kEntryReadSize) {
    read->buffer.resize(kEntryReadSize);
    buffer = read->buffer.data();
    size = kEntryReadSize;
  }
  size_t got = 0;
  if (entry.localHeaderOffset + kLocalHeaderSize > limit ||
      !m_file
           .ReadAt(entry.localHeaderOffset, buffer,
                   size_t(std::min<uint64_t>(size, limit - entry.localHeaderOffset)), &got)
           .ok() ||
      got < kLocalHeaderSize || Get32(buffer) != kLocalHeaderSig) {
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
  if (entry.method == kMethodAes) {
    // The salt's length follows from the key size: both headers must say the same.
    AesField local, central;
    if (FindAesField(std::string_view(text).substr(nameSize), &local) != AesFieldState::kFound ||
        FindAesField(entry.extra, &central) != AesFieldState::kFound ||
        local.strength != central.strength || local.method != central.method ||
        local.vendorVersion != central.vendorVersion) {
      return BadEntry("local and central headers disagree on encryption");
    }
  }
  uint32_t crc = Get32(h + 14);
  uint64_t compressed = Get32(h + 18), uncompressed = Get32(h + 22);
  if (compressed == kZip64Marker32 || uncompressed == kZip64Marker32) {
    // A local zip64 field holds both sizes, uncompressed first.
    bool found = false;
    ForEachTagged(std::string_view(text).substr(nameSize),
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
  const uint64_t end = start - entry.localHeaderOffset + entry.compressedSize;
  if (read && buffer != small && end <= got) read->data = buffer + (end - entry.compressedSize);
  return {};
}

}  // namespace cv
