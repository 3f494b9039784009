// The print lines of a zip run and the service callback's requests to stop.
#pragma once

#include <string>

#include "zip/run.h"

namespace cv {

class ZipMessages {
 public:
  ZipMessages(const ZipCallbacks& callbacks, bool quiet) : m_callbacks(callbacks), m_quiet(quiet) {}

  void Print(const std::string& line) {
    if (m_callbacks.print) m_callbacks.print(line);
  }
  // A line about progress, left out when quiet.
  void Say(const std::string& line) {
    if (!m_quiet) Print(line);
  }
  void Warn(const std::string& message) {
    ++m_warnings;
    Print("zip warning: " + message);
  }
  bool StopRequested(const std::string& name) { return m_callbacks.stop && m_callbacks.stop(name); }
  int warnings() const { return m_warnings; }
  const ZipCallbacks& callbacks() const { return m_callbacks; }

 private:
  const ZipCallbacks& m_callbacks;
  bool m_quiet;
  int m_warnings = 0;
};

}  // namespace cv
