#include "zip/entry_writer.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>

#include "core/format.h"
#include "core/times.h"
#include "platform/folder.h"

namespace cv {
namespace {

bool IsAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

int PercentSaved(uint64_t compressed, uint64_t size) {
  if (size == 0 || compressed >= size) return 0;
  return int((size - compressed) * 100 / size);
}

WriteEntry EntryWriter::NewEntry(const ScanItem& item) const {
  WriteEntry e;
  e.name = item.storedName;
  e.versionMadeBy = VersionMadeBy();
  e.versionNeeded = item.info.isDirectory ? 20 : 10;
  if (!IsAscii(e.name)) e.flags |= kFlagUtf8;
  const DosTime d = ToDosTime(item.info.mtime);
  e.dosDate = d.date;
  e.dosTime = d.time;
  e.externalAttributes = item.info.externalAttributes;
  e.extra = TimestampExtra(item.info.mtime);
  e.localOffset = m_out.offset();
  return e;
}

Status EntryWriter::WriteFolder(const ScanItem& item, bool replacing) {
  if (m_messages.StopRequested(item.storedName))
    return {StatusKind::kStopped, "stopped by request"};
  WriteEntry e = NewEntry(item);
  CV_RETURN_IF_ERROR(m_out.Write(LocalHeader(e, false, e.extra)));
  m_messages.Say(std::string(replacing ? "updating: " : "  adding: ") + item.storedName +
                 " (stored 0%)");
  m_out.AddToDirectory(std::move(e));
  return {};
}

Status EntryWriter::NextBlock(BlockResult* r) {
  if (m_pipeline.Next(r)) return {};
  if (m_pipeline.gaveUp()) return {StatusKind::kStopped, "stopped by request"};
  return {StatusKind::kIo, "compression ended early"};
}

Status EntryWriter::DrainSource(size_t source, BlockResult& r) {
  while (!r.last) {
    CV_RETURN_IF_ERROR(NextBlock(&r));
    if (r.source != source) return {StatusKind::kIo, "compression out of order"};
  }
  return {};
}

Status EntryWriter::Unread(const ScanItem& item, bool replacing, const Status& why, bool* unread) {
  *unread = true;
  m_messages.Warn("could not read " + item.storedName + " (" + why.message() +
                  "): " + (replacing ? "its entry is kept as it was" : "it is not added"));
  return {};
}

void EntryWriter::Describe(WriteEntry& e, uint16_t method, uint64_t size,
                           const std::string& extra) const {
  e.method = method;
  e.flags &= uint16_t(~0x6);
  e.versionNeeded = method == kMethodDeflated ? 20 : 10;
  if (method == kMethodDeflated) {
    if (m_options.level >= 8) e.flags |= 0x2;
    if (m_options.level == 2) e.flags |= 0x4;
    if (m_options.level == 1) e.flags |= 0x6;
  }
  e.extra = extra;
  if (!m_options.encrypt) return;
  e.flags |= kFlagEncrypted;
  if (!m_options.aes) {
    // The check byte must be known before the data: the CRC goes in a data descriptor.
    e.flags |= kFlagDataDescriptor;
    e.versionNeeded = std::max<uint16_t>(e.versionNeeded, 20);
    return;
  }
  e.method = kMethodAes;
  e.versionNeeded = 51;
  AesField field;
  field.vendorVersion = AesVendorVersion(size);
  field.strength = *m_options.aes;
  field.method = method;
  e.extra += AesExtraField(field);
}

uint64_t EntryWriter::FrameSize() const {
  if (!m_options.encrypt) return 0;
  return m_options.aes ? AesOverhead(*m_options.aes) : kEncryptionHeaderSize;
}

Status EntryWriter::BeginEncryption(const WriteEntry& e, const BlockResult* first, Cipher& cipher) {
  if (!m_options.encrypt) return {};
  if (m_options.aes) {
    AesHeader header;
    AesKeys keys;
    if (first && first->framed) {
      header = first->aesHeader;
      keys = first->aesKeys;
    } else {
      if (first) CV_RETURN_IF_ERROR(first->frameStatus);
      CV_RETURN_IF_ERROR(NewAesHeader(*m_crypto, m_password, *m_options.aes, &header, &keys));
    }
    CV_RETURN_IF_ERROR(cipher.aes.Init(*m_crypto, keys));
    CV_RETURN_IF_ERROR(m_out.Write(header.salt, AesSaltSize(header.strength)));
    return m_out.Write(header.check, kAesCheckSize);
  }
  cipher.traditional.Init(m_password);
  unsigned char header[kEncryptionHeaderSize];
  for (auto& b : header) b = uint8_t(m_random());
  // The check byte must be known before the data: with a data descriptor it is the high byte of
  // the DOS time instead of the CRC's.
  header[kEncryptionHeaderSize - 1] = uint8_t(e.dosTime >> 8);
  cipher.traditional.Encrypt(header, sizeof header);
  return m_out.Write(header, sizeof header);
}

Status EntryWriter::Encrypt(Cipher& cipher, uint8_t* data, size_t size) {
  if (!m_options.encrypt) return {};
  if (m_options.aes) return cipher.aes.Encrypt(data, size);
  cipher.traditional.Encrypt(data, size);
  return {};
}

Status EntryWriter::EndEncryption(Cipher& cipher) {
  if (!m_options.encrypt || !m_options.aes) return {};
  uint8_t code[kAesCodeSize];
  CV_RETURN_IF_ERROR(cipher.aes.Finish(code));
  return m_out.Write(code, sizeof code);
}

Status EntryWriter::WriteStored(const PipelineSource& source, WriteEntry& e, Cipher& cipher,
                                Status* readFailure) {
  uint32_t crc = 0;
  uint64_t size = 0;
  std::vector<uint8_t> block;
  const uint64_t blocks = CompressPipeline::BlockCount(source.size);
  for (uint64_t b = 0; b < blocks; ++b) {
    const uint64_t offset = b * kBlockSize;
    *readFailure = ReadSourceBlock(
        source, offset, std::min<uint64_t>(kBlockSize, source.size - offset), &block, nullptr);
    if (!readFailure->ok()) return {};
    crc = libdeflate_crc32(crc, block.data(), block.size());
    size += block.size();
    CV_RETURN_IF_ERROR(Encrypt(cipher, block.data(), block.size()));
    CV_RETURN_IF_ERROR(m_out.Write(block.data(), block.size()));
    if (StopAsked()) return {StatusKind::kStopped, "stopped by request"};
  }
  if (crc != e.crc || size != e.uncompressedSize) {
    *readFailure = {StatusKind::kIo, "the file changed while it was read"};
  }
  return {};
}

Status EntryWriter::WriteFile(const ScanItem& item, bool replacing, bool* unread) {
  *unread = false;
  BlockResult r;
  CV_RETURN_IF_ERROR(NextBlock(&r));
  const size_t source = r.source;
  const PipelineSource& src = m_pipeline.source(source);
  if (!r.status.ok()) {
    CV_RETURN_IF_ERROR(DrainSource(source, r));
    return Unread(item, replacing, r.status, unread);
  }
  if (m_messages.StopRequested(item.storedName))
    return {StatusKind::kStopped, "stopped by request"};

  WriteEntry e = NewEntry(item);
  const std::string extra = e.extra;
  const uint64_t start = m_out.offset();
  const bool multiBlock = !r.last;
  uint16_t method = r.deflated ? kMethodDeflated : kMethodStored;
  Describe(e, method, src.size, extra);
  if (src.lineEnds != LineEnds::Keep) e.internalAttributes |= kInternalText;
  // The header is written before the data and patched in place afterwards, so its length is
  // fixed: it gets zip64 size fields when the data could reach them, compressed at worst.
  const bool zip64 =
      CompressPipeline::MaxDataSize(src.size, src.lineEnds) + FrameSize() >= kZip64Limit;
  CV_RETURN_IF_ERROR(m_out.Write(LocalHeader(e, zip64, e.extra)));
  const uint64_t dataStart = m_out.offset();
  Cipher cipher;
  CV_RETURN_IF_ERROR(BeginEncryption(e, &r, cipher));
  const uint64_t header = m_out.offset() - dataStart;
  uint32_t crc = 0;
  uint64_t size = 0;
  for (;;) {
    crc = uint32_t(crc32_combine(crc, r.crc, z_off_t(r.size)));
    size += r.size;
    CV_RETURN_IF_ERROR(Encrypt(cipher, r.bytes(), r.byteCount()));
    CV_RETURN_IF_ERROR(m_out.Write(r.bytes(), r.byteCount()));
    if (r.last) break;
    if (StopAsked()) return {StatusKind::kStopped, "stopped by request"};
    CV_RETURN_IF_ERROR(NextBlock(&r));
    if (!r.status.ok()) {
      // A read failed part way: the entry is taken out again.
      CV_RETURN_IF_ERROR(m_out.TruncateTo(start));
      CV_RETURN_IF_ERROR(DrainSource(source, r));
      return Unread(item, replacing, r.status, unread);
    }
  }
  e.crc = crc;
  e.uncompressedSize = size;
  if (multiBlock && method == kMethodDeflated && m_out.offset() - dataStart - header >= size) {
    // Deflate did not shrink this file: it is written again, stored.
    CV_RETURN_IF_ERROR(m_out.TruncateTo(start));
    method = kMethodStored;
    Describe(e, method, size, extra);
    CV_RETURN_IF_ERROR(m_out.Write(LocalHeader(e, zip64, e.extra)));
    CV_RETURN_IF_ERROR(BeginEncryption(e, nullptr, cipher));
    Status readFailure;
    CV_RETURN_IF_ERROR(WriteStored(src, e, cipher, &readFailure));
    if (!readFailure.ok()) {
      CV_RETURN_IF_ERROR(m_out.TruncateTo(start));
      return Unread(item, replacing, readFailure, unread);
    }
  } else if (m_options.aes) {
    // The size may differ from the scanned one: the AES field follows the size written.
    Describe(e, method, size, extra);
  }
  CV_RETURN_IF_ERROR(EndEncryption(cipher));
  e.compressedSize = m_out.offset() - dataStart;
  if (m_options.encrypt && !m_options.aes) {
    std::string descriptor;
    Append32(descriptor, kDataDescriptorSig);
    Append32(descriptor, e.crc);
    for (uint64_t v : {e.compressedSize, e.uncompressedSize}) {
      if (zip64) {
        Append64(descriptor, v);
      } else {
        Append32(descriptor, uint32_t(v));
      }
    }
    CV_RETURN_IF_ERROR(m_out.Write(descriptor));
  } else {
    if (m_options.aes && AesVendorVersion(size) == 2) e.crc = 0;
    CV_RETURN_IF_ERROR(m_out.Patch(start, LocalHeader(e, zip64, e.extra)));
  }
  m_totalIn += e.uncompressedSize;
  m_totalOut += e.compressedSize;
  const int percent = PercentSaved(e.compressedSize, e.uncompressedSize);
  m_messages.Say(std::string(replacing ? "updating: " : "  adding: ") + item.storedName + " (" +
                 (method == kMethodDeflated ? "deflated " : "stored ") + std::to_string(percent) +
                 "%)");
  m_out.AddToDirectory(std::move(e));
  return {};
}

}  // namespace cv
