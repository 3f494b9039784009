// Decoding one entry's data: read, decrypt, inflate, check and write, in constant memory whatever
// the entry's size. Runs on the extraction's worker threads; it calls no callback.
#pragma once

#include <cstdint>
#include <vector>

#include "core/crypto.h"
#include "core/status.h"
#include "platform/file.h"

namespace cv {

struct DecodeRequest {
  const File* archive = nullptr;
  uint64_t dataOffset = 0;        // first byte after the encryption header, if any
  uint64_t compressedSize = 0;    // without the encryption header
  uint64_t uncompressedSize = 0;  // what the central directory says; more or less is an error
  uint16_t method = 0;            // stored or deflated
  uint32_t crc = 0;
  bool encrypted = false;
  ZipCrypto keys;         // ready to decrypt the data (header already consumed)
  bool lfToCrlf = false;  // write a lone LF as CR LF (the CRC is of the stored data)
  // Decompress and check-and-write on two threads, so that CRC and writing overlap with a long
  // single inflate stream.
  bool overlapped = false;
  // Output buffer to reuse (a worker keeps one for all its entries: zero-filling a fresh one per
  // entry costs more than decoding a small entry); nullptr: a buffer of its own.
  std::vector<unsigned char>* scratch = nullptr;
};

// Decodes the entry into `out` (nullptr: test only) and checks its CRC and sizes. kBadEntry with
// the reason on damaged data (the caller adds the entry's name); kIo or kDiskFull when writing
// fails.
Status DecodeEntryData(const DecodeRequest& request, File* out);

}  // namespace cv
