#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace corvane {

// View > Name Encoding: the code page in which a document reads the names of entries that are
// neither flagged nor valid UTF-8, for archives written on older systems.
struct NameEncodingChoice {
  uint32_t codePage;  // Windows numbering; 0: automatic (UTF-8 when flagged or valid, else 437)
  const char* label;
};

// The choices, in menu order; the first is the automatic one.
std::span<const NameEncodingChoice> NameEncodings();

// The code page chosen for the archive at path while this process runs (paths compared as the
// file system does, ignoring case), or 0 when none was.
uint32_t RememberedCodePage(const std::string& path);
void RememberCodePage(const std::string& path, uint32_t codePage);

// A popup menu of the choices, item i carrying the command firstCommand + i. The caller owns it
// (a menu bar it is appended to destroys it with itself).
HMENU BuildNameEncodingMenu(UINT firstCommand);
// Checks the item of codePage (none when absent) and greys every item while no document is open.
void UpdateNameEncodingMenu(HMENU menu, UINT firstCommand, std::optional<uint32_t> codePage);

}  // namespace corvane
