#include "document/TestResults.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "document/frmDocument.h"
#include "enginecall/EngineCall.h"
#include "platform/CommandScope.h"
#include "runner/EngineRunner.h"
#include "settings/AppSettings.h"
#include "unzip/cUnzip.h"

namespace corvane {
namespace {

// The results box lists at most this many entries; the counts cover them all.
constexpr size_t kMaxListed = 40;

// The tested names, each name to the positions it has (an archive may hold one name twice).
class NameIndex {
 public:
  struct Match {
    const std::vector<size_t>* positions = nullptr;
    size_t length = 0;  // of the name matched
  };

  explicit NameIndex(const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i) m_positions[names[i]].push_back(i);
  }

  // The longest name that text starts with and that the separator follows (the whole text when
  // separator is empty); no positions when there is none.
  Match Find(std::string_view text, std::string_view separator) const {
    if (separator.empty()) return At(text);
    for (size_t end = text.rfind(separator); end != std::string_view::npos && end > 0;
         end = text.rfind(separator, end - 1)) {
      if (Match match = At(text.substr(0, end)); match.positions) return match;
    }
    return {};
  }

 private:
  Match At(std::string_view name) const {
    auto found = m_positions.find(std::string(name));
    if (found == m_positions.end()) return {};
    return {&found->second, name.size()};
  }

  std::unordered_map<std::string, std::vector<size_t>> m_positions;
};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Answers the test run's questions as the document does, and keeps its message lines.
class LineCollector : public cUnzipEvents {
 public:
  explicit LineCollector(cUnzip& unzip) : m_unzip(unzip), m_inner(unzip.Listener()) {
    unzip.Listener(this);
  }
  ~LineCollector() { m_unzip.Listener(m_inner); }
  LineCollector(const LineCollector&) = delete;
  LineCollector& operator=(const LineCollector&) = delete;

  void Cancel(const std::string& sMsg, bool& bCancel) override {
    if (m_inner) m_inner->Cancel(sMsg, bCancel);
  }
  void OverWritePrompt(const std::string& sFile, int32_t& eResponse) override {
    if (m_inner) m_inner->OverWritePrompt(sFile, eResponse);
  }
  void PasswordRequest(const std::string& sName, bool bRetry, std::string& sPassword,
                       bool& bCancel) override {
    if (m_inner) m_inner->PasswordRequest(sName, bRetry, sPassword, bCancel);
  }
  void Progress(int32_t, const std::string& sMsg) override { m_lines.push_back(sMsg); }

  const std::vector<std::string>& Lines() const { return m_lines; }

 private:
  cUnzip& m_unzip;
  cUnzipEvents* m_inner;
  std::vector<std::string> m_lines;
};

// The run's options, put back when the command ends, however it ends.
class TestOptions {
 public:
  explicit TestOptions(cUnzip& unzip)
      : m_unzip(unzip), m_bTest(unzip.TestZip()), m_lLevel(unzip.MessageLevel()) {
    unzip.TestZip(true);
    // Every line: the "OK" of each entry included.
    unzip.MessageLevel(0);
  }
  ~TestOptions() {
    m_unzip.TestZip(m_bTest);
    m_unzip.MessageLevel(m_lLevel);
  }
  TestOptions(const TestOptions&) = delete;
  TestOptions& operator=(const TestOptions&) = delete;

