// Files outside Windows carry no zone.
#include "platform/zone_identifier.h"

namespace cv {

bool ReadZoneIdentifier(const std::string&, std::string*) {
  return false;
}

Status WriteZoneIdentifier(const std::string& path, const std::string&) {
  return {StatusKind::kUnsupported, "files here carry no zone: " + path};
}

void RemoveZoneIdentifier(const std::string&) {}

}  // namespace cv
