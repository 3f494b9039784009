#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace corvane {

// Error numbers of the program's own objects that the system has no code for, with their texts.
inline constexpr long kErrSubscriptOutOfRange = 9;
inline constexpr char kSubscriptOutOfRange[] = "Subscript out of range";
inline constexpr long kErrTypeMismatch = 13;
inline constexpr char kTypeMismatch[] = "Type mismatch";

// The error that application code raises: a number, the source that raised it and a description
// for the user.
class Error : public std::runtime_error {
 public:
  Error(long number, std::string source, std::string description);

  long Number() const { return m_lNumber; }
  const std::string& Source() const { return m_sSource; }
  const std::string& Description() const { return m_sDescription; }

 private:
  long m_lNumber;
  std::string m_sSource;
  std::string m_sDescription;
};

// The system's text for an error code, without the trailing line break ("" when it has none).
std::string SystemMessage(DWORD code);

// Builds the error for a failed system call from its code (default: GetLastError), the system's
// text and the file or key name it was about: "<system text> (<name>)".
Error SystemError(std::string_view source, std::string_view name, DWORD code = GetLastError());

}  // namespace corvane
