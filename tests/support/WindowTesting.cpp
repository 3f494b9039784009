#include "WindowTesting.h"

namespace corvane::testing_support {
namespace {
DialogAnswer* g_answer = nullptr;
}

void PumpFor(int milliseconds) {
  WaitUntil([] { return false; }, milliseconds);
}

bool WaitUntil(const std::function<bool()>& condition, int milliseconds) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;  // the main window's end; the test goes on
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (condition()) return true;
    if (GetTickCount() - start >= static_cast<DWORD>(milliseconds)) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

DialogAnswer::DialogAnswer(std::string caption, std::function<void(HWND)> action)
    : m_caption(std::move(caption)), m_action(std::move(action)) {
  g_answer = this;
  m_timer = SetTimer(nullptr, 0, 20, OnTimer);
}

DialogAnswer::~DialogAnswer() {
  KillTimer(nullptr, m_timer);
  g_answer = nullptr;
}

void CALLBACK DialogAnswer::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  DialogAnswer* self = g_answer;
  if (!self || self->m_answered) return;
  HWND dialog = FindWindowA("#32770", self->m_caption.c_str());
  if (!dialog || !IsWindowVisible(dialog)) return;
  self->m_answered = true;
  self->m_action(dialog);
}

void Click(HWND dialog, int buttonId) {
  SendMessageA(GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0);
}

std::string TextOf(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::vector<std::string> ChildTexts(HWND window) {
  std::vector<std::string> texts;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    texts.push_back(TextOf(child));
  }
  return texts;
}

std::string ProgramPath() {
  char path[MAX_PATH * 4] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string self = path;
  return self.substr(0, self.find_last_of('\\') + 1) + "Corvane.exe";
}

}  // namespace corvane::testing_support
