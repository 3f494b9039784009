// The Extract command of the main window, created in this process, with its preferences and recent
// folders in the program key under both roots.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <tuple>

#include "EngineTesting.h"
#include "WindowTesting.h"
#include "cRegistryTestHelper.h"
#include "dialogs/frmExtractTo.h"
#include "dialogs/frmOverwrite.h"
#include "document/frmDocument.h"
#include "platform/Module.h"
#include "shell/frmMain.h"

namespace corvane {
namespace {

using namespace testing_support;
using F = frmExtractTo;

constexpr char kProgramKey[] = "SOFTWARE\\Corvane\\Corvane";
constexpr char kMRUKey[] = "SOFTWARE\\Corvane\\Corvane\\ExtractToMRU";

// A root's program key: "UseFolderNames" and "PromptToOW" (-1: absent), and the most recent
// folder ("": none).
using Stored = std::tuple<int, int, std::string>;

void Put(HKEY root, const Stored& stored) {
  auto [use, prompt, recent] = stored;
  for (auto [name, value] : {std::pair{"UseFolderNames", use}, std::pair{"PromptToOW", prompt}}) {
    if (value >= 0) RegSetKeyValueA(root, kProgramKey, name, REG_DWORD, &value, 4);
  }
  if (recent.empty()) return;
  RegSetKeyValueA(root, kMRUKey, "Count", REG_SZ, "1", 2);
  RegSetKeyValueA(root, kMRUKey, "Item1", REG_SZ, recent.c_str(), recent.size() + 1);
}

Stored Get(HKEY root) {
  Stored stored{-1, -1, ""};
  DWORD size = 4;
  RegGetValueA(root, kProgramKey, "UseFolderNames", RRF_RT_REG_DWORD, 0, &std::get<0>(stored),
               &size);
  RegGetValueA(root, kProgramKey, "PromptToOW", RRF_RT_REG_DWORD, 0, &std::get<1>(stored), &size);
  char text[MAX_PATH] = "";
  size = sizeof text;
  // The count is stored as text.
  if (!RegGetValueA(root, kMRUKey, "Count", RRF_RT_REG_SZ, 0, text, &size) && atoi(text) > 0) {
    size = sizeof text;
    RegGetValueA(root, kMRUKey, "Item1", RRF_RT_REG_SZ, 0, text, &size);
    std::get<2>(stored) = text;
  }
  return stored;
}

class ExtractToTest : public testing::Test {
 protected:
  void SetUp() override { Forget(); }
  void TearDown() override {
    m_main.reset();
    Forget();
  }
  // Nothing stored, and no first-run question.
  static void Forget() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) RegDeleteTreeA(root, kProgramKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvane\\Settings");
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Corvane\\Settings", "frun", REG_SZ, "0", 2);
  }

  // A main window with the archive open.
  frmMain& Open(const std::string& archive = "") {
    m_main = std::make_unique<frmMain>();
    m_main->Load(archive.empty() ? "" : "\"" + archive + "\"");
    return *m_main;
  }
  void Close() {
    EXPECT_TRUE(CloseAndWait(m_main->Window()));
    m_main.reset();
  }

  // File > Extract To...: act works the dialog and closes it. The box captioned `box` that follows
  // is answered with `button`; its texts are returned.
  std::string Extract(const std::function<void(HWND)>& act, const char* box = nullptr,
                      int button = 0) {
    std::optional<DialogAnswer> next;
    std::string shown;
    DialogAnswer dialog("Extract To...", [&](HWND window) {
      EXPECT_FALSE(IsWindowEnabled(m_main->Window()));
      if (box)
        next.emplace(box, [&](HWND answered) {
          for (const std::string& text : ChildTexts(answered)) shown += text + "|";
          Click(answered, button);
        });
      act(window);
    });
    SendMessageA(m_main->Window(), WM_COMMAND, frmMain::mnuFileExtract, 0);
    EXPECT_TRUE(dialog.Answered() && IsWindowEnabled(m_main->Window()));
    EXPECT_TRUE(!box || next->Answered()) << box;
    return shown;
  }

  std::unique_ptr<frmMain> m_main;
};

// Loaded from the machine's key, then the user's, whose values win wherever the user's key exists
// (a value it lacks is false); written back at close under the user's root, then the machine's,
// which may refuse without stopping the close.
TEST_F(ExtractToTest, PreferencesSurviveARestart) {
  const struct {
    Stored machine, user;
    bool refused;
    Stored expected;
  } cases[] = {
      {{1, 1, "C:\\m"}, {-1, -1, ""}, false, {1, 1, "C:\\m"}},
      {{1, 1, "C:\\m"}, {1, -1, ""}, false, {1, 0, "C:\\m"}},
      {{0, 0, ""}, {1, 1, "C:\\u"}, true, {1, 1, "C:\\u"}},
  };
  for (const auto& c : cases) {
    Forget();
    Put(HKEY_LOCAL_MACHINE, c.machine);
    Put(HKEY_CURRENT_USER, c.user);
    {
      cRegistryTestHelper writes(c.refused ? std::set{HKEY_LOCAL_MACHINE} : std::set<HKEY>{});
      Open();
      Close();
    }
    EXPECT_EQ(Get(HKEY_CURRENT_USER), c.expected);
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE), c.refused ? c.machine : c.expected);
  }
}

