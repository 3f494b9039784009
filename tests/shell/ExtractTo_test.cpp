// The Extract command of the main window, created in this process, with the Extract To dialog and
// its folder tree, and the preferences and recent folders in the program key under both roots.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <tuple>

#include "FrameTest.h"
#include "cRegistryTestHelper.h"
#include "dialogs/frmExtractTo.h"
#include "dialogs/frmOverwrite.h"
#include "document/frmDocument.h"
#include "platform/Dpi.h"
#include "platform/InputBox.h"

namespace corvane {
namespace {

using namespace test;
using F = frmExtractTo;

constexpr char kMRUKey[] = "SOFTWARE\\Corvane\\Corvane\\ExtractToMRU";

// A root's program key: "UseFolderNames" and "PromptToOW" (-1: absent), and the most recent
// folder.
using ProgramKey = std::tuple<int, int, std::string>;

ProgramKey Get(HKEY root) {
  ProgramKey stored{-1, -1, ""};
  auto read = [&](const char* key, const char* name, DWORD type, void* data, DWORD size) {
    return RegGetValueA(root, key, name, type, nullptr, data, &size) == ERROR_SUCCESS;
  };
  read(kProgramKey, "UseFolderNames", RRF_RT_REG_DWORD, &std::get<0>(stored), 4);
  read(kProgramKey, "PromptToOW", RRF_RT_REG_DWORD, &std::get<1>(stored), 4);
  char text[MAX_PATH] = "";
  // The count is stored as text.
  if (read(kMRUKey, "Count", RRF_RT_REG_SZ, text, sizeof text) && atoi(text) > 0 &&
      read(kMRUKey, "Item1", RRF_RT_REG_SZ, text, sizeof text)) {
    std::get<2>(stored) = text;
  }
  return stored;
}

std::string ComboText(HWND dialog) {
  return TextOf(GetDlgItem(dialog, F::kCboExtractTo));
}

// The texts of a tree item's children, each followed by what is listed under it in brackets.
std::string Tree(HWND tree, HTREEITEM item) {
  std::string names;
  for (HTREEITEM c = TreeView_GetChild(tree, item); c; c = TreeView_GetNextSibling(tree, c)) {
    char text[MAX_PATH] = "";
    TVITEMA data{TVIF_TEXT, c};
    data.pszText = text;
    data.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    std::string below = Tree(tree, c);
    names += text + (below.empty() ? "" : "(" + below + ")") + " ";
  }
  return names;
}

class ExtractToTest : public FrameTest {
 protected:
  // File > Extract To...: act works the dialog and closes it. The box captioned `box` that follows
  // is answered with `button`; its texts are returned.
  std::string Extract(const std::function<void(HWND)>& act, const char* box = nullptr,
                      int button = 0) {
    std::string shown;
    DialogAnswer next(
        box ? box : "",
        [&](HWND answered) {
          shown = ChildTexts(answered);
          Click(answered, button);
        },
        box ? 1 : 0);
    DialogAnswer dialog("Extract To...", [&](HWND window) {
      EXPECT_FALSE(IsWindowEnabled(m_main->Window()));
      act(window);
    });
    Command(frmMain::mnuFileExtract);
    EXPECT_TRUE(dialog.Answered() && IsWindowEnabled(m_main->Window()));
    EXPECT_EQ(next.Answered(), box ? 1 : 0) << box;
    return shown;
  }
};

// With a search narrowing the list and no row selected, Extract takes the rows shown, and its
// dialog says how many; a search that shows nothing extracts nothing.
TEST_F(ExtractToTest, ExtractTakesTheRowsShown) {
  test::TempFolder t;
  frmDocument& document = *Open("\"" + test::TestArchive("four.zip") + "\"").ActiveDocument();
  SetWindowTextA(document.txtFind(), "F2");
  std::string label;
  Extract([&](HWND dialog) {
    label = test::TextOf(GetDlgItem(dialog, F::kLblExtractTo));
    SetDlgItemTextA(dialog, F::kCboExtractTo, t.Path().c_str());
    Click(dialog, F::kCmdExtract);
  });
  EXPECT_NE(label.find(" 1 entry "), std::string::npos) << label;
  EXPECT_EQ(test::ReadFileText(t / "f2.txt"), "new 2");
  EXPECT_EQ(GetFileAttributesA((t / "f1.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  SetWindowTextA(document.txtFind(), "none");
  DialogAnswer none("Extract To...", [&](HWND window) { Click(window, F::kCmdCancel); });
  Command(frmMain::mnuFileExtract);
  EXPECT_EQ(none.Answered(), 0);
}

// The Extract command end to end: the rows it extracts, the folder shown first (the archive's, for
// a fresh user, with both options on) and the one typed, Enter and Escape, the options, the
// overwrite prompt and a failed run's message; then the preferences and recent folders written at
// close under both roots and read at the next start, where a stored 0 holds and a value stored
// nowhere is on again, and a machine root that refuses the save does not stop the close, which
// waits for the dialog.
TEST_F(ExtractToTest, ExtractCommandThroughTheDialog) {
  test::TempFolder t;
  test::WriteFileText(t / "file", "");
  std::string archive = test::TestArchive("four.zip");
  std::string own = archive.substr(0, archive.rfind('\\'));
  frmDocument& document = *Open("\"" + archive + "\"").ActiveDocument();
  using O = frmOverwrite;
  const struct {
    std::vector<int> rows;
    const char* typed;      // null: the folder the dialog shows
    std::vector<int> keys;  // clicked, pressed, or the close box
    std::string shown;
    int answer;      // in the overwrite prompt; IDOK to the failure's message
    size_t files;    // under t afterwards
    const char* f2;  // out3\f2.txt afterwards, written "old" before
  } cases[] = {
      {{}, nullptr, {VK_ESCAPE}, own, 0, 1, nullptr},
      {{}, nullptr, {SC_CLOSE}, own, 0, 1, nullptr},
      {{}, "", {F::kCmdExtract}, own, 0, 1, nullptr},
      {{}, "out1", {VK_RETURN}, own, 0, 5, nullptr},
      {{1, 3}, "out2", {F::kChkUseFolderNames, F::kCmdExtract}, t / "out1", 0, 7, nullptr},
      {{1}, "out3", {F::kChkOverwritePrompt, F::kCmdExtract}, t / "out2", 0, 8, "new 2"},
      {{1}, "out3", {F::kChkOverwritePrompt, F::kCmdExtract}, t / "out3", O::kCmdNo, 8, "old"},
      {{}, "out1", {F::kCmdExtract}, t / "out3", O::kCmdNTA, 8, nullptr},
      {{}, "file\\sub", {F::kCmdExtract}, t / "out1", IDOK, 8, nullptr},
  };
  for (const auto& c : cases) {
    if (c.f2) test::WriteFileText(t / "out3\\f2.txt", "old");
    ListView_SetItemState(document.lvwZip(), -1, 0, LVIS_SELECTED);
    for (int row : c.rows) ListView_SetItemState(document.lvwZip(), row, ~0u, LVIS_SELECTED);
    const char* box = c.answer == IDOK ? "Corvane"
                      : c.answer       ? "Overwrite Existing File?"
                                       : nullptr;
    std::string shown = Extract(
        [&](HWND dialog) {
          EXPECT_EQ(ComboText(dialog), c.shown);
          for (int box : {F::kChkUseFolderNames, F::kChkOverwritePrompt}) {
            if (&c == cases) EXPECT_EQ(IsDlgButtonChecked(dialog, box), BST_CHECKED) << box;
          }
          if (c.typed) {
            SetDlgItemTextA(dialog, F::kCboExtractTo, *c.typed ? (t / c.typed).c_str() : "");
          }
          for (int key : c.keys) {
            MSG press{GetDlgItem(dialog, F::kCboExtractTo), WM_KEYDOWN, static_cast<WPARAM>(key)};
            if (key == VK_RETURN || key == VK_ESCAPE) IsDialogMessageA(dialog, &press);
            if (key == SC_CLOSE) SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            if (key > VK_ESCAPE && key != SC_CLOSE) Click(dialog, key);
          }
        },
        box, c.answer);
    EXPECT_EQ(test::FilesUnder(t.Path()).size(), c.files) << c.shown;
    // The run's options are the run's only.
    EXPECT_FALSE(document.m_cUnzip.OverwriteExisting() || document.m_cUnzip.PromptToOverwrite() ||
                 document.m_cUnzip.UseFolderNames());
    if (c.f2) EXPECT_EQ(test::ReadFileText(t / "out3\\f2.txt"), c.f2);
    // A failed run shows the archive and the engine's lines.
    EXPECT_EQ(shown.find(archive + "\r\n\r\n") != std::string::npos, c.answer == IDOK) << shown;
  }
  Close();
  ProgramKey saved{0, 1, t / "file\\sub"};
  EXPECT_EQ(Get(HKEY_LOCAL_MACHINE), saved);
  EXPECT_EQ(Get(HKEY_CURRENT_USER), saved);
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    RegDeleteKeyValueA(root, kProgramKey, "PromptToOW");
  }
  Open("\"" + archive + "\"");
  Extract([&](HWND dialog) {
    HWND combo = GetDlgItem(dialog, F::kCboExtractTo);
    EXPECT_EQ(TextOf(combo), t / "file\\sub");
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 4);  // out1 once, moved to the top before
    EXPECT_EQ(IsDlgButtonChecked(dialog, F::kChkUseFolderNames), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, F::kChkOverwritePrompt), BST_CHECKED);
    Click(dialog, F::kCmdCancel);
  });
  {
    // The close waits for the dialog.
    cRegistryTestHelper refusing({HKEY_LOCAL_MACHINE});
    HWND window = m_main->Window();
    Extract([&](HWND dialog) {
      SendMessageA(window, WM_CLOSE, 0, 0);  // the disabled window's close box takes no click
      PumpFor(100);
      EXPECT_TRUE(IsWindowVisible(dialog));
      Click(dialog, F::kCmdCancel);
    });
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }));
    m_main.reset();
  }
  EXPECT_EQ(Get(HKEY_CURRENT_USER), saved);
  EXPECT_EQ(Get(HKEY_LOCAL_MACHINE), ProgramKey(0, -1, t / "file\\sub"));
}

