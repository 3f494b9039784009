// The entry list's context menu and keys, Test, Properties and the name encoding, on real windows
// with the real engines.

#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "FrameTest.h"
#include "dialogs/frmExtractTo.h"
#include "dialogs/frmPassword.h"
#include "document/NameEncoding.h"
#include "platform/Text.h"
#include "settings/AppSettings.h"
#include "settings/frmAbout.h"
#include "shell/Startup.h"

namespace corvane {
namespace {

using namespace test;

class EntryCommandsTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    ASSERT_TRUE(IsFirstInstance("Corvane_APPLICATION_MUTEX"));
    Open();
  }
  void TearDown() override {
    FrameTest::TearDown();
    ReleaseInstanceMutex();
  }
  frmDocument& OpenCopy(const std::string& name) {
    CopyFileW(Wide(TestArchive(name)).c_str(), Wide(folder / name).c_str(), FALSE);
    m_main->ProcessCommandLine("\"" + folder / name + "\"");
    return *m_main->ActiveDocument();
  }
  // Each row as "name|folder", as the list shows it, in list order.
  static std::vector<std::string> Shown(const frmDocument& document) {
    std::vector<std::string> rows;
    for (int row = 0; row < SendMessageA(document.lvwZip(), LVM_GETITEMCOUNT, 0, 0); ++row) {
      rows.push_back(ListItemText(document.lvwZip(), row, 0) + "|" +
                     ListItemText(document.lvwZip(), row, 5));
    }
    return rows;
  }
  // Selects the rows of these listed names (none: no row), the last one focused.
  static void Select(const frmDocument& document, const std::vector<std::string>& names) {
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(document.lvwZip(), LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&state));
    state.state = state.stateMask;
    for (int32_t i = 1; i <= document.m_cUnzip.FileCount(); ++i) {
      if (std::count(names.begin(), names.end(), document.m_cUnzip.FileStoredName(i)))
        SendMessageA(document.lvwZip(), LVM_SETITEMSTATE, i - 1, reinterpret_cast<LPARAM>(&state));
    }
  }
  // Runs command and returns the text of the box it shows (captioned caption), pressing OK.
  static std::string BoxOf(const std::function<void()>& command, const char* caption = kAppTitle) {
    std::string shown = "<no box>";
    DialogAnswer box(caption, [&](HWND window) {
      shown = TextOf(GetDlgItem(window, 0xFFFF));
      Click(window, IDOK);
    });
    command();
    return shown;
  }

  TempFolder folder;
};

UINT_PTR g_menuTimer = 0;
WPARAM g_menuKey = 0;
// Types g_menuKey into the context menu once it shows.
void CALLBACK TypeIntoMenu(HWND, UINT, UINT_PTR, DWORD) {
  HWND menu = FindWindowA("#32768", nullptr);
  if (!menu || !IsWindowVisible(menu)) return;
  KillTimer(nullptr, g_menuTimer);
  PostMessageA(menu, g_menuKey == VK_ESCAPE ? WM_KEYDOWN : WM_CHAR, g_menuKey, 0);
}

// Test names each entry's outcome; one that failed as a whole shows the engine's lines instead.
TEST_F(EntryCommandsTest, TestListsEachEntrysOutcome) {
  frmDocument& document = OpenCopy("tested.zip");
  cZip zip;
  Recorder password;
  password.password = "pw";
  zip.Listener(&password);
  zip.ZipFile(document.m_cUnzip.ZipFile());
  zip.BasePath(folder.Path());
  zip.Encrypt(true);
  WriteFileText(folder / "secret.txt", "secret data");
  zip.AddFileSpec(folder / "secret.txt");
  zip.Zip();
  document.Relist();
  const struct {
    std::vector<std::string> selected;  // none: every entry
    const char* typed;                  // the password given; nullptr: Cancel
    std::vector<std::string> shown, absent;
  } cases[] = {
      {{},
       "wrong",
       {"Tested 4 entries: 1 OK, 1 CRC error, 1 wrong password, 1 unsupported method.",
        "bad.txt: CRC error", "secret.txt: wrong password", "packed.bz2: unsupported method",
        "good.txt: OK"},
       {}},
      {{"secret.txt"}, "pw", {"Tested 1 entry: 1 OK.", "secret.txt: OK"}, {"good.txt"}},
      {{"secret.txt"}, nullptr, {"secret.txt: no password given"}, {}},
  };
  for (const auto& c : cases) {
    Select(document, c.selected);
    DialogAnswer prompt(
        "Password Required",
        [&](HWND box) {
          if (!c.typed) return Click(box, IDCANCEL);
          SetWindowTextA(GetDlgItem(box, frmPassword::kTxtPassword), c.typed);
          Click(box, IDOK);
        },
        /*times=*/5);
    std::string shown = BoxOf([&] { document.RunEntryCommand(EntryCommand::kTest); });
    for (const std::string& text : c.shown) EXPECT_NE(shown.find(text), std::string::npos) << shown;
    for (const std::string& text : c.absent)
      EXPECT_EQ(shown.find(text), std::string::npos) << shown;
  }
  // Enter opens the focused entry as the double-click does: the encrypted one asks first, and a
  // refused password is a box.
  Select(document, {"secret.txt"});
  DialogAnswer refuse("Password Required", [](HWND box) { Click(box, IDCANCEL); });
  BoxOf([&] { SendMessageA(document.lvwZip(), WM_KEYDOWN, VK_RETURN, 0); });
  EXPECT_EQ(refuse.Answered(), 1);
  // Ctrl+A selects every row.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  SendMessageA(document.lvwZip(), WM_KEYDOWN, 'A', 0);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(SendMessageA(document.lvwZip(), LVM_GETSELECTEDCOUNT, 0, 0), 4);

  DeleteFileW(Wide(document.m_cUnzip.ZipFile()).c_str());
  std::string gone = BoxOf([&] { document.RunEntryCommand(EntryCommand::kTest); });
  EXPECT_EQ(gone.find(document.m_cUnzip.ZipFile() + "\r\n\r\n"), 0u) << gone;
  EXPECT_EQ(gone.find("Tested"), std::string::npos) << gone;
}

