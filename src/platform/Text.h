#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace corvane {

// Conversions between the program's UTF-8 strings and the UTF-16 that the W functions take. GDI
// and the system's message texts need them: they ignore the process's UTF-8 code page on Windows.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view text);

// UTF-16 text in the given code page by the system's default conversion (unrepresentable
// characters become the code page's default character).
std::string Narrow(std::wstring_view text, unsigned codePage);

// A window's text, as the A functions give it.
std::string WindowText(HWND window);

}  // namespace corvane