// The dialog's folder tree starts at the most recent folder, shown in the combo box; the tab key
// reaches the tree; it lists folders when they are opened, without hidden ones; a new selection in
// it sets the combo box's text. Its picture is kept for review. New Folder asks with the chosen
// folder as the default answer and creates the last level of the answer, below the selected folder
// when it is not a full path, which the tree then selects; a folder that cannot be created is
// reported. At another DPI the dialog grows by its ratio and the tree fills its place again.
TEST_F(ExtractToTest, DialogWithItsFolderTree) {
  test::TempFolder t;
  for (const char* folder : {"alpha", "alpha\\inner", "beta", "hidden"}) {
    CreateDirectoryA((t / folder).c_str(), nullptr);
  }
  SetFileAttributesA((t / "hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
  RegSetKeyValueA(HKEY_CURRENT_USER, kMRUKey, "Count", REG_SZ, "1", 2);
  RegSetKeyValueA(HKEY_CURRENT_USER, kMRUKey, "Item1", REG_SZ, t.Path().c_str(),
                  t.Path().size() + 1);
  Open("\"" + test::TestArchive("four.zip") + "\"");
  Extract([&](HWND dialog) {
    HWND tree = GetWindow(GetDlgItem(dialog, F::kPicCapture), GW_CHILD);
    HWND combo = GetDlgItem(dialog, F::kCboExtractTo);
    EXPECT_EQ(ComboText(dialog), t.Path());
    EXPECT_EQ(GetNextDlgTabItem(dialog, combo, FALSE), tree);

    HTREEITEM root = TreeView_GetSelection(tree), alpha = TreeView_GetChild(tree, root);
    EXPECT_EQ(Tree(tree, root), "alpha beta ");  // nothing listed in a folder not yet opened
    TreeView_Expand(tree, alpha, TVE_EXPAND);
    EXPECT_EQ(Tree(tree, root), "alpha(inner ) beta ");

    for (const char* folder : {"alpha", "alpha\\inner"}) {
      SendMessageA(tree, WM_KEYDOWN, VK_DOWN, 0);
      EXPECT_EQ(ComboText(dialog), t / folder);
    }
    PumpFor(200);
    EXPECT_TRUE(SaveScreenshot(dialog, "extract-to-dialog.png"));

    const struct {
      std::string answer;  // "" cancels
      std::string created;
      DWORD error;
    } cases[] = {
        {t / "full", t / "full", 0},
        {"relative", t / "full\\relative", 0},
        {"bad<name", "", ERROR_INVALID_NAME},
    };
    for (const auto& c : cases) {
      std::string before = ComboText(dialog), message;
      std::optional<DialogAnswer> box;  // the message that may follow the answer
      DialogAnswer input("Corvane", [&](HWND in) {
        EXPECT_EQ(TextOf(GetDlgItem(in, kInputBoxText)), before);
        SetDlgItemTextA(in, kInputBoxText, c.answer.c_str());
        box.emplace("Corvane", [&](HWND shown) {
          message = ChildTexts(shown);
          Click(shown, IDOK);
        });
        Click(in, c.answer.empty() ? IDCANCEL : IDOK);
      });
      Click(dialog, F::kCmdNewFolder);
      EXPECT_EQ(
          message.find("Error creating new folder: " + SystemMessage(c.error)) != std::string::npos,
          c.error != 0)
          << message;
      EXPECT_EQ(ComboText(dialog), c.created.empty() ? before : c.created);
      EXPECT_EQ(GetFileAttributesA(c.created.c_str()) == FILE_ATTRIBUTE_DIRECTORY,
                !c.created.empty());
    }

    RECT outer, client, filled, at96, at144;
    GetWindowRect(dialog, &outer);
    GetClientRect(dialog, &at96);
    SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&outer));
    GetClientRect(dialog, &at144);
    EXPECT_NEAR(at144.right, MulDiv(at96.right, 144, ScreenDpi()), 2);
    EXPECT_NEAR(at144.bottom, MulDiv(at96.bottom, 144, ScreenDpi()), 2);
    GetClientRect(GetDlgItem(dialog, F::kPicCapture), &client);
    GetWindowRect(tree, &filled);
    EXPECT_EQ(filled.right - filled.left, client.right);
    Click(dialog, F::kCmdCancel);
  });
}

}  // namespace
}  // namespace corvane