// Shift+F10 or the menu key opens the menu beside the focused row; its items act on the
// selection, and those that need one do nothing without it.
TEST_F(EntryCommandsTest, ContextMenuRunsTheChosenCommand) {
  frmDocument& document = OpenCopy("catalogue.zip");
  int32_t count = document.m_cUnzip.FileCount();
  auto choose = [&](WPARAM key) {
    g_menuKey = key;
    g_menuTimer = SetTimer(nullptr, 0, 50, TypeIntoMenu);
    SendMessageA(document.Window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(document.lvwZip()),
                 -1);
  };
  Select(document, {"a/b/c.txt"});
  std::string entry = BoxOf([&] { choose('r'); }, "Properties");
  for (const char* text : {"Name: c.txt\r\n", "Folder: a\\b\r\n", "Size: 300 bytes\r\n",
                           "Ratio: 97%\r\n", "Encryption: None\r\n"}) {
    EXPECT_NE(entry.find(text), std::string::npos) << entry;
  }
  Select(document, {});
  std::string archive = BoxOf([&] { choose('r'); }, "Properties");
  EXPECT_EQ(archive.find("Archive: " + document.m_cUnzip.ZipFile() +
                         "\r\nEntries: " + std::to_string(count) + "\r\n"),
            0u)
      << archive;
  // Delete is greyed without a selection; Escape chooses nothing.
  for (WPARAM key : {WPARAM{'d'}, WPARAM{VK_ESCAPE}}) {
    choose(key);
    EXPECT_EQ(document.m_cUnzip.FileCount(), count);
  }
  choose('a');
  EXPECT_EQ(SendMessageA(document.lvwZip(), LVM_GETSELECTEDCOUNT, 0, 0), count);
  DialogAnswer extract("Extract To...", [](HWND box) { Click(box, frmExtractTo::kCmdCancel); });
  choose('x');
  EXPECT_EQ(extract.Answered(), 1);
  EXPECT_TRUE(IsWindowEnabled(m_main->Window()));
}

