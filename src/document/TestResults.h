#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

class frmDocument;

// What the engine's test mode found for one entry.
enum class TestOutcome {
  kNotTested,      // no line named it: the run stopped or failed before it
  kOk,             // data and CRC as stored
  kCrcError,       // the data does not give the stored CRC
  kWrongPassword,  // no password given was right (a CRC error that the engine blames on it too)
  kNoPassword,     // the password request was refused
  kUnsupported,    // a method or an encryption the engine does not read
  kDamaged,        // another error of the entry (sizes, headers, AES authentication)
  kSkipped,        // skipped with a warning (a stored name holding a zero byte)
};

// The outcome of each of the names (the entries' listed names, "\" separated as the message
// lines show them), from the test run's message lines; outcomes[i] belongs to names[i].
// Names may hold anything, the separators of the lines included: a line is matched against the
// longest tested name it can carry.
std::vector<TestOutcome> TestOutcomes(const std::vector<std::string>& names,
                                      const std::vector<std::string>& lines);

// The user's word for an outcome: "OK", "CRC error", "wrong password", ...
const char* OutcomeText(TestOutcome outcome);

// Test on document: checks its selected entries (all of them when no row is selected) through
// the unzip engine's test mode, on the command runner with its progress window and Cancel, asking
// for passwords as an extraction does and writing nothing. The results then show in a box owned
// by frame: the counts of each outcome and the entries, those that failed first. A run that
// failed as a whole (no archive, damage before any entry) is shown by the document's
// ReportFailure. A run already in progress: a beep, and nothing happens.
void TestCommand(HWND frame, frmDocument& document);

}  // namespace corvane
