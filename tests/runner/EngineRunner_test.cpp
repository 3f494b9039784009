// Long engine runs on real windows: the frame answers throughout, the progress window comes up with
// numbers that grow, and its Cancel leaves no half-made result. The frame runs in this process,
// which also holds the instance mutex, so that a Corvane.exe started meanwhile hands over to it.

#include "runner/EngineRunner.h"

#include <commctrl.h>
#include <winioctl.h>

#include <atomic>
#include <optional>
#include <thread>

#include "FrameTest.h"
#include "document/frmDocument.h"
#include "platform/CommandScope.h"
#include "platform/Handle.h"
#include "platform/Text.h"
#include "runner/frmProgress.h"
#include "settings/AppSettings.h"
#include "shell/Startup.h"

namespace corvane {
namespace {

using namespace test;

constexpr uint64_t kMiB = 1 << 20;

// A file of bytes that do not compress, written in 1 MiB pieces: adding it takes seconds of
// deflating, copying its entry takes time in the archive's bytes.
void WriteNoise(const std::string& path, uint64_t mebibytes) {
  UniqueKernelHandle file(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  std::vector<uint64_t> block(kMiB / 8);
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (uint64_t i = 0; i < mebibytes; ++i) {
    for (uint64_t& word : block) {
      state ^= state << 13, state ^= state >> 7, state ^= state << 17;
      word = state;
    }
    DWORD written = 0;
    WriteFile(file.Get(), block.data(), static_cast<DWORD>(kMiB), &written, nullptr);
  }
}

// A file of zeros that takes no room on the disk: it deflates to almost nothing, and extracting it
// takes seconds of writing.
void WriteZeros(const std::string& path, uint64_t mebibytes) {
  UniqueKernelHandle file(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD ignored = 0;
  DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  LARGE_INTEGER size;
  size.QuadPart = static_cast<LONGLONG>(mebibytes * kMiB);
  SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN);
  SetEndOfFile(file.Get());
}

// The progress window of this process's run, if it shows.
HWND ProgressWindow() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM result) {
        if (GetDlgItem(hwnd, frmProgress::kPrgBar) && IsWindowVisible(hwnd)) {
          *reinterpret_cast<HWND*>(result) = hwnd;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// While it lives, another thread sends the frame WM_NULL over and over, as the system's hang
// detection and a second start's hand-over do, and counts the sends that found it not answering
// for 5 s.
class Pinger {
 public:
  explicit Pinger(HWND window)
      : m_thread([this, window] {
          while (!m_stop) {
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) ++m_failed;
            ++m_sent;
            Sleep(20);
          }
          m_done = true;
        }) {}
  ~Pinger() { Stop(); }
  // Handles messages while the last send finishes: the window thread answers it.
  void Stop() {
    m_stop = true;
    WaitUntil([this] { return m_done.load(); });
    if (m_thread.joinable()) m_thread.join();
  }
  int Failed() const { return m_failed; }
  int Sent() const { return m_sent; }

 private:
  std::atomic<bool> m_stop{false}, m_done{false};
  std::atomic<int> m_failed{0}, m_sent{0};
  std::thread m_thread;
};

class EngineRunnerTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    ASSERT_TRUE(IsFirstInstance("Corvane_APPLICATION_MUTEX"));
  }
  void TearDown() override {
    FrameTest::TearDown();
    ReleaseInstanceMutex();
  }