// The folder tree: a folder named only by entry paths narrows the list (below it too with
// Include Subfolders) together with the search; with the tree focused, Extract and Delete take the
// folder.
TEST_F(EntryCommandsTest, FolderTreeNarrowsTheListAndCommandsTakeAFolder) {
  frmDocument& document = OpenCopy("names.zip");
  ASSERT_FALSE(document.FoldersShown());  // off for a new user
  Command(frmMain::mnuViewFolders);
  HWND tree = document.tvwFolders();
  ASSERT_TRUE(document.FoldersShown());
  ASSERT_TRUE(GetWindowLongA(tree, GWL_STYLE) & WS_VISIBLE);
  auto choose = [&](const std::string& name) {
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    std::vector<HTREEITEM> pending{item};
    while (!pending.empty()) {
      item = pending.back();
      pending.pop_back();
      char text[260] = "";
      TVITEMA read{TVIF_TEXT, item};
      read.pszText = text;
      read.cchTextMax = sizeof text;
      SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read));
      if (name == text) return SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, LPARAM(item)) != 0;
      SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, LPARAM(item));
      for (auto child = TreeView_GetChild(tree, item); child;
           child = TreeView_GetNextSibling(tree, child))
        pending.push_back(child);
    }
    return false;
  };
  ASSERT_TRUE(choose("nested"));
  EXPECT_EQ(Shown(document).size(), 1u);
  Command(frmMain::mnuViewIncludeSubfolders);
  EXPECT_EQ(Shown(document).size(), 2u);
  SetWindowTextA(document.txtFind(), "deeper");
  EXPECT_EQ(Shown(document).size(), 1u);
  SetWindowTextA(document.txtFind(), "");

  SetFocus(tree);
  // What Extract and Delete take while the tree has the focus: the folder's entries, all below it.
  EXPECT_EQ(document.SelectedIndices().size(), 2u);
  DialogAnswer extract("Extract To...", [&](HWND box) {
    SetDlgItemTextA(box, frmExtractTo::kCboExtractTo, (folder / "out").c_str());
    Click(box, frmExtractTo::kCmdExtract);
  });
  document.RunEntryCommand(EntryCommand::kExtract);
  EXPECT_EQ(extract.Answered(), 1);
  for (const char* name : {"nested/deeper/ünï.txt", "nested/top.txt"})
    EXPECT_EQ(ReadFileText(folder / ("out/" + std::string(name))), name);
  EXPECT_EQ(GetFileAttributesA((folder / "out/plain.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  for (int answer : {IDNO, IDYES}) {
    SetFocus(tree);
    std::string asked;
    DialogAnswer confirm(kAppTitle, [&](HWND box) {
      asked = TextOf(GetDlgItem(box, 0xFFFF));
      Click(box, answer);
    });
    document.RunEntryCommand(EntryCommand::kDelete);
    EXPECT_NE(asked.find("\"nested\" and its 2 entries"), std::string::npos) << asked;
    EXPECT_EQ(document.m_cUnzip.FileCount(), answer == IDNO ? 10 : 8);
  }
  for (int32_t i = 1; i <= document.m_cUnzip.FileCount(); ++i)
    EXPECT_NE(document.m_cUnzip.FileStoredName(i).rfind("nested/", 0), 0u);
  EXPECT_FALSE(choose("nested"));
  Command(frmMain::mnuViewIncludeSubfolders);
  Command(frmMain::mnuViewFolders);
  EXPECT_FALSE(GetWindowLongA(tree, GWL_STYLE) & WS_VISIBLE);
}

// The header bar's text and the About box follow a high-contrast theme (which Wine does not let a
// program set).
TEST_F(EntryCommandsTest, FixedColoursFollowHighContrast) {
  frmDocument& document = OpenCopy("catalogue.zip");
  HIGHCONTRASTW contrast{sizeof contrast, HCF_HIGHCONTRASTON};
  if (!SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof contrast, &contrast, 0)) {
    GTEST_SKIP() << "no high-contrast setting here";
  }
  HDC dc = GetDC(document.Label1());
  SendMessageA(document.Window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(document.Label1()));
  EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_INACTIVECAPTIONTEXT));
  DialogAnswer about("About Corvane", [&](HWND box) {
    SendMessageA(box, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, frmAbout::kLblTitle)));
    EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_WINDOW));
    Click(box, frmAbout::kCmdOK);
  });
  Command(frmMain::mnuHelpAbout);
  EXPECT_EQ(about.Answered(), 1);
  contrast.dwFlags = 0;
  SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof contrast, &contrast, 0);
  SendMessageA(document.Window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(document.Label1()));
  EXPECT_EQ(GetTextColor(dc), RGB(255, 255, 255));
  ReleaseDC(document.Label1(), dc);
}

// A name encoding re-lists the archive, and every later run of the window, and of a window opened
// on the same path, reads the names alike: extracted and deleted by the names shown.
TEST_F(EntryCommandsTest, NameEncodingAppliesToEveryLaterRun) {
  frmDocument& document = OpenCopy("cp932.zip");
  const std::vector<std::string> japanese = {"日本語.txt|", "表紙.txt|資料"};
  EXPECT_NE(Shown(document), japanese);
  auto choices = NameEncodings();
  size_t cp932 = std::find_if(choices.begin(), choices.end(),
                              [](const auto& c) { return c.codePage == 932; }) -
                 choices.begin();
  ASSERT_LT(cp932, choices.size());
  Command(static_cast<WORD>(frmMain::kFirstNameEncodingCommand + cp932));
  EXPECT_EQ(Shown(document), japanese);
  frmDocument& second = OpenCopy("cp932.zip");
  EXPECT_EQ(Shown(second), japanese);
  std::string tested = BoxOf([&] { second.RunEntryCommand(EntryCommand::kTest); });
  EXPECT_NE(tested.find("2 OK."), std::string::npos) << tested;

  second.m_cUnzip.UnzipFolder(folder / "out");
  second.m_cUnzip.UseFolderNames(true);
  EXPECT_TRUE(second.RunUnzip());
  EXPECT_EQ(FilesUnder(folder / "out"), (std::set<std::string>{"日本語.txt", "資料\\表紙.txt"}));
  Select(second, {"資料/表紙.txt"});
  // Yes to a confirmation, should the Delete key ask one.
  DialogAnswer yes(kAppTitle, [](HWND box) { Click(box, IDYES); });
  second.RunEntryCommand(EntryCommand::kDelete);
  EXPECT_EQ(Shown(second), std::vector<std::string>{"日本語.txt|"});

  Command(frmMain::kFirstNameEncodingCommand);  // automatic again
  EXPECT_EQ(Shown(second).size(), 1u);
  EXPECT_NE(Shown(second), std::vector<std::string>{"日本語.txt|"});
}

}  // namespace
}  // namespace corvane
