// The portable part of the file layer.
#include "platform/file.h"

namespace cv {

File::File(File&& other) noexcept : m_handle(other.m_handle), m_path(std::move(other.m_path)) {
  other.m_handle = kNoHandle;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    (void)Close();
    m_handle = other.m_handle;
    m_path = std::move(other.m_path);
    other.m_handle = kNoHandle;
  }
  return *this;
}

File::~File() {
  (void)Close();
}

Status File::ReadExactAt(uint64_t offset, void* buffer, size_t size) const {
  size_t got = 0;
  CV_RETURN_IF_ERROR(ReadAt(offset, buffer, size, &got));
  if (got != size) return {StatusKind::kBadArchive, "unexpected end of archive"};
  return {};
}

}  // namespace cv
