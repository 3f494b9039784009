// The zone of a file on Windows: its alternate data stream "Zone.Identifier", opened through the
// file layer as "<path>:Zone.Identifier".
#include "platform/zone_identifier.h"

#include "platform/file.h"

namespace cv {
namespace {

constexpr char kStream[] = ":Zone.Identifier";
// A mark is a few short lines; what lies beyond this is no mark worth copying.
constexpr size_t kLargestMark = 64 * 1024;

}  // namespace

bool ReadZoneIdentifier(const std::string& path, std::string* text) {
  File stream;
  if (!File::Open(path + kStream, File::Mode::kRead, &stream).ok()) return false;
  std::string data(kLargestMark, '\0');
  size_t got = 0;
  if (!stream.ReadAt(0, data.data(), data.size(), &got).ok()) return false;
  data.resize(got);
  *text = std::move(data);
  return true;
}

Status WriteZoneIdentifier(const std::string& path, const std::string& text) {
  File stream;
  CV_RETURN_IF_ERROR(File::Open(path + kStream, File::Mode::kTruncate, &stream));
  CV_RETURN_IF_ERROR(stream.Write(text.data(), text.size()));
  return stream.Close();
}

void RemoveZoneIdentifier(const std::string& path) {
  (void)RemoveFile(path + kStream);
}

}  // namespace cv
