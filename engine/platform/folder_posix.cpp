// Files and folders on POSIX systems: names are bytes (UTF-8 by convention) and a name that starts
// with a dot counts as hidden.
#include "platform/folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/path.h"
#include "platform/faults.h"
#include "platform/system_error.h"

namespace cv {
namespace {

void FromStat(const struct stat& st, FileInfo* e) {
  e->isDirectory = S_ISDIR(st.st_mode);
  e->isSpecial = !e->isDirectory && !S_ISREG(st.st_mode);
  e->size = S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0;
  e->mtime = int64_t(st.st_mtime);
  // Unix mode in the high half; the low byte keeps the DOS folder and read-only bits.
  e->externalAttributes = uint32_t(st.st_mode & 0xffff) << 16 | (e->isDirectory ? 0x10 : 0) |
                          ((st.st_mode & S_IWUSR) ? 0 : 0x01);
}

}  // namespace

bool Stat(const std::string& path, FileInfo* out) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  FromStat(st, out);
  return true;
}

Status ListFolder(const std::string& dir, std::vector<FileInfo>* out) {
  out->clear();
  CV_RETURN_IF_ERROR(detail::ReadFault(dir, 0));
  DIR* d = ::opendir(dir.c_str());
  if (!d) return {StatusKind::kNotFound, "cannot read folder " + dir + ": " + std::strerror(errno)};
  while (dirent* de = ::readdir(d)) {
    const std::string name = de->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = JoinPath(dir, name);
    struct stat st, lst;
    if (::lstat(path.c_str(), &lst) != 0) continue;  // vanished since the listing
    FileInfo e;
    e.name = name;
    e.isLink = S_ISLNK(lst.st_mode);
    if (::stat(path.c_str(), &st) != 0) continue;  // a dangling link
    FromStat(st, &e);
    e.hiddenOrSystem = name[0] == '.';
    if (e.isSpecial) continue;  // reading a pipe would wait forever
    out->push_back(std::move(e));
  }
  ::closedir(d);
  return {};
}

Status MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return {};
  int e = errno;
  struct stat st;
  if (e == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return {};
  errno = e == EEXIST ? ENOTDIR : e;
  return SystemError("cannot create folder", path);
}

uint16_t VersionMadeBy() {
  return 3 << 8 | 63;  // host 3: Unix attributes
}

}  // namespace cv
