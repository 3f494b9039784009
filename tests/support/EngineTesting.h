#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "unzip/cUnzip.h"
#include "zip/cZip.h"

namespace corvane::test {

// A new, empty folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return m_sPath; }
  // Path() + "\" + relative.
  std::string operator/(const std::string& relative) const { return m_sPath + "\\" + relative; }

 private:
  std::string m_sPath;
};

// The archive made for the tests by make_archives.py (found through CORVANE_TEST_ARCHIVES).
std::string TestArchive(const std::string& name);

// Writes data to path, creating its folders; reads a file's bytes ("<missing>" when it cannot).
void WriteFileText(const std::string& path, const std::string& data);
std::string ReadFileText(const std::string& path);

// Every file under folder, as paths relative to it with "\" separators.
std::set<std::string> FilesUnder(const std::string& folder);

// The number of the corvane::Error that call raises (0: none), and its source.
long ErrorNumber(const std::function<void()>& call, std::string* source = nullptr);

// Threads of this process.
DWORD ThreadCount();

// The listener of either engine object: records every event and answers from what the test set.
// It notes an event raised on another thread than the one that made the recorder.
class Recorder : public cUnzipEvents, public cZipEvents {
 public:
  void Cancel(const std::string& sMsg, bool& bCancel) override;
  void OverWritePrompt(const std::string& sFile, int32_t& eResponse) override;
  void PasswordRequest(std::string& sPassword, bool& bCancel) override;
  void Progress(int32_t lCount, const std::string& sMsg) override;

  // Answers: overwrite responses in turn, the password and its cancel flag, Cancel's flag.
  std::deque<int32_t> responses;
  std::string password;
  bool cancelPassword = false;
  bool cancelAll = false;
  // Runs inside the first Cancel event, while the engine run is in progress.
  std::function<void()> during;

  std::vector<std::string> cancels, prompts, messages;
  int passwordPrompts = 0;
  bool otherThread = false;

 private:
  void Note();
  DWORD m_thread = GetCurrentThreadId();
};

}  // namespace corvane::test
