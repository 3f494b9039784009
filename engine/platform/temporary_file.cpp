#include "platform/temporary_file.h"

#include <cstdio>
#include <random>

#include "platform/folder.h"

namespace cv {

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : m_file(std::move(other.m_file)),
      m_path(std::move(other.m_path)),
      m_target(std::move(other.m_target)) {
  other.m_path.clear();
}

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept {
  if (this != &other) {
    Discard();
    m_file = std::move(other.m_file);
    m_path = std::move(other.m_path);
    m_target = std::move(other.m_target);
    other.m_path.clear();
  }
  return *this;
}

Status TemporaryFile::Create(const std::string& target, TemporaryFile* out) {
  // A fresh random number per name: a thread_local generator would leave handles behind at each
  // unload of the DLL (the static runtime's thread storage).
  for (int attempt = 0;; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.cvztmp", unsigned(std::random_device{}()));
    const std::string path = target + suffix;
    File file;
    Status s = File::Open(path, File::Mode::kCreateNew, &file);
    if (s.ok()) {
      out->Discard();
      out->m_file = std::move(file);
      out->m_path = path;
      out->m_target = target;
      return {};
    }
    // Only a name taken by another file is worth another try.
    FileInfo taken;
    if (attempt == 8 || !Stat(path, &taken)) return s;
  }
}

Status TemporaryFile::Commit() {
  if (m_file.is_open()) CV_RETURN_IF_ERROR(m_file.Flush());
  CV_RETURN_IF_ERROR(m_file.Close());
  CV_RETURN_IF_ERROR(MoveReplacing(m_path, m_target));
  m_path.clear();
  return {};
}

Status TemporaryFile::CommitToFreeName() {
  if (m_file.is_open()) CV_RETURN_IF_ERROR(m_file.Flush());
  CV_RETURN_IF_ERROR(m_file.Close());
  CV_RETURN_IF_ERROR(MoveToFreeName(m_path, m_target));
  m_path.clear();
  return {};
}

void TemporaryFile::Discard() {
  if (m_path.empty()) return;
  (void)m_file.Close();
  (void)RemoveFile(m_path);
  m_path.clear();
}

}  // namespace cv
