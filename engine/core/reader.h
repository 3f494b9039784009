// Reading an archive: its end records (end_record.h), the central directory record by record, and
// each entry's local header. Nothing here allocates by a count or size the archive claims: records
// are read as they come and checked against the file's real size.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/end_record.h"
#include "core/entry.h"
#include "core/status.h"
#include "platform/file.h"

namespace cv {

class CodePage;

// What one read of a local header takes in besides it: a small entry's data comes with its header.
// Large enough for most files of a source tree; reading more would only move the workers' reading
// onto the one thread that decides.
constexpr size_t kEntryReadSize = 64 * 1024;

class ArchiveReader {
 public:
  // Opens the archive and reads its end records. kNotFound when the file is missing, kNotZip
  // when it is empty or has no end record, kBadArchive when the records contradict each other or
  // the file.
  Status Open(const std::string& path);

  const ArchiveInfo& info() const { return m_info; }
  // Names without the UTF-8 flag that are not valid UTF-8 are read in `codePage` (see
  // DecodeEntryName); nullptr: in code page 437. Borrowed: it must outlive the reader's use.
  void SetNameCodePage(CodePage* codePage) { m_codePage = codePage; }
  const File& file() const { return m_file; }

  // Calls `visit` for each central directory record in order; the Entry is reused between calls.
  // Stops at the first failed status of `visit` and returns it. kBadArchive for a damaged or
  // truncated directory, or a record count that disagrees with the end record.
  Status ForEachEntry(const std::function<Status(Entry&)>& visit) const;
  Status ReadEntries(std::vector<Entry>* entries) const;

  // Reads the entry's local header and checks it against the central record (name, method,
  // encryption and its AES field, CRC and sizes unless a data descriptor carries them) and that
  // header and data end at or before `limit` (the next entry's header or the central directory; see
  // overlap.h). Sets `*dataOffset` to the first byte of the entry's data. kBadEntry on any
  // disagreement.
  //
  // With `read`, and when the header and data look from the central record as if they fit
  // kEntryReadSize bytes, one read of that many (at most up to `limit`) brings both: `read->data`
  // then points at the data in `read->buffer`, else it is null and the data is still to be read.
  struct LocalRead {
    std::vector<unsigned char> buffer;    // reused from entry to entry
    const unsigned char* data = nullptr;  // all of the entry's compressed data; null: not read
  };
  Status LocateData(const Entry& entry, uint64_t limit, uint64_t* dataOffset,
                    LocalRead* read = nullptr) const;

 private:
  File m_file;
  ArchiveInfo m_info;
  CodePage* m_codePage = nullptr;
};

}  // namespace cv
