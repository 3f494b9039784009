#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The program-wide settings of the application section "Settings", held for the whole run: read
// once when the main window loads, changed only in memory, written once when it unloads.

// Store folder names when adding files ("storfolder", default False).
extern bool g_bStoreFolderNames;
// Base path below which stored folder names are taken ("BasePath", default "C:\").
extern std::string g_sBasePath;
// Association state ("frun", default 1): 1 first run, not asked yet; 2 associate .zip files at
// every start; 0 do not.
extern std::int16_t g_iFirstRun;

namespace corvane {

// The application title: the settings' application name and the title of the program's messages.
inline constexpr char kAppTitle[] = "Corvane";
inline constexpr char kSettingsSection[] = "Settings";

// The main window's placement in twips ("MainLeft", "MainTop", "MainWidth", "MainHeight").
struct Placement {
  float left = 1000;
  float top = 1000;
  float width = 6500;
  float height = 6500;
};

// Conversions of stored text. Each gives nothing for text it cannot convert, so that the caller
// falls back to the default: a single-precision number (finite; blanks around it allowed), "True"
// or "False" in any letter case, a whole number that fits in 16 bits.
std::optional<float> ParseSingle(std::string_view text);
std::optional<bool> ParseBoolean(std::string_view text);
std::optional<std::int16_t> ParseInteger16(std::string_view text);
// Decimal text of a single-precision number, without a fraction when it is whole.
std::string FormatSingle(float value);

// Reads the placement; an unconvertible value, or a width or height that is not positive, takes
// its default.
Placement ReadPlacement();
// Reads "storfolder", "BasePath" and "frun" into the globals, unconvertible values as defaults.
void ReadProgramSettings();
// Writes the seven values in their order: the placement, then the three globals. Throws
// corvane::Error when the registry refuses a write.
void WriteApplicationSettings(const Placement& placement);

}  // namespace corvane
