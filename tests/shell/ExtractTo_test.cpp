// The Extract command of the main window, created in this process, with its preferences and recent
// folders in the program key under both roots.
#include <gtest/gtest.h>

#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

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

// Writes "Name=value ..." under root's program key: numbers as REG_DWORD, other text as REG_SZ;
// "MRU=a|b" as the recent-folders list.
void Store(HKEY root, const std::string& values) {
  std::istringstream in(values);
  for (std::string token; in >> token;) {
    std::string name = token.substr(0, token.find('=')), value = token.substr(name.size() + 1);
    if (name == "MRU") {
      int count = 0;
      std::istringstream items(value);
      for (std::string item; std::getline(items, item, '|');) {
        std::string itemName = "Item" + std::to_string(++count);
        RegSetKeyValueA(root, kMRUKey, itemName.c_str(), REG_SZ, item.c_str(), item.size() + 1);
      }
      std::string text = std::to_string(count);
      RegSetKeyValueA(root, kMRUKey, "Count", REG_SZ, text.c_str(), text.size() + 1);
    } else if (value.find_first_not_of("0123456789") == std::string::npos) {
      DWORD number = std::stoul(value);
      RegSetKeyValueA(root, kProgramKey, name.c_str(), REG_DWORD, &number, sizeof number);
    } else {
      RegSetKeyValueA(root, kProgramKey, name.c_str(), REG_SZ, value.c_str(), value.size() + 1);
    }
  }
}

// What root's program key holds, in the form Store writes; the list's count must be text.
std::string Stored(HKEY root) {
  std::string stored;
  auto add = [&](const std::string& token) { stored += (stored.empty() ? "" : " ") + token; };
  for (const char* name : {"UseFolderNames", "PromptToOW"}) {
    DWORD number = 0, size = sizeof number;
    if (!RegGetValueA(root, kProgramKey, name, RRF_RT_REG_DWORD, nullptr, &number, &size)) {
      add(std::string(name) + "=" + std::to_string(number));
    }
  }
  char text[MAX_PATH] = "";
  DWORD size = sizeof text;
  if (RegGetValueA(root, kMRUKey, "Count", RRF_RT_REG_SZ, nullptr, text, &size)) return stored;
  std::string items;
  for (int i = 1; i <= std::stoi(text); ++i) {
    char item[MAX_PATH] = "";
    size = sizeof item;
    RegGetValueA(root, kMRUKey, ("Item" + std::to_string(i)).c_str(), RRF_RT_REG_SZ, nullptr, item,
                 &size);
    items += (i > 1 ? "|" : "") + std::string(item);
  }
  add("MRU=" + items);
  return stored;
}

class ExtractToTest : public testing::Test {
 protected:
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

  frmMain& Open() {
    m_main = std::make_unique<frmMain>();
    m_main->Load("");
    return *m_main;
  }
  void Close() {
    EXPECT_TRUE(CloseAndWait(m_main->Window()));
    m_main.reset();
  }

  // File > Extract To... on the active document: act works the dialog and closes it. The boxes
  // that follow are answered in turn, each with its caption and the button pressed; the texts of
  // the last are returned.
  std::string Extract(const std::function<void(HWND)>& act,
                      std::vector<std::pair<const char*, int>> boxes = {}) {
    std::list<DialogAnswer> answers;
    std::string shown;
    std::function<void()> next = [&] {
      if (answers.size() == boxes.size()) return;
      auto [caption, button] = boxes[answers.size()];
      answers.emplace_back(caption, [&, button](HWND box) {
        shown = "";
        for (const std::string& text : ChildTexts(box)) shown += text + "|";
        next();
        Click(box, button);
      });
    };
    DialogAnswer dialog("Extract To...", [&](HWND window) {
      EXPECT_FALSE(IsWindowEnabled(m_main->Window()));
      next();
      act(window);
    });
    SendMessageA(m_main->Window(), WM_COMMAND, frmMain::mnuFileExtract, 0);
    EXPECT_TRUE(dialog.Answered() && IsWindowEnabled(m_main->Window()));
    EXPECT_EQ(answers.size(), boxes.size());
    for (const DialogAnswer& answer : answers) EXPECT_TRUE(answer.Answered());
    return shown;
  }

  std::unique_ptr<frmMain> m_main;
};

// Loaded from the machine's key, then the user's, whose values win wherever the user's key exists
// (a value it lacks is false); written back at close under the user's root, then the machine's,
// which may refuse without stopping the close.
TEST_F(ExtractToTest, PreferencesSurviveARestart) {
  const struct {
    const char* machine;
    const char* user;
    bool machineRefused;
    const char* expected;
  } cases[] = {
      {"UseFolderNames=1 PromptToOW=1 MRU=C:\\m1|D:\\m2", "", false,
       "UseFolderNames=1 PromptToOW=1 MRU=C:\\m1|D:\\m2"},
      {"UseFolderNames=1 PromptToOW=1 MRU=C:\\m1", "UseFolderNames=1", false,
       "UseFolderNames=1 PromptToOW=0 MRU=C:\\m1"},
      {"PromptToOW=1", "PromptToOW=x MRU=C:\\u", false, "UseFolderNames=0 PromptToOW=1 MRU=C:\\u"},
      {"", "", false, "UseFolderNames=0 PromptToOW=0 MRU="},
      {"PromptToOW=0", "PromptToOW=1", true, "UseFolderNames=0 PromptToOW=1 MRU="},
  };
  for (const auto& c : cases) {
    Forget();
    Store(HKEY_LOCAL_MACHINE, c.machine);
    Store(HKEY_CURRENT_USER, c.user);
    {
      std::set<HKEY> refused;
      if (c.machineRefused) refused.insert(HKEY_LOCAL_MACHINE);
      cRegistryTestHelper writes(refused);
      Open();
      Close();
    }
    EXPECT_EQ(Stored(HKEY_CURRENT_USER), c.expected) << c.machine << " / " << c.user;
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE), c.machineRefused ? c.machine : c.expected)
        << c.machine << " / " << c.user;
  }
}