  TempFolder folder;
};

// Each long run: the progress window comes up owned by the frame, says what runs, and its counts
// grow; the frame answers every send meanwhile; then the case acts during the run (Cancel, a
// second start, a close) and the run leaves what a stop must leave.
TEST_F(EngineRunnerTest, LongRunsAnswerShowProgressAndCancelCleanly) {
  WriteFileText(folder / "src\\small.txt", "small");
  WriteNoise(folder / "src\\noise.bin", 512);
  WriteZeros(folder / "src\\zeros.bin", 2048);
  std::string archive = folder / "long.zip";
  frmMain& main = Open();
  frmDocument& document = main.CreateDocumentWindow();
  document.m_cZip.ZipFile(archive);
  document.m_cZip.BasePath(folder / "src");
  document.m_cZip.AddFileSpec("small.txt");
  document.m_cZip.AddFileSpec("zeros.bin");
  document.m_cZip.Zip();
  ASSERT_EQ(document.m_cZip.LastResult(), 0);
  document.LoadArchive(archive);
  std::string target = folder / "out";

  enum class During { kCancel, kCancelAtOnce, kNothing, kSecondStart, kClose };
  const struct {
    const char* name;
    const char* action;  // the progress window's word for the run
    During during;
    int32_t code;  // the run's return code
  } cases[] = {
      {"Add Files cancelled", "Adding", During::kCancel, 80},
      {"Add Files to the end", "Adding", During::kNothing, 0},
      // Copying the entries may take less than the window's delay: stopped as soon as it runs.
      {"Delete cancelled", "Deleting", During::kCancelAtOnce, 80},
      {"Extract with a second start, cancelled", "Extracting", During::kSecondStart, 80},
      {"Extract, the frame closed meanwhile", "Extracting", During::kClose, 80},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string before = ReadFileText(archive);
    int documents = Documents();
    HWND frame = main.Window();
    bool shown = false, grew = false, acted = false;
    std::string counts;
    Process second{};
    // Looks at the run from a timer of this thread, which only fires while the window thread goes
    // on handling messages: the engine runs elsewhere.
    std::function<void()> look = [&] {
      if (c.during == During::kCancelAtOnce) return runner::CancelRun();
      HWND progress = ProgressWindow();
      if (!progress) return;
      if (!shown) {
        shown = true;
        EXPECT_EQ(GetWindow(progress, GW_OWNER), frame);
        EXPECT_NE(TextOf(progress).find(c.action), std::string::npos) << TextOf(progress);
        EXPECT_EQ(TextOf(GetDlgItem(progress, frmProgress::kLblArchive)), archive);
      }
      std::string now = TextOf(GetDlgItem(progress, frmProgress::kLblCounts));
      if (!counts.empty() && now != counts) grew = true;
      counts = now;
      if (acted) return;
      acted = true;
      switch (c.during) {
        case During::kCancel:
          PostMessageA(progress, WM_KEYDOWN, VK_ESCAPE, 0);
          break;
        case During::kSecondStart:
          second = Start("\"" + BesideTests("Corvane.exe") + "\" \"" + archive + "\"");
          EXPECT_EQ(Finish(second), 0);  // handed over at once, though the run goes on
          EXPECT_EQ(Documents(), documents);
          Click(progress, frmProgress::kCmdCancel);
          break;
        case During::kClose:
          PostMessageA(frame, WM_CLOSE, 0, 0);
          break;
        case During::kNothing:
        case During::kCancelAtOnce:
          break;
      }
    };
    static std::function<void()>* s_look;
    s_look = &look;
    UINT_PTR timer = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) { (*s_look)(); });
    // The program's boxes: a close during the run asks, Yes cancels; a stopped extraction tells.
    std::string boxes;
    DialogAnswer box(
        kAppTitle,
        [&](HWND dialog) {
          boxes += TextOf(GetDlgItem(dialog, 0xFFFF)) + "|";
          Click(dialog, GetDlgItem(dialog, IDYES) ? IDYES : IDOK);
        },
        2);
    Pinger pinger(frame);
    int32_t code = -1;
    std::optional<CommandScope> command(std::in_place);  // as the commands hold one
    if (c.action == std::string("Adding")) {
      document.m_cZip.ClearFileSpecs();
      document.m_cZip.AddFileSpec("noise.bin");
      document.m_cZip.Zip();
      code = document.m_cZip.LastResult();
    } else if (c.action == std::string("Deleting")) {
      document.m_cZip.ClearFileSpecs();
      document.m_cZip.AddFileSpec("small.txt");
      document.m_cZip.Delete();
      code = document.m_cZip.LastResult();
    } else {
      document.Relist();
      for (int32_t i = 1; i <= document.m_cUnzip.FileCount(); ++i) {
        document.m_cUnzip.FileSelected(i, document.m_cUnzip.Filename(i) == "zeros.bin");
      }
      document.m_cUnzip.UnzipFolder(target);
      document.RunUnzip();
      code = document.m_cUnzip.LastResult();
    }
    command.reset();
    pinger.Stop();
    KillTimer(nullptr, timer);
    EXPECT_TRUE(shown || c.during == During::kCancelAtOnce);
    if (c.during == During::kNothing) EXPECT_TRUE(grew) << counts;
    EXPECT_EQ(pinger.Failed(), 0) << pinger.Sent();
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(ProgressWindow(), nullptr);  // gone with the run
    // A stopped run leaves the archive as it was, no temporary file, and no partial file.
    if (c.code != 0) EXPECT_TRUE(ReadFileText(archive) == before);
    EXPECT_EQ(
        FilesUnder(folder.Path()),
        (std::set<std::string>{"long.zip", "src\\noise.bin", "src\\small.txt", "src\\zeros.bin"}));
    if (c.during == During::kSecondStart) {
      EXPECT_TRUE(WaitUntil([&] { return Documents() == documents + 1; }));
    }
    std::string cancelled = "Cancelled: 0 of 1 entries were extracted.|";
    if (c.during == During::kSecondStart) EXPECT_EQ(boxes, archive + "\r\n\r\n" + cancelled);
    if (c.during == During::kClose) {
      EXPECT_NE(boxes.find("Cancel it and close?|" + archive + "\r\n\r\n" + cancelled),
                std::string::npos)
          << boxes;
      EXPECT_TRUE(WaitUntil([&] { return !IsWindow(frame); }));
      m_main.reset();
    }
  }
}

}  // namespace
}  // namespace corvane
