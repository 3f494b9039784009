// Text in the caller's code page: the engines work in UTF-8, their callers pass the process's
// ANSI code page (UTF-8 in the program; the identity outside Windows).
#pragma once

#include <string>

namespace cv {

std::string AnsiToUtf8(const std::string& text);
std::string Utf8ToAnsi(const std::string& text);

}  // namespace cv
