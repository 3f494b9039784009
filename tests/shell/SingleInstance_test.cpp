// The single-instance protocol between real processes: Corvane.exe is started with CreateProcessA
// and an exact command line, and this test process plays the first instance.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "Testing.h"
#include "shell/Startup.h"

namespace corvane {
namespace {

using namespace test;

constexpr char kMutexName[] = "Corvane_APPLICATION_MUTEX";

// Starts Corvane.exe with this command line after its quoted path (nothing when empty).
Process StartCorvane(const std::string& arguments) {
  return Start("\"" + BesideTests("Corvane.exe") + "\"" +
               (arguments.empty() ? "" : " " + arguments));
}

std::vector<HWND> MarkedWindows() {
  std::vector<HWND> found;
  EnumWindows(
      [](HWND hwnd, LPARAM list) {
        if (IsMainWindow(hwnd)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND MarkedWindowOf(DWORD processId) {
  for (HWND hwnd : MarkedWindows()) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == processId && IsWindowVisible(hwnd)) return hwnd;
  }
  return nullptr;
}

// A stand-in first instance in this process: it holds the mutex and a marked window that notes
// every WM_COPYDATA it receives and answers it with the given value (1: taken).
class FakeFirstInstance {
 public:
  FakeFirstInstance(int showCommand, LRESULT answer) : m_answer(answer) {
    m_mutex = CreateMutexA(nullptr, TRUE, kMutexName);
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    static const bool registered = [] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = Procedure;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "CorvaneFakeFirst";
      return RegisterClassA(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    m_window =
        CreateWindowExA(0, "CorvaneFakeFirst", "fake first instance", WS_OVERLAPPEDWINDOW, 50, 50,
                        300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (showCommand != SW_HIDE) ShowWindow(m_window, showCommand);
    MarkMainWindow(m_window);
  }
  ~FakeFirstInstance() {
    DestroyWindow(m_window);
    CloseHandle(m_mutex);
  }

  HWND Window() const { return m_window; }
  const std::vector<std::string>& Records() const { return m_records; }

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FakeFirstInstance*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_COPYDATA && self) {
      auto* record = reinterpret_cast<COPYDATASTRUCT*>(lParam);
      EXPECT_EQ(record->dwData, 0u);
      self->m_records.emplace_back(static_cast<char*>(record->lpData), record->cbData);
      return self->m_answer;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }

  HANDLE m_mutex;
  HWND m_window;
  LRESULT m_answer;
  std::vector<std::string> m_records;
};

class SingleInstanceTest : public testing::Test {
 protected:
  void SetUp() override {
    // No first-run question may hold a started Corvane before its window shows.
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Corvane\\Settings", "frun", REG_SZ, "0", 2);
  }
  void TearDown() override {
    // Nothing of a test may outlive it.
    for (HWND hwnd : MarkedWindows()) {
      DWORD owner = 0;
      GetWindowThreadProcessId(hwnd, &owner);
      if (owner == GetCurrentProcessId()) continue;
      PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }
    WaitUntil([] { return MarkedWindows().empty(); }, 10000);
  }
};

struct HandOverCase {
  const char* name;
  int showCommand;  // the first instance's window
  const char* arguments;
  bool sends;  // a WM_COPYDATA arrives
  std::string payload;
  bool activates;      // the minimised window comes back (only without a hand-over)
  LRESULT answer = 1;  // the first instance's answer to WM_COPYDATA
};

TEST_F(SingleInstanceTest, LaterInstanceHandsOverOrActivates) {
  const HandOverCase cases[] = {
      {"archive path, quotes kept, UTF-8 bytes", SW_SHOWNORMAL,
       "\"C:\\my files\\Zo\xC3\xAB \xE6\x97\xA5.zip\"", true,
       "\"C:\\my files\\Zo\xC3\xAB \xE6\x97\xA5.zip\"", false},
      {"minimised window is not restored by the sender", SW_SHOWMINIMIZED, "\"a.zip\"", true,
       "\"a.zip\"", false},
      {"hidden window gets one zero byte", SW_HIDE, "", true, std::string(1, '\0'), false},
      {"visible window is only activated", SW_SHOWNORMAL, "", false, "", false},
      {"minimised window is restored", SW_SHOWMINIMIZED, "", false, "", true},
      // An answer other than 1 (a first instance the message never reached): the later instance
      // opens the archive in a main window of its own.
      {"not taken: opened here", SW_SHOWNORMAL, "\"a.zip\"", true, "\"a.zip\"", false, 0},
  };
  for (const HandOverCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFirstInstance first(c.showCommand, c.answer);
    bool wasIconic = IsIconic(first.Window());
    Process later = StartCorvane(c.arguments);
    if (c.answer != 1) {
      HWND own = nullptr;
      EXPECT_TRUE(WaitUntil([&] {
        own = MarkedWindowOf(later.id);
        HWND client = own ? FindWindowExA(own, nullptr, "MDICLIENT", nullptr) : nullptr;
        return client && FindWindowExA(client, nullptr, "CorvaneDocument", nullptr);
      }));
      PostMessageA(own, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(Finish(later), 0);
    EXPECT_EQ(first.Records(),
              c.sends ? std::vector<std::string>{c.payload} : std::vector<std::string>{});
    if (c.activates) {
      EXPECT_TRUE(WaitUntil([&] { return !IsIconic(first.Window()); }, 3000));
      EXPECT_EQ(GetForegroundWindow(), first.Window());
    } else {
      EXPECT_EQ(IsIconic(first.Window()) != 0, wasIconic);
    }
    // Otherwise the later instance never showed a window of its own.
    EXPECT_EQ(MarkedWindows().size(), 1u);
  }
}

TEST_F(SingleInstanceTest, LaterInstanceWithoutMainWindowEndsQuietly) {
  // The mutex is taken, but no window is marked yet (a first instance still loading).
  HANDLE mutex = CreateMutexA(nullptr, TRUE, kMutexName);
  Process later = StartCorvane("\"a.zip\"");
  EXPECT_EQ(Finish(later), 0);
  EXPECT_TRUE(MarkedWindows().empty());
  CloseHandle(mutex);
}

}  // namespace
}  // namespace corvane
