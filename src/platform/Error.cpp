#include "Error.h"

#include "platform/Text.h"

namespace corvane {

Error::Error(long number, std::string source, std::string description)
    : std::runtime_error(description),
      m_lNumber(number),
      m_sSource(std::move(source)),
      m_sDescription(std::move(description)) {}

std::string SystemMessage(DWORD code) {
  // The W form: the A form answers in the system's code page, not the program's UTF-8.
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      /*lpSource=*/nullptr, code, /*dwLanguageId=*/0, reinterpret_cast<wchar_t*>(&text),
      /*nSize=*/0, /*Arguments=*/nullptr);
  std::string message = Utf8(std::wstring_view(text ? text : L"", length));
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

Error SystemError(std::string_view source, std::string_view name, DWORD code) {
  std::string description = SystemMessage(code);
  if (description.empty()) description = "System error " + std::to_string(code);
  if (!name.empty()) description += " (" + std::string(name) + ")";
  return Error(static_cast<long>(code), std::string(source), std::move(description));
}

}  // namespace corvane
