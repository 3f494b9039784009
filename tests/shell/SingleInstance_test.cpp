// The single-instance protocol between real processes: Corvane.exe is started with CreateProcessA
// and an exact command line, and the main window of this process is the first instance, with a
// handler in front of it that notes every WM_COPYDATA and answers it.

#include <vector>

#include "FrameTest.h"
#include "platform/Subclass.h"
#include "shell/Startup.h"

namespace corvane {
namespace {

using namespace test;

constexpr char kMutexName[] = "Corvane_APPLICATION_MUTEX";
// Corvane.exe beside the tests, quoted, to start with a command line after it.
const std::string kCorvane = "\"" + BesideTests("Corvane.exe") + "\"";
constexpr char kA[] = "\"a.zip\"";
constexpr char kPath[] = "\"C:\\my files\\Zo\xC3\xAB \xE6\x97\xA5.zip\"";

// The marked windows of every process.
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

struct CopyDataRecorder : ISubclass {
  LONG MsgResponse() override { return kConsume; }
  void MsgResponse(LONG) override {}
  LRESULT WindowProc(HWND, UINT, WPARAM, LPARAM lParam) override {
    auto* record = reinterpret_cast<COPYDATASTRUCT*>(lParam);
    EXPECT_EQ(record->dwData, 0u);
    records.emplace_back(static_cast<char*>(record->lpData), record->cbData);
    return answer;
  }
  std::vector<std::string> records;
  LRESULT answer = 1;
};

class SingleInstanceTest : public FrameTest {};

TEST_F(SingleInstanceTest, LaterInstanceHandsOverOrActivates) {
  ASSERT_TRUE(IsFirstInstance(kMutexName));
  // No window marked within a hand-over's time (a first instance that never came up): a later one
  // with nothing to open ends quietly.
  Process early = Start(kCorvane);
  EXPECT_EQ(Finish(early), 0);
  EXPECT_TRUE(MarkedWindows().empty());
  // A relative path goes over made absolute against the later instance's folder, here this one's.
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, folder);
  const std::string absoluteA = "\"" + std::string(folder) + "\\a.zip\"";
  // A real archive, so that a later instance that opens it itself shows its window, not a box.
  CopyFileA(TestArchive("four.zip").c_str(), "a.zip", FALSE);

  HWND first = Open().Window();
  CopyDataRecorder recorder;
  SubclassAttachment attachment(first, WM_COPYDATA, recorder);
  const struct {
    const char* name;
    int showCommand;  // the first instance's window
    const char* arguments;
    std::vector<std::string> records;  // the WM_COPYDATA that arrive
    bool restores;                     // the minimised window comes back (only without a hand-over)
    LRESULT answer;                    // the first instance's answer to WM_COPYDATA
  } cases[] = {
      // The archive path as given, quotes kept, in UTF-8 bytes.
      {"path", SW_SHOWNORMAL, kPath, {kPath}, false, 1},
      {"minimised window is not restored by the sender",
       SW_SHOWMINIMIZED,
       kA,
       {absoluteA},
       false,
       1},
      {"hidden window gets one zero byte", SW_HIDE, "", {std::string(1, '\0')}, false, 1},
      {"visible window is only activated", SW_SHOWNORMAL, "", {}, false, 1},
      {"minimised window is restored", SW_SHOWMINIMIZED, "", {}, true, 1},
      // Not taken (a first instance the message never reached): the later instance opens the
      // archive in a main window of its own.
      {"not taken: opened here", SW_SHOWNORMAL, kA, {absoluteA}, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ShowWindow(first, c.showCommand);
    PumpFor(50);
    bool wasIconic = IsIconic(first);
    recorder.records.clear();
    recorder.answer = c.answer;
    Process later = Start(kCorvane + std::string(" ") + c.arguments);
    if (!c.answer) {
      HWND own = nullptr;
      EXPECT_TRUE(WaitUntil([&] {
        for (HWND hwnd : MarkedWindows()) own = hwnd == first ? own : hwnd;
        HWND client = own ? FindWindowExA(own, nullptr, "MDICLIENT", nullptr) : nullptr;
        return client && FindWindowExA(client, nullptr, "CorvaneDocument", nullptr);
      }));
      PostMessageA(own, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(Finish(later), 0);
    EXPECT_EQ(recorder.records, c.records);
    if (c.restores) {
      EXPECT_TRUE(WaitUntil([&] { return !IsIconic(first); }, 3000));
      EXPECT_EQ(GetForegroundWindow(), first);
    } else {
      EXPECT_EQ(IsIconic(first) != 0, wasIconic);
    }
    // Otherwise the later instance never showed a window of its own.
    EXPECT_EQ(MarkedWindows().size(), 1u);
  }
  DeleteFileA("a.zip");
  ReleaseInstanceMutex();
}

}  // namespace
}  // namespace corvane
