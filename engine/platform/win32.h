// Inside the platform layer's Windows files: UTF-8 and UTF-16, and paths in the wide long-path
// form.
#pragma once

#include <string>
#include <string_view>

namespace cv {

// Text in a code page (CP_UTF8, GetACP(), ...) to UTF-16 and back.
std::wstring ToWide(std::string_view text, unsigned codePage);
std::string FromWide(std::wstring_view text, unsigned codePage);
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// The long-path form of a UTF-8 path ("\\?\C:\..." or "\\?\UNC\server\share\..."): absolute,
// backslashes only, with the prefix that turns off the 260-character limit and the parsing of "."
// and "..".
std::wstring LongPath(const std::string& path);

}  // namespace cv
