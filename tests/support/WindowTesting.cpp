#include "WindowTesting.h"

#include <gtest/gtest.h>

#include <objidl.h>
#include <gdiplus.h>

#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

#include "platform/Text.h"

namespace corvane::testing_support {
namespace {
// The answers alive, by their timers: several can wait for dialogs at once.
std::map<UINT_PTR, DialogAnswer*> g_answers;
constexpr char kChildVariable[] = "CORVANE_TEST_CHILD";
}  // namespace

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

DialogAnswer::DialogAnswer(std::string caption, std::function<void(HWND)> action, int times)
    : m_caption(std::move(caption)), m_action(std::move(action)), m_times(times) {
  m_timer = SetTimer(nullptr, 0, 20, OnTimer);
  g_answers[m_timer] = this;
}

DialogAnswer::~DialogAnswer() {
  KillTimer(nullptr, m_timer);
  g_answers.erase(m_timer);
}

void CALLBACK DialogAnswer::OnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  auto found = g_answers.find(timer);
  DialogAnswer* self = found == g_answers.end() ? nullptr : found->second;
  if (!self || self->m_answered == self->m_times) return;
  HWND dialog = FindWindowA("#32770", self->m_caption.c_str());
  // The dialog answered last may still be closing.
  if (!dialog || !IsWindowVisible(dialog) || dialog == self->m_last) return;
  ++self->m_answered;
  self->m_last = dialog;
  self->m_action(dialog);
}

bool CloseAndWait(HWND window) {
  PostMessageA(window, WM_CLOSE, 0, 0);
  return WaitUntil([&] { return !IsWindow(window); });
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

bool SaveScreenshot(HWND window, const std::string& path) {
  RECT rect;
  GetWindowRect(window, &rect);
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC dc = GetWindowDC(window), memory = CreateCompatibleDC(dc);
  HBITMAP picture = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ old = SelectObject(memory, picture);
  BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(window, dc);
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  // The system's PNG encoder.
  const CLSID png = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
  bool saved =
      Gdiplus::Bitmap(picture, nullptr).Save(Wide(path).c_str(), &png, nullptr) == Gdiplus::Ok;
  Gdiplus::GdiplusShutdown(token);
  DeleteObject(picture);
  return saved;
}

std::string BesideTests(const std::string& name) {
  std::string self(32768, '\0');
  self.resize(GetModuleFileNameA(nullptr, self.data(), static_cast<DWORD>(self.size())));
  return self.substr(0, self.find_last_of('\\') + 1) + name;
}

bool InChildRun() {
  return std::getenv(kChildVariable) != nullptr;
}

Process Start(std::string commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  for (HANDLE output : {startup.hStdOutput, startup.hStdError}) {
    SetHandleInformation(output, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  }
  PROCESS_INFORMATION info{};
  EXPECT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr,
                             /*bInheritHandles=*/TRUE, 0, nullptr, nullptr, &startup, &info))
      << commandLine;
  CloseHandle(info.hThread);
  return Process{info.hProcess, info.dwProcessId};
}

long Finish(Process& process, int milliseconds) {
  bool ended = WaitUntil([&] { return WaitForSingleObject(process.handle, 0) == WAIT_OBJECT_0; },
                         milliseconds);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process.handle, &code);
  if (!ended) TerminateProcess(process.handle, 99);
  CloseHandle(process.handle);
  process.handle = nullptr;
  return ended ? static_cast<long>(code) : -1;
}

long RunThisTestIn(const std::string& executable) {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  SetEnvironmentVariableA(kChildVariable, "1");
  Process child = Start("\"" + executable + "\" --gtest_filter=" + test->test_suite_name() + "." +
                        test->name());
  SetEnvironmentVariableA(kChildVariable, nullptr);
  return Finish(child, 120000);
}

}  // namespace corvane::testing_support
