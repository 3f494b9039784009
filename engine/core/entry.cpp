#include "core/entry.h"

#include <cstdio>

#include "core/aes.h"
#include "core/format.h"
#include "core/names.h"

namespace cv {

bool Entry::encrypted() const {
  return (flags & kFlagEncrypted) != 0;
}

bool Entry::isFolder() const {
  return IsFolderName(name);
}

int64_t Entry::ModificationTime() const {
  return hasUtcTime ? utcTime : FromDosTime(dos());
}

CivilTime Entry::ListedTime() const {
  CivilTime t;
  if (hasUtcTime && LocalCivilTime(utcTime, &t)) return t;
  return CivilFromDos(dos());
}

void Entry::ReadUtcTime() {
  hasUtcTime = false;
  ForEachTagged(extra, [&](uint16_t tag, const unsigned char* d, uint16_t size) {
    if (tag == kExtraNtfs && size >= 32) {
      // Reserved 4 bytes, then attribute blocks; block 1 holds modification, access, creation.
      ForEachTagged(std::string_view(reinterpret_cast<const char*>(d) + 4, size - 4),
                    [&](uint16_t attr, const unsigned char* a, uint16_t attrSize) {
                      // A time no system can set is ignored: the DOS time stands.
                      if (attr == 1 && attrSize >= 8 && UnixTimeFromFileTime(Get64(a), &utcTime)) {
                        hasUtcTime = true;
                      }
                    });
    } else if (tag == kExtraUnixTime && size >= 5 && (d[0] & 1) && !hasUtcTime) {
      utcTime = int32_t(Get32(d + 1));
      hasUtcTime = true;
    }
  });
}

std::string MethodText(const Entry& entry) {
  switch (entry.method) {
    case kMethodStored:
      return "Stored";
    case 1:
      return "Shrunk";
    case 2:
    case 3:
    case 4:
    case 5:
      return "Reduce";
    case 6:
      return "Implode";
    case kMethodDeflated: {
      static const char* const kLevels[] = {"Defl:N", "Defl:X", "Defl:F", "Defl:S"};
      return kLevels[(entry.flags >> 1) & 3];
    }
    case kMethodDeflate64:
      return "Def64";
    case 12:
      return "BZip2";
    case 14:
      return "LZMA";
    case 93:
      return "Zstd";
    case 95:
      return "XZ";
    case 98:
      return "PPMd";
    case kMethodAes: {
      // The key size, when the entry's AES field says it.
      AesField field;
      if (FindAesField(entry.extra, &field) != AesFieldState::kFound) return "AES";
      return "AES-" + std::to_string(AesBits(field.strength));
    }
    default: {
      char text[16];
      std::snprintf(text, sizeof text, "Unk:%03u", unsigned(entry.method));
      return text;
    }
  }
}

}  // namespace cv
