// Writing new entries: a scanned folder, or a file whose blocks come compressed, in order, from
// the pipeline; encrypted when asked (traditional or AES), and stored when deflate did not make it
// smaller.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "core/aes.h"
#include "core/crypto.h"
#include "zip/archive_writer.h"
#include "zip/messages.h"
#include "zip/pipeline.h"
#include "zip/run.h"
#include "zip/scan.h"

namespace cv {

class EntryWriter {
 public:
  // `password` is used when the options ask for encryption, `crypto` (the system's primitives)
  // when they ask for AES. All must outlive the writer.
  EntryWriter(ArchiveWriter& out, CompressPipeline& pipeline, const ZipOptions& options,
              const std::string& password, const CryptoLibrary* crypto, ZipMessages& messages)
      : m_out(out),
        m_pipeline(pipeline),
        m_options(options),
        m_password(password),
        m_crypto(crypto),
        m_messages(messages) {}

  // `replacing`: an entry of the same name is replaced (the message says "updating").
  Status WriteFolder(const ScanItem& item, bool replacing);
  // Takes the file's blocks from the pipeline, which hands out the files in the order they are
  // written. A file that cannot be read, or changes size while it is read, is a warning: nothing
  // is written for it and `*unread` is set, so that the entry it was to replace can be kept.
  Status WriteFile(const ScanItem& item, bool replacing, bool* unread);

  // Called after each block written; true stops the run (kStopped).
  void SetTick(std::function<bool()> tick) { m_tick = std::move(tick); }

  uint64_t totalIn() const { return m_totalIn; }
  uint64_t totalOut() const { return m_totalOut; }

 private:
  // The encryption of the entry being written.
  struct Cipher {
    ZipCrypto traditional;
    AesCipher aes;
  };

  WriteEntry NewEntry(const ScanItem& item) const;
  // Sets what the headers say of the data: its method (method 99 and the AES field naming it, for
  // AES), the level bits, encryption and the version needed. `extra` is the entry's own extra
  // field, without the AES field.
  void Describe(WriteEntry& e, uint16_t method, uint64_t size, const std::string& extra) const;
  // The bytes encryption adds around the data at most.
  uint64_t FrameSize() const;
  // What comes before the data: the traditional encryption header, or the AES salt and check
  // value, made by the pipeline with `first` or else here (a new salt each time).
  Status BeginEncryption(const WriteEntry& e, const BlockResult* first, Cipher& cipher);
  Status Encrypt(Cipher& cipher, uint8_t* data, size_t size);
  // What comes after the data: the AES authentication code.
  Status EndEncryption(Cipher& cipher);
  // Writes the file again, stored; a failed read goes to `*readFailure`.
  Status WriteStored(const PipelineSource& source, WriteEntry& e, Cipher& cipher,
                     Status* readFailure);
  Status Unread(const ScanItem& item, bool replacing, const Status& why, bool* unread);
  Status DrainSource(size_t source, BlockResult& r);
  // The pipeline's next block; kStopped when waiting for it was given up.
  Status NextBlock(BlockResult* r);
  bool StopAsked() { return m_tick && m_tick(); }

  ArchiveWriter& m_out;
  CompressPipeline& m_pipeline;
  const ZipOptions& m_options;
  const std::string& m_password;
  const CryptoLibrary* m_crypto;
  ZipMessages& m_messages;
  std::mt19937 m_random{std::random_device{}()};
  uint64_t m_totalIn = 0;
  uint64_t m_totalOut = 0;
  std::function<bool()> m_tick;
};

// Compressed size as a whole percentage saved, 0 when nothing was.
int PercentSaved(uint64_t compressed, uint64_t size);

}  // namespace cv
