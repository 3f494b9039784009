// Entry names: the stored bytes decoded to UTF-8, and what a name says of itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cv {

class CodePage;

bool IsValidUtf8(std::string_view s);
std::string Cp437ToUtf8(std::string_view s);

// The name as UTF-8: `raw` itself when it is valid UTF-8 (whether or not the entry's UTF-8 flag
// in `flags` says so: tools on macOS and Linux leave it unset); otherwise `raw` read in
// `codePage` when one is given and the entry is not flagged UTF-8 and the bytes are valid in it;
// otherwise `raw` read as code page 437. A Unicode path extra field (0x7075) in `extra` whose CRC
// matches `raw` overrides all of these.
std::string DecodeEntryName(std::string_view raw, std::string_view extra, uint16_t flags = 0,
                            CodePage* codePage = nullptr);

// Entry names separate folders with "/"; some Windows tools wrote "\".
inline bool IsNameSeparator(char c) {
  return c == '/' || c == '\\';
}
// True when the name denotes a folder (ends in a separator).
bool IsFolderName(std::string_view name);

}  // namespace cv