 private:
  cUnzip& m_unzip;
  bool m_bTest;
  int32_t m_lLevel;
};

std::string Plural(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::vector<TestOutcome> TestOutcomes(const std::vector<std::string>& names,
                                      const std::vector<std::string>& lines) {
  constexpr std::string_view kTesting = "    testing: ", kOk = "   OK";
  constexpr std::string_view kError = "error: ", kSkipping = "   skipping: ";
  constexpr std::string_view kZeroByte = "warning: skipped \"";
  std::vector<TestOutcome> outcomes(names.size(), TestOutcome::kNotTested);
  NameIndex index(names);
  // The first entry of the name without an outcome yet takes it: each of two same-named entries
  // gets its own line.
  auto note = [&](const NameIndex::Match& match, TestOutcome outcome) {
    if (!match.positions) return;
    const std::vector<size_t>& all = *match.positions;
    auto open = std::find_if(all.begin(), all.end(),
                             [&](size_t i) { return outcomes[i] == TestOutcome::kNotTested; });
    outcomes[open == all.end() ? all.back() : *open] = outcome;
  };
  for (std::string_view line : lines) {
    if (StartsWith(line, kTesting) && line.size() >= kTesting.size() + kOk.size() &&
        line.substr(line.size() - kOk.size()) == kOk) {
      std::string_view name = line.substr(kTesting.size());
      note(index.Find(name.substr(0, name.size() - kOk.size()), ""), TestOutcome::kOk);
    } else if (StartsWith(line, kError)) {
      std::string_view rest = line.substr(kError.size());
      NameIndex::Match found = index.Find(rest, ": ");
      if (!found.positions) continue;
      std::string_view message = rest.substr(found.length + 2);
      TestOutcome outcome = TestOutcome::kDamaged;
      if (message.find("incorrect password") != std::string_view::npos) {
        outcome = TestOutcome::kWrongPassword;
      } else if (StartsWith(message, "bad CRC")) {
        outcome = TestOutcome::kCrcError;
      }
      note(found, outcome);
    } else if (StartsWith(line, kSkipping)) {
      std::string_view rest = line.substr(kSkipping.size());
      NameIndex::Match found = index.Find(rest, "  ");
      if (!found.positions) continue;
      std::string_view message = rest.substr(found.length + 2);
      TestOutcome outcome = TestOutcome::kSkipped;
      if (StartsWith(message, "incorrect password")) {
        outcome = TestOutcome::kWrongPassword;
      } else if (StartsWith(message, "no password")) {
        outcome = TestOutcome::kNoPassword;
      } else if (StartsWith(message, "unsupported")) {
        outcome = TestOutcome::kUnsupported;
      }
      note(found, outcome);
    } else if (StartsWith(line, kZeroByte)) {
      note(index.Find(line.substr(kZeroByte.size()), "\": "), TestOutcome::kSkipped);
    }
  }
  return outcomes;
}

const char* OutcomeText(TestOutcome outcome) {
  switch (outcome) {
    case TestOutcome::kOk:
      return "OK";
    case TestOutcome::kCrcError:
      return "CRC error";
    case TestOutcome::kWrongPassword:
      return "wrong password";
    case TestOutcome::kNoPassword:
      return "no password given";
    case TestOutcome::kUnsupported:
      return "unsupported method";
    case TestOutcome::kDamaged:
      return "damaged";
    case TestOutcome::kSkipped:
      return "skipped";
    case TestOutcome::kNotTested:
      break;
  }
  return "not tested";
}

void TestCommand(HWND frame, frmDocument& document) {
  if (runner::RunInProgress()) {
    MessageBeep(MB_OK);
    return;
  }
  CommandScope scope;
  cUnzip& unzip = document.m_cUnzip;
  std::vector<int32_t> tested = document.SelectedIndices();
  for (int32_t i = 1; i <= unzip.FileCount(); ++i) unzip.FileSelected(i, tested.empty());
  if (tested.empty()) {
    for (int32_t i = 1; i <= unzip.FileCount(); ++i) tested.push_back(i);
  }
  for (int32_t i : tested) unzip.FileSelected(i, true);
  if (tested.empty()) return;  // an empty archive has nothing to test

  std::vector<std::string> names;
  names.reserve(tested.size());
  for (int32_t i : tested) names.push_back(BackslashSeparators(unzip.FileStoredName(i)));
  std::vector<std::string> lines;
  {
    LineCollector collector(unzip);
    TestOptions options(unzip);
    try {
      unzip.Unzip();
    } catch (const Error&) {
      document.ReportFailure(unzip.LastMessage());
      return;
    }
    lines = collector.Lines();
  }
  std::vector<TestOutcome> outcomes = TestOutcomes(names, lines);
  bool cancelled = unzip.LastResult() == IZ_CTRLC;
  bool anyTested = std::any_of(outcomes.begin(), outcomes.end(),
                               [](TestOutcome o) { return o != TestOutcome::kNotTested; });
  // Nothing reached an entry: the archive itself failed (missing, not a ZIP archive, damaged).
  if (!anyTested && !cancelled && unzip.LastResult() != 0) {
    document.ReportFailure(unzip.LastMessage());
    return;
  }

  // The counts in the order of the outcomes, then the entries, those not OK first.
  constexpr TestOutcome kOrder[] = {
      TestOutcome::kOk,         TestOutcome::kCrcError, TestOutcome::kWrongPassword,
      TestOutcome::kNoPassword, TestOutcome::kDamaged,  TestOutcome::kUnsupported,
      TestOutcome::kSkipped,    TestOutcome::kNotTested};
  std::string counts;
  for (TestOutcome outcome : kOrder) {
    size_t n = std::count(outcomes.begin(), outcomes.end(), outcome);
    if (n) counts += (counts.empty() ? "" : ", ") + std::to_string(n) + " " + OutcomeText(outcome);
  }
  std::string text = unzip.ZipFile() + "\r\n\r\n";
  if (cancelled) text += "Cancelled. ";
  text += "Tested " + Plural(tested.size(), "entry", "entries") + ": " + counts + ".\r\n";
  std::vector<size_t> order(names.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_partition(order.begin(), order.end(),
                        [&](size_t i) { return outcomes[i] != TestOutcome::kOk; });
  for (size_t i = 0; i < order.size() && i < kMaxListed; ++i) {
    text += "\r\n" + names[order[i]] + ": " + OutcomeText(outcomes[order[i]]);
  }
  if (order.size() > kMaxListed) {
    text += "\r\n... and " + Plural(order.size() - kMaxListed, "more entry", "more entries") + ".";
  }
  bool allOk = std::all_of(outcomes.begin(), outcomes.end(),
                           [](TestOutcome o) { return o == TestOutcome::kOk; });
  MessageBoxA(frame, text.c_str(), kAppTitle,
              MB_OK | (allOk ? MB_ICONINFORMATION : MB_ICONWARNING));
}

}  // namespace corvane
