// Scanning on POSIX systems: names are bytes (UTF-8 by convention), case counts, and a name that
// starts with a dot counts as hidden.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "file.h"
#include "zip_scan.h"

namespace cv {
namespace {

void FromStat(const struct stat& st, DiskEntry* e) {
  e->isDirectory = S_ISDIR(st.st_mode);
  e->size = S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0;
  e->mtime = int64_t(st.st_mtime);
  // Unix mode in the high half; the low byte keeps the DOS folder and read-only bits.
  e->externalAttributes = uint32_t(st.st_mode & 0xffff) << 16 | (e->isDirectory ? 0x10 : 0) |
                          ((st.st_mode & S_IWUSR) ? 0 : 0x01);
}

}  // namespace

Status ListDirectory(const std::string& dir, std::vector<DiskEntry>* out) {
  out->clear();
  DIR* d = ::opendir(dir.c_str());
  if (!d) return {StatusKind::kNotFound, "cannot read folder " + dir + ": " + std::strerror(errno)};
  while (dirent* de = ::readdir(d)) {
    const std::string name = de->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = JoinPath(dir, name);
    struct stat st, lst;
    if (::lstat(path.c_str(), &lst) != 0) continue;  // vanished since the listing
    DiskEntry e;
    e.name = name;
    e.isLink = S_ISLNK(lst.st_mode);
    if (::stat(path.c_str(), &st) != 0) continue;  // a dangling link
    FromStat(st, &e);
    e.hiddenOrSystem = name[0] == '.';
    if (!e.isDirectory && !S_ISREG(st.st_mode)) continue;  // devices, pipes, sockets
    out->push_back(std::move(e));
  }
  ::closedir(d);
  return {};
}

bool StatEntry(const std::string& path, DiskEntry* out) {
  struct stat st;
  // Devices, pipes and sockets are not files to archive (reading a pipe would wait forever).
  if (::stat(path.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) return false;
  FromStat(st, out);
  return true;
}

std::string AbsolutePath(const std::string& path) {
  std::string full = path;
  if (full.empty() || full[0] != '/') {
    char cwd[4096];
    full = std::string(::getcwd(cwd, sizeof cwd) ? cwd : ".") + "/" + path;
  }
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < full.size()) {
    size_t j = full.find('/', i);
    if (j == std::string::npos) j = full.size();
    const std::string part = full.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  return out.empty() ? "/" : out;
}

std::string AnsiToUtf8(const std::string& text) {
  return text;
}
std::string Utf8ToAnsi(const std::string& text) {
  return text;
}
uint16_t VersionMadeBy() {
  return 3 << 8 | 63;
}
bool NamesIgnoreCase() {
  return false;
}

}  // namespace cv
