// The new archive while it is written: a temporary file beside the archive that receives entries
// copied raw from the old archive and new ones, then the central directory and the end records,
// and replaces the archive only on Finish. Dropped unfinished, it leaves the archive as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/entry.h"
#include "core/reader.h"
#include "core/status.h"
#include "platform/temporary_file.h"
#include "zip/records.h"

namespace cv {

class ArchiveWriter {
 public:
  // `old`: the archive being changed, or nullptr for a new one; it must stay open until Finish.
  ArchiveWriter(const std::string& archive, ArchiveReader* old) : m_archive(archive), m_old(old) {}

  // Creates the temporary file and copies the bytes in front of the first entry of `entries` (a
  // self-extractor stub).
  Status Begin(const std::vector<Entry>& entries);

  // The offset of the next byte written, raw copies waiting included.
  uint64_t offset() const { return m_offset; }
  Status Write(const void* data, size_t size);
  Status Write(const std::string& s) { return Write(s.data(), s.size()); }
  // Rewrites bytes written earlier, leaving the end where it is.
  Status Patch(uint64_t at, const std::string& bytes);
  // Takes back everything from `at` on.
  Status TruncateTo(uint64_t at);

  // Copies an entry of the old archive as it is (header, data, data descriptor: its bytes up to
  // `limit`, the next entry or the central directory); its texts move to the new directory.
  Status CopyEntry(Entry& entry, uint64_t limit);
  // Adds the central record of an entry written here.
  void AddToDirectory(WriteEntry entry) { m_central.push_back(std::move(entry)); }

  // Writes the central directory and the end records with `comment`, and replaces the archive.
  // kStopped, the archive untouched, when the progress callback asks to stop.
  Status Finish(const std::string& comment);

  // Called between the pieces of long copies and of the central directory with last false, and
  // once with last true just before the archive is replaced; true stops the run (kStopped).
  void SetProgress(std::function<bool(bool last)> progress) { m_progress = std::move(progress); }
  // The bytes of entries copied from the old archive so far (the bytes before its first entry
  // not counted).
  uint64_t copied() const { return m_copied; }

 private:
  // Queues bytes of the old archive for copying; adjacent ranges are copied in one go.
  Status CopyBytes(uint64_t from, uint64_t size);
  Status FlushCopy();

  std::string m_archive;
  ArchiveReader* m_old;
  TemporaryFile m_temporary;
  uint64_t m_offset = 0;
  uint64_t m_copyFrom = 0;
  uint64_t m_copySize = 0;
  std::vector<WriteEntry> m_central;
  std::function<bool(bool last)> m_progress;
  uint64_t m_copied = 0;
  uint64_t m_uncounted = 0;  // queued bytes before the first entry, which no progress counts
};

}  // namespace cv
