// Code pages outside Windows: iconv, which knows the Windows code pages as "CP<number>".
#include <errno.h>
#include <iconv.h>

#include "platform/code_page.h"

namespace cv {

struct CodePage::Converter {
  iconv_t handle = iconv_t(-1);
  ~Converter() {
    if (handle != iconv_t(-1)) iconv_close(handle);
  }
};

CodePage::CodePage() = default;
CodePage::~CodePage() = default;

bool CodePage::Open(unsigned number) {
  auto converter = std::make_unique<Converter>();
  converter->handle = iconv_open("UTF-8", ("CP" + std::to_string(number)).c_str());
  if (converter->handle == iconv_t(-1)) return false;
  m_converter = std::move(converter);
  m_number = number;
  return true;
}

bool CodePage::ToUtf8(std::string_view text, std::string* utf8) {
  if (!m_converter) return false;
  // Back to the initial shift state, whatever the last name left.
  iconv(m_converter->handle, nullptr, nullptr, nullptr, nullptr);
  // A byte becomes at most four bytes of UTF-8 in the code pages iconv knows.
  std::string out(text.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* to = out.data();
  size_t outLeft = out.size();
  if (iconv(m_converter->handle, &in, &inLeft, &to, &outLeft) == size_t(-1) ||
      iconv(m_converter->handle, nullptr, nullptr, &to, &outLeft) == size_t(-1)) {
    return false;
  }
  out.resize(out.size() - outLeft);
  *utf8 = std::move(out);
  return true;
}

}  // namespace cv
