#include "unzip/zone_mark.h"

#include <cctype>

namespace cv {
namespace {

constexpr char kInternetZone[] = "3";

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// Section and key names of the stream's INI text compare without regard to case.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool IsZone(std::string_view value) {
  if (value.empty() || value.size() > 9) return false;
  for (char c : value) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::string ExtractedFileMark(std::string_view archiveMark) {
  std::string zone = kInternetZone, referrer, host;
  bool inSection = false;
  while (!archiveMark.empty()) {
    const size_t end = archiveMark.find('\n');
    const std::string_view line = Trimmed(archiveMark.substr(0, end));
    archiveMark.remove_prefix(end == std::string_view::npos ? archiveMark.size() : end + 1);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      inSection = SameName(Trimmed(line.substr(1, line.size() - 2)), "ZoneTransfer");
      continue;
    }
    const size_t equals = line.find('=');
    if (!inSection || equals == std::string_view::npos) continue;
    const std::string_view key = Trimmed(line.substr(0, equals));
    const std::string_view value = Trimmed(line.substr(equals + 1));
    if (SameName(key, "ZoneId") && IsZone(value)) zone = value;
    if (SameName(key, "ReferrerUrl")) referrer = value;
    if (SameName(key, "HostUrl")) host = value;
  }
  std::string mark = "[ZoneTransfer]\r\nZoneId=" + zone + "\r\n";
  if (!referrer.empty()) mark += "ReferrerUrl=" + referrer + "\r\n";
  if (!host.empty()) mark += "HostUrl=" + host + "\r\n";
  return mark;
}

}  // namespace cv
