#include "WindowTesting.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <utility>
#include <vector>

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
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB}};
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
  HDC dc = GetWindowDC(window), memory = CreateCompatibleDC(dc);
  HBITMAP picture = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ old = SelectObject(memory, picture);
  BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  GetDIBits(memory, picture, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(window, dc);
  // Each row after a filter byte of 0; red, green and blue from the bitmap's blue, green, red.
  std::string rows;
  for (size_t i = 0; i < pixels.size(); i += 4) {
    if (i % (static_cast<size_t>(width) * 4) == 0) rows += '\0';
    rows += {static_cast<char>(pixels[i + 2]), static_cast<char>(pixels[i + 1]),
             static_cast<char>(pixels[i])};
  }
  uLongf size = compressBound(static_cast<uLong>(rows.size()));
  std::string packed(size, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &size,
           reinterpret_cast<const Bytef*>(rows.data()), static_cast<uLong>(rows.size()));
  packed.resize(size);
  auto bigEndian = [](size_t value) {
    return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                       static_cast<char>(value >> 8), static_cast<char>(value)};
  };
  std::ofstream out(path, std::ios::binary);
  out << "\x89PNG\r\n\x1a\n";
  // Chunks of 8-bit true colour, not interlaced.
  for (auto [type, data] :
       {std::pair<std::string, std::string>{
            "IHDR", bigEndian(width) + bigEndian(height) + std::string("\x08\x02\0\0\0", 5)},
        {"IDAT", packed},
        {"IEND", ""}}) {
    std::string body = type + data;
    out << bigEndian(data.size()) << body
        << bigEndian(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                           static_cast<uInt>(body.size())));
  }
  return out.good();
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
