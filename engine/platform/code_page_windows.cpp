// Code pages on Windows: MultiByteToWideChar, refusing bytes that are not valid in the code page.
#include <windows.h>

#include "platform/code_page.h"
#include "platform/win32.h"

namespace cv {

struct CodePage::Converter {
  // MB_ERR_INVALID_CHARS, except for the few code pages that refuse the flag (ISO 2022 and
  // GB 18030 among them): these convert what they can.
  DWORD flags = MB_ERR_INVALID_CHARS;
};

CodePage::CodePage() = default;
CodePage::~CodePage() = default;

bool CodePage::Open(unsigned number) {
  if (!IsValidCodePage(number)) return false;
  auto converter = std::make_unique<Converter>();
  if (MultiByteToWideChar(number, converter->flags, "a", 1, nullptr, 0) == 0 &&
      GetLastError() == ERROR_INVALID_FLAGS) {
    converter->flags = 0;
  }
  m_converter = std::move(converter);
  m_number = number;
  return true;
}

bool CodePage::ToUtf8(std::string_view text, std::string* utf8) {
  if (!m_converter) return false;
  if (text.empty()) {
    utf8->clear();
    return true;
  }
  const DWORD flags = m_converter->flags;
  const int n = MultiByteToWideChar(m_number, flags, text.data(), int(text.size()), nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(size_t(n), L'\0');
  MultiByteToWideChar(m_number, flags, text.data(), int(text.size()), wide.data(), n);
  *utf8 = WideToUtf8(wide);
  return true;
}

}  // namespace cv
