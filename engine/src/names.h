// Entry names: decoding the stored bytes to UTF-8, selecting entries by name, and turning a name
// into a path that is safe to write under a target folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

bool IsValidUtf8(std::string_view s);
std::string Cp437ToUtf8(std::string_view s);

// The name as UTF-8: `raw` itself when `flags` has the UTF-8 bit (and it is valid UTF-8) or when
// it is valid UTF-8 holding non-ASCII bytes (tools on macOS and Linux leave the bit unset),
// otherwise `raw` read as code page 437. A Unicode path extra field (0x7075) in `extra` whose CRC
// matches `raw` overrides both.
std::string DecodeEntryName(std::string_view raw, uint16_t flags, std::string_view extra);

// Matches `name` against a pattern of "*" (any run, "/" included), "?" (one character) and
// "[...]" (one character of a set; "!" or "^" first negates, "a-z" is a range). Without
// `caseSensitive`, ASCII letters match either case.
bool WildcardMatch(std::string_view pattern, std::string_view name, bool caseSensitive);

// Which of `entryNames` the `names` select, exact first: a name equal to some entry's name (byte
// for byte) selects exactly the entries of that name; any other name is a wildcard pattern.
// When `nameUsed` is given it receives, per name, whether it selected anything.
std::vector<bool> SelectByNames(const std::vector<std::string>& names,
                                const std::vector<std::string_view>& entryNames, bool caseSensitive,
                                std::vector<bool>* nameUsed = nullptr);

// The path (components joined with "/") under which an entry is written, relative to the target
// folder; never leaves it. Leading separators, a drive letter, empty, "." and ".." components are
// removed and "\" separates like "/"; control characters and < > : " | ? * become "_", as do
// trailing dots and spaces of a component (Windows would drop them); reserved device names (CON,
// NUL, COM1, LPT1, ..., with or without an extension) get "_" in front. `keepFolders` false keeps
// the last component only; `spaceToUnderscore` turns spaces into "_". Empty when nothing is left.
std::string SafeRelativePath(std::string_view name, bool keepFolders, bool spaceToUnderscore);

// True when the stored name denotes a folder (ends in "/" or "\").
bool IsFolderName(std::string_view name);

}  // namespace cv
