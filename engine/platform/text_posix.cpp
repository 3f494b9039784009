// Outside Windows the caller's text is UTF-8 already.
#include "platform/text.h"

namespace cv {

std::string AnsiToUtf8(const std::string& text) {
  return text;
}
std::string Utf8ToAnsi(const std::string& text) {
  return text;
}

}  // namespace cv
