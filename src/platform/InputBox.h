#pragma once

#include <windows.h>

#include <string>

namespace corvane {

// Identifier of the input box's text box, so that it can be read back.
inline constexpr int kInputBoxText = 100;

// Asks for a line of text: the prompt above a text box that holds defaultText, selected so that
// typing replaces it, with OK (the default button, also Enter) and Cancel (also Escape and the
// close box). Modal, captioned title, owned by and centred on owner. Returns the text as typed, or
// the empty text for Cancel.
std::string InputBox(HWND owner, const std::string& prompt, const std::string& title,
                     const std::string& defaultText);

}  // namespace corvane
