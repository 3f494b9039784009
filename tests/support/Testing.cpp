#include "Testing.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

#include "platform/Text.h"

// Paths are UTF-8 here, as everywhere in the program: the file system takes them through Wide().
namespace corvane::test {
namespace {

// The answers alive, by their timers: several can wait for dialogs at once.
std::map<UINT_PTR, DialogAnswer*> g_answers;
constexpr char kChildVariable[] = "CORVANE_TEST_CHILD";

}  // namespace

TempFolder::TempFolder() {
  static int counter = 0;
  std::filesystem::path folder;
  do {
    folder = std::filesystem::temp_directory_path() /
             ("cvtest" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter));
  } while (!std::filesystem::create_directory(folder));
  m_sPath = Utf8(folder.wstring());
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Wide(m_sPath), ignored)) {
    SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  std::filesystem::remove_all(Wide(m_sPath), ignored);
}

std::string TestArchive(const std::string& name) {
  // The folder comes as a Linux path; Wine shows the Linux root as drive Z:.
  const char* folder = std::getenv("CORVANE_TEST_ARCHIVES");
  std::string path = std::string("Z:") + (folder ? folder : "") + "/" + name;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

void WriteFileText(const std::string& path, const std::string& data) {
  std::filesystem::path file = Wide(path);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << data;
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(std::filesystem::path(Wide(path)), std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream data;
  data << in.rdbuf();
  return data.str();
}

std::set<std::string> FilesUnder(const std::string& folder) {
  std::set<std::string> files;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Wide(folder), ignored)) {
    if (entry.is_regular_file()) {
      files.insert(Utf8(entry.path().lexically_relative(Wide(folder)).wstring()));
    }
  }
  return files;
}

long ErrorNumber(const std::function<void()>& call, std::string* source, std::string* description) {
  try {
    call();
  } catch (const Error& error) {
    if (source) *source = error.Source();
    if (description) *description = error.Description();
    return error.Number();
  }
  return 0;
}

void Recorder::Note() {
  if (GetCurrentThreadId() != m_thread) otherThread = true;
}

void Recorder::Cancel(const std::string& sMsg, bool& bCancel) {
  Note();
  cancels.push_back(sMsg);
  if (during) std::exchange(during, nullptr)();
  bCancel = cancelAll;
}

void Recorder::OverWritePrompt(const std::string&, int32_t&) {
  Note();
}

void Recorder::PasswordRequest(const std::string&, bool, std::string& sPassword, bool& bCancel) {
  Note();
  EXPECT_TRUE(sPassword.empty() && !bCancel);
  ++passwordPrompts;
  sPassword = password;
}

void Recorder::Progress(int32_t lCount, const std::string& sMsg) {
  Note();
  EXPECT_EQ(lCount, 1);
  messages.push_back(sMsg);
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

void Click(HWND dialog, int buttonId) {
  SendMessageA(GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0);
}

std::string TextOf(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ListItemText(HWND list, int row, int column) {
  char text[1024] = "";
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

std::string ChildTexts(HWND window) {
  std::string texts;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    texts += TextOf(child) + "\n";
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
  return Process{info.hProcess};
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

}  // namespace corvane::test
