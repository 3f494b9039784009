// The caller's ANSI code page and UTF-8, through UTF-16.
#include "platform/text.h"

#include <windows.h>

#include "platform/win32.h"

namespace cv {

std::string AnsiToUtf8(const std::string& text) {
  return GetACP() == CP_UTF8 ? text : WideToUtf8(ToWide(text, GetACP()));
}
std::string Utf8ToAnsi(const std::string& text) {
  return GetACP() == CP_UTF8 ? text : FromWide(Utf8ToWide(text), GetACP());
}

}  // namespace cv
