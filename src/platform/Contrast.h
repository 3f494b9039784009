#pragma once

namespace corvane {

// A high-contrast theme is on: windows that draw fixed colours take the theme's system colours.
bool HighContrast();

}  // namespace corvane
