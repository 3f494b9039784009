// Writing new entries: a scanned folder, or a file whose blocks come compressed, in order, from
// the pipeline; encrypted when asked, and stored when deflate did not make it smaller.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "core/crypto.h"
#include "zip/archive_writer.h"
#include "zip/messages.h"
#include "zip/pipeline.h"
#include "zip/run.h"
#include "zip/scan.h"

namespace cv {

class EntryWriter {
 public:
  // `password` is used when the options ask for encryption. All must outlive the writer.
  EntryWriter(ArchiveWriter& out, CompressPipeline& pipeline, const ZipOptions& options,
              const std::string& password, ZipMessages& messages)
      : m_out(out),
        m_pipeline(pipeline),
        m_options(options),
        m_password(password),
        m_messages(messages) {}

  // `replacing`: an entry of the same name is replaced (the message says "updating").
  Status WriteFolder(const ScanItem& item, bool replacing);
  // Takes the file's blocks from the pipeline, which hands out the files in the order they are
  // written. A file that cannot be read, or changes size while it is read, is a warning: nothing
  // is written for it and `*unread` is set, so that the entry it was to replace can be kept.
  Status WriteFile(const ScanItem& item, bool replacing, bool* unread);

  uint64_t totalIn() const { return m_totalIn; }
  uint64_t totalOut() const { return m_totalOut; }

 private:
  WriteEntry NewEntry(const ScanItem& item) const;
  Status WriteEncryptionHeader(const WriteEntry& e, ZipCrypto& crypto);
  // Writes the file again, stored; a failed read goes to `*readFailure`.
  Status WriteStored(const PipelineSource& source, WriteEntry& e, ZipCrypto* crypto,
                     Status* readFailure);
  Status Unread(const ScanItem& item, bool replacing, const Status& why, bool* unread);
  Status DrainSource(size_t source, BlockResult& r);

  ArchiveWriter& m_out;
  CompressPipeline& m_pipeline;
  const ZipOptions& m_options;
  const std::string& m_password;
  ZipMessages& m_messages;
  std::mt19937 m_random{std::random_device{}()};
  uint64_t m_totalIn = 0;
  uint64_t m_totalOut = 0;
};

// Compressed size as a whole percentage saved, 0 when nothing was.
int PercentSaved(uint64_t compressed, uint64_t size);

}  // namespace cv
