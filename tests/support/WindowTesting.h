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
// caption and runs the action on it once, so that a test can answer a modal dialog or message box
// that its own thread is showing.
class DialogAnswer {
 public:
  DialogAnswer(std::string caption, std::function<void(HWND)> action);
  ~DialogAnswer();
  DialogAnswer(const DialogAnswer&) = delete;
  DialogAnswer& operator=(const DialogAnswer&) = delete;
  bool Answered() const { return m_answered; }

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  std::string m_caption;
  std::function<void(HWND)> m_action;
  UINT_PTR m_timer;
  bool m_answered = false;
};

// Presses a dialog's button as a click would.
void Click(HWND dialog, int buttonId);

// Texts of a window's child windows, in Z order.
std::vector<std::string> ChildTexts(HWND window);
std::string TextOf(HWND window);

// Full path of Corvane.exe, which the build puts beside the test programs.
std::string ProgramPath();

}  // namespace corvane::testing_support
