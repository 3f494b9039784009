#include "unzip/output_file.h"

#include "platform/path.h"

namespace cv {

Status OutputFile::Create(const std::string& target, const ReplacePolicy& replace) {
  m_target = target;
  Status created = File::Open(target, File::Mode::kCreateNew, &m_direct);
  if (created.ok()) {
    m_created = true;
    return {};
  }
  FileInfo existing;
  if (!Stat(target, &existing)) return created;
  if (existing.isDirectory) {
    return {StatusKind::kIo, "cannot create " + target + ": a folder of that name exists"};
  }
  if (!replace(existing)) {
    m_kept = true;
    return {};
  }
  return TemporaryFile::Create(target, &m_temporary);
}

Status OutputFile::Close(int64_t mtime, Status* timeSet) {
  *timeSet = file().SetModificationTime(mtime);
  // A replacement reaches the disk before it takes the existing file's place.
  if (replaces()) CV_RETURN_IF_ERROR(file().Flush());
  return file().Close();
}

Status OutputFile::Commit() {
  if (!m_temporary.active()) return {};
  return m_temporary.Commit();
}

void OutputFile::Discard() {
  if (m_temporary.active()) {
    m_temporary.Discard();
  } else if (m_created) {
    (void)m_direct.Close();
    (void)RemoveFile(m_target);
    m_created = false;
  }
}

Status OutputFolders::Make(const std::string& path) {
  if (path.empty() || m_made.count(path)) return {};
  FileInfo info;
  if (!Stat(path, &info)) {
    std::string parent = ParentOf(path);
    // "C:" and "\\server\share" roots need not be made.
    if (!parent.empty() && parent.back() != ':' &&
        parent.find_first_not_of("/\\") != std::string::npos) {
      CV_RETURN_IF_ERROR(Make(parent));
    }
    CV_RETURN_IF_ERROR(MakeFolder(path));
  } else if (!info.isDirectory) {
    return {StatusKind::kIo, "cannot create folder " + path + ": a file of that name exists"};
  }
  m_made.insert(path);
  return {};
}

}  // namespace cv
