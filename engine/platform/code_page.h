// Names in a legacy code page (Windows numbering: 932 Japanese, 936 Simplified Chinese, 1251 and
// 866 Cyrillic, 1253 Greek, ...), converted to UTF-8 by the system: MultiByteToWideChar on
// Windows, iconv elsewhere (code_page_windows.cpp, code_page_posix.cpp).
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace cv {

// One code page, opened for conversions on one thread at a time.
class CodePage {
 public:
  CodePage();
  ~CodePage();
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;

  // False when the system cannot convert from that code page.
  [[nodiscard]] bool Open(unsigned number);
  unsigned number() const { return m_number; }
  // `text` read in the code page, as UTF-8; false when the bytes are not valid text in it.
  [[nodiscard]] bool ToUtf8(std::string_view text, std::string* utf8);

  struct Converter;

 private:
  unsigned m_number = 0;
  std::unique_ptr<Converter> m_converter;
};

}  // namespace cv
