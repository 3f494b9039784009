#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace corvane::testing_support {

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

// Closes a window as its close box would and waits until it is gone; true when it went.
bool CloseAndWait(HWND window);

// Presses a dialog's button as a click would.
void Click(HWND dialog, int buttonId);

// Texts of a window's child windows, in Z order.
std::vector<std::string> ChildTexts(HWND window);
std::string TextOf(HWND window);

// Saves what a window shows as a PNG file at path (in the current folder when relative), for a
// person to look at; false when it could not be written.
bool SaveScreenshot(HWND window, const std::string& path);

// Full path of a program the build puts beside the test programs ("Corvane.exe").
std::string BesideTests(const std::string& name);

// A process a test started with this command line, its output going to the test's.
struct Process {
  HANDLE handle = nullptr;
  DWORD id = 0;
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

}  // namespace corvane::testing_support
