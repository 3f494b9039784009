#include "zip/archive_writer.h"

#include <algorithm>

#include "core/format.h"

namespace cv {
namespace {
constexpr size_t kDirectoryBatch = 1 << 20;
// Long copies go in pieces of this size when someone follows the progress.
constexpr uint64_t kCopyPiece = 16 << 20;

Status Stopped() {
  return {StatusKind::kStopped, "stopped by request"};
}
}  // namespace

Status ArchiveWriter::Begin(const std::vector<Entry>& entries) {
  CV_RETURN_IF_ERROR(TemporaryFile::Create(m_archive, &m_temporary));
  m_offset = 0;
  if (entries.empty()) return {};
  // Bytes in front of the first entry (a self-extractor stub) are kept.
  uint64_t first = m_old->info().centralOffset;
  for (const Entry& e : entries) first = std::min(first, e.localHeaderOffset);
  m_uncounted = first;
  return CopyBytes(0, first);
}

Status ArchiveWriter::Write(const void* data, size_t size) {
  CV_RETURN_IF_ERROR(FlushCopy());
  CV_RETURN_IF_ERROR(m_temporary.file().Write(data, size));
  m_offset += size;
  return {};
}

Status ArchiveWriter::Patch(uint64_t at, const std::string& bytes) {
  return m_temporary.file().WriteAt(at, bytes.data(), bytes.size());
}

Status ArchiveWriter::TruncateTo(uint64_t at) {
  CV_RETURN_IF_ERROR(FlushCopy());
  CV_RETURN_IF_ERROR(m_temporary.file().Truncate(at));
  m_offset = at;
  return {};
}

Status ArchiveWriter::CopyBytes(uint64_t from, uint64_t size) {
  if (m_copySize == 0 || m_copyFrom + m_copySize != from) {
    CV_RETURN_IF_ERROR(FlushCopy());
    m_copyFrom = from;
  }
  m_copySize += size;
  m_offset += size;
  return {};
}

Status ArchiveWriter::FlushCopy() {
  if (m_copySize == 0) return {};
  uint64_t from = m_copyFrom, size = m_copySize;
  m_copySize = 0;
  if (!m_progress) return m_temporary.file().AppendCopy(m_old->file(), from, size);
  while (size > 0) {
    const uint64_t piece = std::min(size, kCopyPiece);
    CV_RETURN_IF_ERROR(m_temporary.file().AppendCopy(m_old->file(), from, piece));
    const uint64_t uncounted = std::min(piece, m_uncounted);
    m_uncounted -= uncounted;
    m_copied += piece - uncounted;
    from += piece;
    size -= piece;
    if (m_progress(false)) return Stopped();
  }
  return {};
}

Status ArchiveWriter::CopyEntry(Entry& en, uint64_t limit) {
  if (limit < en.localHeaderOffset + kLocalHeaderSize + en.rawName.size() + en.compressedSize) {
    return {StatusKind::kBadEntry, "damaged entry " + en.name + " in " + m_archive};
  }
  WriteEntry e;
  e.name = std::move(en.rawName);
  e.versionMadeBy = en.versionMadeBy;
  e.versionNeeded = en.versionNeeded;
  e.flags = en.flags;
  e.method = en.method;
  e.dosTime = en.dosTime;
  e.dosDate = en.dosDate;
  e.crc = en.crc;
  e.compressedSize = en.compressedSize;
  e.uncompressedSize = en.uncompressedSize;
  e.internalAttributes = en.internalAttributes;
  e.externalAttributes = en.externalAttributes;
  e.extra = WithoutTag(en.extra, kExtraZip64);
  e.comment = std::move(en.comment);
  e.localOffset = m_offset;
  CV_RETURN_IF_ERROR(CopyBytes(en.localHeaderOffset, limit - en.localHeaderOffset));
  m_central.push_back(std::move(e));
  return {};
}

Status ArchiveWriter::Finish(const std::string& comment) {
  const uint64_t directoryOffset = m_offset;
  std::string batch;
  CV_RETURN_IF_ERROR(FlushCopy());
  if (m_progress && m_progress(false)) return Stopped();
  for (const WriteEntry& e : m_central) {
    batch += CentralHeader(e);
    if (batch.size() >= kDirectoryBatch) {
      CV_RETURN_IF_ERROR(Write(batch));
      batch.clear();
      if (m_progress && m_progress(false)) return Stopped();
    }
  }
  CV_RETURN_IF_ERROR(Write(batch));
  CV_RETURN_IF_ERROR(
      Write(EndRecords(m_central.size(), directoryOffset, m_offset - directoryOffset, comment)));
  // The last word before the archive changes: a stop here still leaves it as it was.
  if (m_progress && m_progress(true)) return Stopped();
  // The old archive must be let go of before it can be replaced on Windows.
  if (m_old) *m_old = ArchiveReader();
  return m_temporary.Commit();
}

}  // namespace cv
