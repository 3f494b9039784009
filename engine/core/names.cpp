#include "core/names.h"

#include <zlib.h>

#include "core/format.h"
#include "platform/code_page.h"

namespace cv {
namespace {

// Code page 437, bytes 0x80-0xFF.
constexpr char16_t kCp437High[128] = {
    0x00c7, 0x00fc, 0x00e9, 0x00e2, 0x00e4, 0x00e0, 0x00e5, 0x00e7, 0x00ea, 0x00eb, 0x00e8, 0x00ef,
    0x00ee, 0x00ec, 0x00c4, 0x00c5, 0x00c9, 0x00e6, 0x00c6, 0x00f4, 0x00f6, 0x00f2, 0x00fb, 0x00f9,
    0x00ff, 0x00d6, 0x00dc, 0x00a2, 0x00a3, 0x00a5, 0x20a7, 0x0192, 0x00e1, 0x00ed, 0x00f3, 0x00fa,
    0x00f1, 0x00d1, 0x00aa, 0x00ba, 0x00bf, 0x2310, 0x00ac, 0x00bd, 0x00bc, 0x00a1, 0x00ab, 0x00bb,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255d, 0x255c, 0x255b, 0x2510, 0x2514, 0x2534, 0x252c, 0x251c, 0x2500, 0x253c, 0x255e, 0x255f,
    0x255a, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256c, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256b, 0x256a, 0x2518, 0x250c, 0x2588, 0x2584, 0x258c, 0x2590, 0x2580,
    0x03b1, 0x00df, 0x0393, 0x03c0, 0x03a3, 0x03c3, 0x00b5, 0x03c4, 0x03a6, 0x0398, 0x03a9, 0x03b4,
    0x221e, 0x03c6, 0x03b5, 0x2229, 0x2261, 0x00b1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00f7, 0x2248,
    0x00b0, 0x2219, 0x00b7, 0x221a, 0x207f, 0x00b2, 0x25a0, 0x00a0,
};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xc0 | c >> 6);
    out += char(0x80 | (c & 0x3f));
  } else {
    out += char(0xe0 | c >> 12);
    out += char(0x80 | (c >> 6 & 0x3f));
    out += char(0x80 | (c & 0x3f));
  }
}

bool HasHighBytes(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t n;
    char32_t cp;
    if (c >= 0xc2 && c <= 0xdf) {
      n = 2;
      cp = c & 0x1f;
    } else if (c >= 0xe0 && c <= 0xef) {
      n = 3;
      cp = c & 0x0f;
    } else if (c >= 0xf0 && c <= 0xf4) {
      n = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k) {
      unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xc0) != 0x80) return false;
      cp = cp << 6 | (d & 0x3f);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10ffff)) ||
        (cp >= 0xd800 && cp <= 0xdfff)) {
      return false;
    }
    i += n;
  }
  return true;
}

std::string Cp437ToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  for (char c : s) {
    unsigned char b = static_cast<unsigned char>(c);
    AppendUtf8(out, b < 0x80 ? char32_t(b) : char32_t(kCp437High[b - 0x80]));
  }
  return out;
}

// A name flagged UTF-8 that is not valid UTF-8 is read as code page 437 too: the flag alone
// decides nothing.
std::string DecodeEntryName(std::string_view raw, std::string_view extra, uint16_t flags,
                            CodePage* codePage) {
  // Unicode path extra: version 1, CRC-32 of the stored name, then the UTF-8 name.
  std::string unicode;
  ForEachTagged(extra, [&](uint16_t tag, const unsigned char* d, uint16_t size) {
    if (tag != kExtraUnicodePath || size <= 5 || d[0] != 1 || !unicode.empty()) return;
    auto nameCrc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(raw.data()), uInt(raw.size())));
    std::string_view text(reinterpret_cast<const char*>(d + 5), size - 5);
    if (Get32(d + 1) == nameCrc && IsValidUtf8(text)) unicode = text;
  });
  if (!unicode.empty()) return unicode;
  if (!HasHighBytes(raw)) return std::string(raw);
  if (IsValidUtf8(raw)) return std::string(raw);
  std::string converted;
  if (codePage && !(flags & kFlagUtf8) && codePage->ToUtf8(raw, &converted)) return converted;
  return Cp437ToUtf8(raw);
}

bool IsFolderName(std::string_view name) {
  return !name.empty() && IsNameSeparator(name.back());
}

}  // namespace cv
