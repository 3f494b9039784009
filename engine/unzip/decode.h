// Decoding one entry's data: read, decrypt, inflate, check and write, in constant memory whatever
// the entry's size. Runs on the extraction's worker threads; it calls no callback.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/aes.h"
#include "core/crypto.h"
#include "core/status.h"
#include "platform/file.h"
#include "platform/memory.h"

struct libdeflate_decompressor;

namespace cv {

// What a worker keeps for all its entries: zero-filling or allocating fresh buffers per entry
// costs more than decoding a small entry.
struct DecodeScratch {
  DecodeScratch() = default;
  ~DecodeScratch();
  DecodeScratch(const DecodeScratch&) = delete;
  DecodeScratch& operator=(const DecodeScratch&) = delete;

  std::vector<unsigned char> chunk;  // the streaming output buffer
  WholeBuffer input, output;
  libdeflate_decompressor* inflater = nullptr;
};

enum class Cipher { kNone, kTraditional, kAes };

struct DecodeRequest {
  const File* archive = nullptr;
  // The data itself: after the traditional encryption header or the AES salt and check value,
  // before the AES authentication code.
  uint64_t dataOffset = 0;
  // The data already in memory, read with the entry's header (null: read from the archive).
  // Only without a cipher, whose header is still to be read.
  const unsigned char* data = nullptr;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;  // what the central directory says; more or less is an error
  uint16_t method = 0;            // of the data itself: stored, deflated or Deflate64
  uint32_t crc = 0;
  bool checkCrc = true;  // false for AES vendor version 2, which stores no CRC
  Cipher cipher = Cipher::kNone;
  ZipCrypto keys;  // traditional: ready to decrypt the data (header already consumed)
  // AES: the system's primitives, the entry's salt and check value, and its keys; while
  // `aesPassword` is set the keys are still to be derived from it (UnlockAes).
  std::shared_ptr<const CryptoLibrary> crypto;
  AesHeader aesHeader;
  AesKeys aesKeys;
  std::optional<std::string> aesPassword;
  bool lfToCrlf = false;  // write a lone LF as CR LF (the CRC is of the stored data)
  // Decompress and check-and-write on two threads, so that CRC and writing overlap with a long
  // single inflate stream.
  bool overlapped = false;
  // The worker's buffers (nullptr: buffers of its own), and the run's budget for whole-entry
  // buffers (nullptr: every entry streams).
  DecodeScratch* scratch = nullptr;
  MemoryBudget* budget = nullptr;
  // The largest whole-entry buffers the worker keeps for its next entries: fresh pages for every
  // entry cost more than inflating one of some 100 KiB. At least 256 KiB.
  size_t keepWhole = 0;
  // The bytes decoded so far, for the calling thread to report (nullptr: not counted), and the
  // run's request to stop, which ends the decoding with kStopped (nullptr: none).
  std::atomic<uint64_t>* decoded = nullptr;
  const std::atomic<bool>* stop = nullptr;
};

// Derives the AES keys of a request whose `aesPassword` is set, on the thread that decodes it (the
// derivation is slow on purpose); kBadPassword when the password does not fit. Nothing else for
// other requests.
Status UnlockAes(DecodeRequest& request);

// Decodes the entry into `out` (nullptr: test only) and checks its authentication code, CRC and
// sizes. kBadEntry with the reason on damaged data (the caller adds the entry's name); kIo or
// kDiskFull when writing fails; kUnsupported when the system's cryptography fails; kStopped when
// the run was asked to stop.
Status DecodeEntryData(const DecodeRequest& request, File* out);

}  // namespace cv