// The Extract command end to end: the rows it extracts, the folder shown first and the one typed,
// the options, the overwrite prompt, a failed run's message, and at the next start the recent
// folders, the last first, and the options as they were left.
TEST_F(ExtractToTest, ExtractCommandThroughTheDialog) {
  test::TempFolder t;
  test::WriteFileText(t / "file", "");
  std::string program = ExecutableFolder(), archive = test::TestArchive("four.zip");
  program.pop_back();
  frmDocument& document = *Open(archive).ActiveDocument();
  using O = frmOverwrite;
  const struct {
    std::vector<int> rows;
    const char* typed;  // null: the folder the dialog shows
    std::vector<int> clicks;
    std::string shown;
    const char* box;
    int button;
    size_t files;    // under t afterwards
    const char* f2;  // out3\f2.txt afterwards, written "old" before
  } cases[] = {
      {{}, nullptr, {F::kCmdCancel}, program, nullptr, 0, 1, nullptr},
      {{}, nullptr, {SC_CLOSE}, program, nullptr, 0, 1, nullptr},
      {{}, "", {F::kCmdExtract}, program, nullptr, 0, 1, nullptr},
      {{}, "out1", {F::kCmdExtract}, program, nullptr, 0, 5, nullptr},
      {{1, 3}, "out2", {F::kCmdExtract}, t / "out1", nullptr, 0, 7, nullptr},
      {{1}, "out3", {F::kCmdExtract}, t / "out2", nullptr, 0, 8, "new 2"},
      {{1},
       "out3",
       {F::kChkOverwritePrompt, F::kCmdExtract},
       t / "out3",
       "Overwrite Existing File?",
       O::kCmdNo,
       8,
       "old"},
      {{},
       "out1",
       {F::kCmdExtract},
       t / "out3",
       "Overwrite Existing File?",
       O::kCmdNTA,
       8,
       nullptr},
      {{}, "file\\sub", {F::kCmdExtract}, t / "out1", "Corvane", IDOK, 8, nullptr},
  };
  for (const auto& c : cases) {
    if (c.f2) test::WriteFileText(t / "out3\\f2.txt", "old");
    ListView_SetItemState(document.lvwZip(), -1, 0, LVIS_SELECTED);
    for (int row : c.rows) ListView_SetItemState(document.lvwZip(), row, ~0u, LVIS_SELECTED);
    std::string shown = Extract(
        [&](HWND dialog) {
          EXPECT_EQ(TextOf(GetDlgItem(dialog, F::kCboExtractTo)), c.shown);
          if (c.typed)
            SetDlgItemTextA(dialog, F::kCboExtractTo, *c.typed ? (t / c.typed).c_str() : "");
          for (int click : c.clicks) {
            if (click == SC_CLOSE) SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            if (click != SC_CLOSE) Click(dialog, click);
          }
        },
        c.box, c.button);
    EXPECT_EQ(test::FilesUnder(t.Path()).size(), c.files) << c.shown;
    EXPECT_FALSE(document.m_cUnzip.OverwriteExisting());
    if (c.f2) EXPECT_EQ(test::ReadFileText(t / "out3\\f2.txt"), c.f2);
    // A failed run shows the archive and the engine's lines.
    EXPECT_EQ(shown.find(archive + "\r\n\r\n") != std::string::npos, c.button == IDOK) << shown;
  }
  Close();
  Open(archive);
  Extract([&](HWND dialog) {
    HWND combo = GetDlgItem(dialog, F::kCboExtractTo);
    EXPECT_EQ(TextOf(combo), t / "file\\sub");
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 4);  // out1 once, at the top before
    EXPECT_EQ(IsDlgButtonChecked(dialog, F::kChkOverwritePrompt), BST_CHECKED);
    Click(dialog, F::kCmdCancel);
  });
  EXPECT_EQ(Get(HKEY_CURRENT_USER), Stored(0, 1, t / "file\\sub"));
}

// A second start while the dialog is open hands its archive over, which opens once the dialog has
// closed; a request to close the main window then waits for the dialog too.
TEST_F(ExtractToTest, SecondStartAndCloseWaitForTheDialog) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, "Corvane_APPLICATION_MUTEX");
  std::string first = test::TestArchive("four.zip"), second = test::TestArchive("names.zip");
  HWND window = Open(first).Window();
  auto active = [&] { return TextOf(m_main->ActiveDocument()->Window()); };
  Extract([&](HWND dialog) {
    Process start = Start("\"" + BesideTests("Corvane.exe") + "\" \"" + second + "\"");
    EXPECT_EQ(Finish(start), 0);
    PumpFor(100);
    EXPECT_EQ(active(), first);
    Click(dialog, F::kCmdCancel);
  });
  EXPECT_TRUE(WaitUntil([&] { return active() == second; }));
  Extract([&](HWND dialog) {
    SendMessageA(window, WM_CLOSE, 0, 0);  // the disabled window's close box itself takes no click
    PumpFor(100);
    EXPECT_TRUE(IsWindowVisible(dialog));
    Click(dialog, F::kCmdCancel);
  });
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }));
  m_main.reset();
  CloseHandle(mutex);
}

}  // namespace
}  // namespace corvane
