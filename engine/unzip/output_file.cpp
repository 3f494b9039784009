#include "unzip/output_file.h"

#include "platform/path.h"
#include "platform/zone_identifier.h"

namespace cv {

Status OutputFile::Create(const std::string& target, const ReplacePolicy& replace,
                          const std::string* mark) {
  m_target = target;
  m_mark = mark && !mark->empty() ? mark : nullptr;
  FileInfo existing;
  if (!m_mark) {
    Status created = File::Open(target, File::Mode::kCreateNew, &m_direct);
    if (created.ok()) {
      m_created = true;
      return {};
    }
    if (!Stat(target, &existing)) return created;
  } else if (!Stat(target, &existing)) {
    m_toFreeName = true;
    return CreateTemporary();
  }
  if (existing.isDirectory) {
    return {StatusKind::kIo, "cannot create " + target + ": a folder of that name exists"};
  }
  if (!replace(existing)) {
    m_kept = true;
    return {};
  }
  return CreateTemporary();
}

Status OutputFile::CreateTemporary() {
  CV_RETURN_IF_ERROR(TemporaryFile::Create(m_target, &m_temporary));
  // A failure here is tried again under the final name (Commit).
  if (m_mark) m_marked = WriteZoneIdentifier(m_temporary.path(), *m_mark);
  return {};
}

Status OutputFile::Close(int64_t mtime, Status* timeSet) {
  *timeSet = file().SetModificationTime(mtime);
  // A replacement reaches the disk before it takes the existing file's place.
  if (replaces()) CV_RETURN_IF_ERROR(file().Flush());
  return file().Close();
}

Status OutputFile::Commit() {
  if (!m_temporary.active()) return {};
  const std::string temporary = m_temporary.path();
  CV_RETURN_IF_ERROR(m_toFreeName ? m_temporary.CommitToFreeName() : m_temporary.Commit());
  if (!m_mark) return {};
  // Windows moves the stream with the file, and ReplaceFileW keeps the replacement's own: the mark
  // is already there. Wine leaves the stream behind under the old name (and an existing target's
  // old stream in place), so it is written again where it is missing or differs.
  RemoveZoneIdentifier(temporary);
  std::string now;
  if (!ReadZoneIdentifier(m_target, &now) || now != *m_mark) {
    m_marked = WriteZoneIdentifier(m_target, *m_mark);
  } else {
    m_marked = {};
  }
  return {};
}

void OutputFile::Discard() {
  if (m_temporary.active()) {
    const std::string temporary = m_temporary.path();
    m_temporary.Discard();
    if (m_mark) RemoveZoneIdentifier(temporary);
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
