#pragma once

#include <windows.h>

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

// The number of the corvane::Error that call raises (0: none), its source and its description.
long ErrorNumber(const std::function<void()>& call, std::string* source = nullptr,
                 std::string* description = nullptr);

// The listener of either engine object: records the events' texts and answers from what the test
// set (an overwrite question keeps the engine's answer). It notes an event raised on another
// thread than the one that made the recorder.
class Recorder : public cUnzipEvents, public cZipEvents {
 public:
  void Cancel(const std::string& sMsg, bool& bCancel) override;
  void OverWritePrompt(const std::string& sFile, int32_t& eResponse) override;
  void PasswordRequest(const std::string& sName, bool bRetry, std::string& sPassword,
                       bool& bCancel) override;
  void Progress(int32_t lCount, const std::string& sMsg) override;

  // Answers: the password, Cancel's flag.
  std::string password;
  bool cancelAll = false;
  // Runs inside the first Cancel event, while the engine run is in progress.
  std::function<void()> during;

  std::vector<std::string> cancels, messages;
  int passwordPrompts = 0;
  bool otherThread = false;

 private:
  void Note();
  DWORD m_thread = GetCurrentThreadId();
};

// Dispatches this thread's messages for the given time.
void PumpFor(int milliseconds);

// Dispatches messages until the condition holds or the time is up; returns the condition.
bool WaitUntil(const std::function<bool()>& condition, int milliseconds = 10000);

// While it lives, a timer of this thread looks for a top-level dialog (class #32770) with this
// caption and runs the action on it, so that a test can answer a modal dialog or message box that
// its own thread is showing: once, or for each of up to times dialogs shown one after the other.
class DialogAnswer {
 public:
  DialogAnswer(std::string caption, std::function<void(HWND)> action, int times = 1);
  ~DialogAnswer();
  DialogAnswer(const DialogAnswer&) = delete;
  DialogAnswer& operator=(const DialogAnswer&) = delete;
  // How many dialogs were answered.
  int Answered() const { return m_answered; }

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  std::string m_caption;
  std::function<void(HWND)> m_action;
  int m_times;
  UINT_PTR m_timer;
  int m_answered = 0;
  HWND m_last = nullptr;
};

// Presses a dialog's button as a click would.
void Click(HWND dialog, int buttonId);

// A window's text, and the texts of its child windows in Z order, each followed by "\n".
std::string TextOf(HWND window);
std::string ChildTexts(HWND window);
// The text a list view shows in one row's column (its display text, as drawn).
std::string ListItemText(HWND list, int row, int column);

// Saves what a window shows as a PNG file at path (in the current folder when relative), for a
// person to look at; false when it could not be written.
bool SaveScreenshot(HWND window, const std::string& path);

// Full path of a program the build puts beside the test programs ("Corvane.exe").
std::string BesideTests(const std::string& name);

// A process a test started with this command line, its output going to the test's.
struct Process {
  HANDLE handle = nullptr;
};
Process Start(std::string commandLine);
// Waits for the process to end while this thread handles its messages; its exit code, or -1 when
// it had to be ended after the time.
long Finish(Process& process, int milliseconds = 15000);

// For a test that must run in a process of its own (a missing engine library, another DPI): true
// inside the process that RunThisTestIn started.
bool InChildRun();
// Runs the current test alone in executable (this test program, or a copy of it); its exit code
// (0: it passed).
long RunThisTestIn(const std::string& executable);

}  // namespace corvane::test