// The Extract command end to end: the rows it extracts, the folder typed or shown, the options,
// the overwrite prompt, a failed run's message, and the recent folders and options at the next
// start.
TEST_F(ExtractToTest, ExtractCommandThroughTheDialog) {
  Forget();
  test::TempFolder t;
  test::WriteFileText(t / "out3\\f2.txt", "old");
  test::WriteFileText(t / "file", "");
  std::string program = ExecutableFolder(), archive = test::TestArchive("four.zip");
  program.pop_back();
  Open().ProcessCommandLine("\"" + archive + "\"");
  frmDocument& document = *m_main->ActiveDocument();
  const struct {
    std::vector<int> rows;
    const char* typed;  // null: the folder the dialog shows
    std::vector<int> clicks;
    std::string shown;  // at the start
    std::vector<std::pair<const char*, int>> boxes;
    std::set<std::string> added;  // files under t afterwards, beside those of the rows before
  } cases[] = {
      {{}, nullptr, {F::kCmdCancel}, program, {}, {}},
      {{}, nullptr, {SC_CLOSE}, program, {}, {}},
      {{}, "", {F::kCmdExtract}, program, {}, {}},
      {{},
       "out1",
       {F::kCmdExtract},
       program,
       {},
       {"out1\\f1.txt", "out1\\f2.txt", "out1\\f3.txt", "out1\\f4.txt"}},
      {{1, 3}, "out2", {F::kCmdExtract}, t / "out1", {}, {"out2\\f2.txt", "out2\\f4.txt"}},
      // Prompt to Overwrite off replaces out3\f2.txt, which the next row puts back.
      {{1}, "out3", {F::kCmdExtract}, t / "out2", {}, {}},
      {{1},
       "out3",
       {F::kChkOverwritePrompt, F::kCmdExtract},
       t / "out3",
       {{"Overwrite Existing File?", frmOverwrite::kCmdNo}},
       {}},
      {{},
       "out1",
       {F::kCmdExtract},
       t / "out3",
       {{"Overwrite Existing File?", frmOverwrite::kCmdNTA}},
       {}},
      {{}, "file\\sub", {F::kCmdExtract}, t / "out1", {{"Corvane", IDOK}}, {}},
  };
  std::set<std::string> files = test::FilesUnder(t.Path());
  for (const auto& c : cases) {
    std::string typed = c.typed ? c.typed : "";
    if (typed == "out3") test::WriteFileText(t / "out3\\f2.txt", "old");
    HWND list = document.lvwZip();
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    for (int row : c.rows) ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
    std::string shown = Extract(
        [&](HWND dialog) {
          EXPECT_EQ(TextOf(GetDlgItem(dialog, F::kCboExtractTo)), c.shown);
          if (c.typed) {
            SetDlgItemTextA(dialog, F::kCboExtractTo, c.typed[0] ? (t / c.typed).c_str() : "");
          }
          for (int click : c.clicks) {
            if (click == SC_CLOSE) SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            if (click != SC_CLOSE) Click(dialog, click);
          }
        },
        c.boxes);
    files.insert(c.added.begin(), c.added.end());
    EXPECT_EQ(test::FilesUnder(t.Path()), files) << c.shown;
    EXPECT_FALSE(document.m_cUnzip.OverwriteExisting());
    EXPECT_EQ(test::ReadFileText(t / "out3\\f2.txt"),
              typed == "out3" && c.boxes.empty() ? "new 2" : "old");
    // A failed run shows the archive and the engine's lines.
    EXPECT_EQ(shown.find(archive + "\r\n\r\n") != std::string::npos, typed == "file\\sub") << shown;
  }
  // The next start shows the recent folders, the last first, and the options as they were left.
  Close();
  Open().ProcessCommandLine("\"" + archive + "\"");
  Extract([&](HWND dialog) {
    HWND combo = GetDlgItem(dialog, F::kCboExtractTo);
    EXPECT_EQ(TextOf(combo), t / "file\\sub");
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(IsDlgButtonChecked(dialog, F::kChkOverwritePrompt), BST_CHECKED);
    Click(dialog, F::kCmdCancel);
  });
  EXPECT_EQ(Stored(HKEY_CURRENT_USER).substr(0, 30), "UseFolderNames=0 PromptToOW=1 ");
}

// A second start while the dialog is open hands its archive over, which opens once the dialog has
// closed; a request to close the main window then waits for the dialog too.
TEST_F(ExtractToTest, SecondStartAndCloseWaitForTheDialog) {
  Forget();
  HANDLE mutex = CreateMutexA(nullptr, TRUE, "Corvane_APPLICATION_MUTEX");
  std::string first = test::TestArchive("four.zip"), second = test::TestArchive("names.zip");
  Open().ProcessCommandLine("\"" + first + "\"");
  HWND window = m_main->Window();
  Extract([&](HWND dialog) {
    Process start =
        testing_support::Start("\"" + BesideTests("Corvane.exe") + "\" \"" + second + "\"");
    EXPECT_EQ(Finish(start), 0);
    PumpFor(100);
    EXPECT_EQ(TextOf(m_main->ActiveDocument()->Window()), first);
    Click(dialog, F::kCmdCancel);
  });
  EXPECT_TRUE(WaitUntil([&] { return TextOf(m_main->ActiveDocument()->Window()) == second; }));
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
