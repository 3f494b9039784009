// The zone a file came from, the "Mark of the Web": on Windows the Zone.Identifier stream that the
// system writes on downloaded files and consults before opening them. Other systems keep no such
// mark (zone_identifier_windows.cpp, zone_identifier_posix.cpp).
#pragma once

#include <string>

#include "core/status.h"

namespace cv {

// The text of the stream of the file at `path`; false when it has none (always outside Windows).
bool ReadZoneIdentifier(const std::string& path, std::string* text);
// Gives the existing file at `path` a stream of that text, replacing one it has. kUnsupported
// outside Windows.
Status WriteZoneIdentifier(const std::string& path, const std::string& text);
// Removes what is left of the stream of a file that was moved away or removed under `path`.
// Windows moves and removes a file's streams with it, so nothing is left there; Wine keeps each
// stream as a file of its own beside the main one, which stays behind.
void RemoveZoneIdentifier(const std::string& path);

}  // namespace cv
