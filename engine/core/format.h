// Record layouts and constants of the ZIP format (PKWARE's application note), little-endian on
// disk, read and written field by field so that no layout depends on the compiler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace cv {

inline constexpr uint32_t kLocalHeaderSig = 0x04034b50;
inline constexpr uint32_t kCentralHeaderSig = 0x02014b50;
inline constexpr uint32_t kEndRecordSig = 0x06054b50;
inline constexpr uint32_t kZip64EndRecordSig = 0x06064b50;
inline constexpr uint32_t kZip64LocatorSig = 0x07064b50;
inline constexpr uint32_t kDataDescriptorSig = 0x08074b50;

inline constexpr size_t kLocalHeaderSize = 30;
inline constexpr size_t kCentralHeaderSize = 46;
inline constexpr size_t kEndRecordSize = 22;
inline constexpr size_t kZip64EndRecordSize = 56;
inline constexpr size_t kZip64LocatorSize = 20;
inline constexpr size_t kMaxCommentSize = 0xffff;
inline constexpr size_t kEncryptionHeaderSize = 12;

// General-purpose flag bits.
inline constexpr uint16_t kFlagEncrypted = 0x0001;
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr uint16_t kFlagStrongEncryption = 0x0040;
inline constexpr uint16_t kFlagUtf8 = 0x0800;

// Methods.
inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflated = 8;
inline constexpr uint16_t kMethodDeflate64 = 9;
inline constexpr uint16_t kMethodAes = 99;

// Extra-field tags.
inline constexpr uint16_t kExtraZip64 = 0x0001;
inline constexpr uint16_t kExtraNtfs = 0x000a;
inline constexpr uint16_t kExtraUnixTime = 0x5455;
inline constexpr uint16_t kExtraUnicodePath = 0x7075;

// "Made by" host systems (high byte of version made by).
inline constexpr uint8_t kHostUnix = 3;

// Internal attribute bit 0: the entry holds text.
inline constexpr uint16_t kInternalText = 0x0001;

// 32-bit values that say "look in the zip64 extra field".
inline constexpr uint32_t kZip64Marker32 = 0xffffffff;
inline constexpr uint16_t kZip64Marker16 = 0xffff;

inline uint16_t Get16(const unsigned char* p) {
  return uint16_t(p[0] | p[1] << 8);
}
inline uint32_t Get32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t Get64(const unsigned char* p) {
  return Get32(p) | uint64_t(Get32(p + 4)) << 32;
}

inline void Put16(unsigned char* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void Put32(unsigned char* p, uint32_t v) {
  Put16(p, uint16_t(v));
  Put16(p + 2, uint16_t(v >> 16));
}
inline void Put64(unsigned char* p, uint64_t v) {
  Put32(p, uint32_t(v));
  Put32(p + 4, uint32_t(v >> 32));
}

inline void Append16(std::string& s, uint16_t v) {
  unsigned char b[2];
  Put16(b, v);
  s.append(reinterpret_cast<char*>(b), 2);
}
inline void Append32(std::string& s, uint32_t v) {
  unsigned char b[4];
  Put32(b, v);
  s.append(reinterpret_cast<char*>(b), 4);
}
inline void Append64(std::string& s, uint64_t v) {
  unsigned char b[8];
  Put64(b, v);
  s.append(reinterpret_cast<char*>(b), 8);
}

// Calls visit(tag, data, size) for each block of a run of tagged blocks (a 16-bit tag, a 16-bit
// size, then the data), as extra fields and the attributes of an NTFS extra field are laid out.
// Stops at a block that does not fit.
template <typename Visit>
void ForEachTagged(std::string_view blocks, Visit visit) {
  const auto* p = reinterpret_cast<const unsigned char*>(blocks.data());
  size_t pos = 0;
  while (pos + 4 <= blocks.size()) {
    uint16_t tag = Get16(p + pos);
    uint16_t size = Get16(p + pos + 2);
    if (pos + 4 + size > blocks.size()) return;
    visit(tag, p + pos + 4, size);
    pos += 4 + size;
  }
}

// The extra-field blocks without those of the given tag; a malformed tail is dropped.
inline std::string WithoutTag(std::string_view extra, uint16_t tag) {
  std::string kept;
  ForEachTagged(extra, [&](uint16_t t, const unsigned char* data, uint16_t size) {
    if (t != tag) kept.append(reinterpret_cast<const char*>(data) - 4, size_t(size) + 4);
  });
  return kept;
}

}  // namespace cv
