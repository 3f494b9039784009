// The document windows on real windows: the frame runs in this process (which also holds the
// instance mutex, so that a Corvane.exe started meanwhile hands its command line over). Archives
// are made by the bindings.

#include "document/frmDocument.h"

#include <commctrl.h>

#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <optional>

#include "FrameTest.h"
#include "dialogs/frmOverwrite.h"
#include "dialogs/frmPassword.h"
#include "document/EntryRows.h"
#include "document/OpenFolder.h"
#include "platform/CommandScope.h"
#include "platform/FileDialog.h"
#include "platform/Text.h"
#include "settings/AppSettings.h"
#include "shell/Startup.h"

namespace corvane {
namespace {

using namespace test;
using Rows = std::vector<std::vector<std::string>>;
using Files = std::vector<std::pair<std::string, std::string>>;

constexpr char kOpenedLog[] = "C:\\cvtest-opened.log";

// Answers the file dialogs in turn: the text the system would return, or nothing for a cancel.
struct FakeDialogs : FileDialogHost {
  bool Answer(const FileDialog&, bool, std::string& fileName) override {
    std::optional<std::string> answer = answers.empty() ? std::nullopt : answers.front();
    if (!answers.empty()) answers.pop_front();
    fileName = answer.value_or("");
    return answer.has_value();
  }
  std::deque<std::optional<std::string>> answers;
};

Rows AllRows(const frmDocument& document) {
  Rows rows(SendMessageA(document.lvwZip(), LVM_GETITEMCOUNT, 0, 0));
  for (size_t row = 0; row < rows.size(); ++row) {
    for (int column = 0; column < kColumnCount; ++column) {
      rows[row].push_back(ListItemText(document.lvwZip(), static_cast<int>(row), column));
    }
  }
  return rows;
}

int RowOf(frmDocument& document, const std::string& storedName) {
  for (int32_t i = 1; i <= document.m_cUnzip.FileCount(); ++i) {
    if (document.m_cUnzip.FileStoredName(i) == storedName) return i - 1;
  }
  ADD_FAILURE() << storedName;
  return -1;
}

// Selects exactly these rows; the last one gets the focus.
void Select(frmDocument& document, const std::vector<std::string>& storedNames) {
  LVITEMA state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(document.lvwZip(), LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&state));
  state.state = state.stateMask;
  for (const std::string& name : storedNames) {
    SendMessageA(document.lvwZip(), LVM_SETITEMSTATE, RowOf(document, name),
                 reinterpret_cast<LPARAM>(&state));
  }
}

// Writes the files ("\" makes folders) under folder\src and zips them, folder names stored, into
// the archive (new, or one there already); the secret ones are encrypted with the password "pw".
std::string MakeArchive(const TempFolder& folder, const std::string& name, const Files& files,
                        const std::set<std::string>& secret = {}) {
  cZip zip;
  Recorder password;
  password.password = "pw";
  zip.Listener(&password);
  zip.ZipFile(folder / name);
  zip.BasePath(folder / "src");
  zip.StoreFolderNames(true);
  for (bool encrypted : {false, true}) {
    zip.ClearFileSpecs();
    zip.Encrypt(encrypted);
    for (const auto& [file, data] : files) {
      if (secret.count(file) != static_cast<size_t>(encrypted)) continue;
      WriteFileText(folder / ("src\\" + file), data);
      zip.AddFileSpec(folder / ("src\\" + file));
    }
    if (zip.FileSpecCount()) zip.Zip();
  }
  return folder / name;
}

class DocumentTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    ASSERT_TRUE(IsFirstInstance("Corvane_APPLICATION_MUTEX"));
    Open();
    FileDialog::Host(&dialogs);
  }
  void TearDown() override {
    FileDialog::Host(nullptr);
    FrameTest::TearDown();
    ReleaseInstanceMutex();
  }

  frmDocument* Active() { return m_main->ActiveDocument(); }
  frmDocument& OpenArchive(const std::string& path) {
    m_main->ProcessCommandLine("\"" + path + "\"");
    return *Active();
  }
  // The command, its file dialog the system's own, answered with this text.
  void ThroughRealDialog(WORD command, const char* caption, const std::string& typed) {
    FileDialog::Host(nullptr);
    DialogAnswer answer(caption, [&](HWND box) {
      SetWindowTextA(GetDlgItem(box, 0x47C), typed.c_str());
      Click(box, IDOK);
    });
    Command(command);
    FileDialog::Host(&dialogs);
  }
  Process StartCorvane(const std::string& archive) {
    return Start("\"" + BesideTests("Corvane.exe") + "\" \"" + archive + "\"");
  }

  FakeDialogs dialogs;
  TempFolder folder;
};

// From the command line, File > Open, a second start and forwarded lines: every entry in catalogue
// order with its texts and icon, the path in the caption and the label.
TEST_F(DocumentTest, ArchiveOpensFromEachPathWithEveryEntry) {
  std::string archive = folder / "a b.zip";
  CopyFileW(Wide(TestArchive("catalogue.zip")).c_str(), Wide(archive).c_str(), FALSE);
  MakeArchive(folder, "a b.zip", {{"readme", "plain"}, {"setup.exe", "x"}, {"secret.txt", "s"}},
              {"secret.txt"});
  wchar_t date[64] = L"";
  SYSTEMTIME newYearsEve{2019, 12, 0, 31};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &newYearsEve, nullptr, date, 64);
  // The texts that each of these rows must show; "*" takes any text. readme.txt's date has no
  // calendar.
  const std::map<std::string, std::vector<std::string>> expected = {
      {"docs/guide.txt", {"guide.txt", Utf8(date) + " 23:59", "6", "0%", "6", "docs"}},
      {"a/b/c.txt", {"c.txt", "*", "300", "97%", "9", "a\\b"}},
      {"/rooted.txt", {"rooted.txt", "*", "4", "0%", "4", ""}},
      {"empty.txt", {"empty.txt", "*", "0", "0%", "0", ""}},
      // 21 bytes packed: the ratio is rounded up to a whole percent, the packed size is exact.
      {"readme.txt", {"readme.txt", "", "600", "96%", "21", ""}},
      {"Zoë 日本.txt", {"Zoë 日本.txt", "*", "160", "*", "*", ""}},
      {"secret.txt", {"secret.txt+", "*", "1", "*", "*", ""}},
  };
  const std::function<void()> paths[] = {
      [&] { Open("\"" + archive + "\""); },
      [&] { ThroughRealDialog(frmMain::mnuFileOpen, "Open", archive); },
      [&] {
        Process second = StartCorvane(archive);
        EXPECT_EQ(Finish(second), 0);
        EXPECT_TRUE(WaitUntil([&] { return Documents() == 3; }));
      },
      [&] { EXPECT_EQ(Forward("\"" + archive + "\"   "), 1); },  // blanks after it
      [&] { EXPECT_EQ(Forward(" " + archive + " "), 1); },       // unquoted
  };
  for (const auto& path : paths) {
    int before = Documents();
    path();
    EXPECT_EQ(Documents(), before + 1);
    frmDocument& document = *Active();
    EXPECT_EQ(TextOf(document.Window()) + "|" + TextOf(document.Label1()), archive + "|" + archive);
    Rows rows = AllRows(document);
    ASSERT_EQ(rows.size(), 9u);
    for (const auto& [name, texts] : expected) {
      for (size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] != "*") EXPECT_EQ(rows[RowOf(document, name)][i], texts[i]) << name << i;
      }
    }
    // One image per extension besides the default; none for names without one and programs.
    std::set<int> images;
    for (LVITEMA item{LVIF_IMAGE}; item.iItem < static_cast<int>(rows.size()); ++item.iItem) {
      SendMessageA(document.lvwZip(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
      images.insert(item.iImage);
    }
    EXPECT_EQ(images, (std::set<int>{0, 1}));
  }
  // Forwarded lines that name no absolute path, or come with another dwData than a later instance
  // sends, are refused and open nothing. A record of no bytes does nothing at all; one zero byte
  // (an empty command line) shows and restores the frame; a minimised frame comes back before the
  // archive opens.
  int before = Documents();
  for (const char* line : {"   ", "x", "\"\"", "\"four.zip\"", "\\four.zip"}) {
    EXPECT_EQ(Forward(line), 0) << line;
  }
  EXPECT_EQ(Forward("\"" + archive + "\"", 1), 0);
  EXPECT_EQ(Documents(), before);
  HWND frame = m_main->Window();
  ShowWindow(frame, SW_HIDE);
  Forward("");
  EXPECT_FALSE(IsWindowVisible(frame));
  Forward(std::string(1, '\0'));
  EXPECT_TRUE(IsWindowVisible(frame));
  ShowWindow(frame, SW_MINIMIZE);
  Forward("\"" + archive + "\"");
  EXPECT_FALSE(IsIconic(frame));
  EXPECT_EQ(Documents(), before + 1);
}

// Double-click extracts the selected entries into the window's private folder under the user's
// temporary folder, entries keeping their folders, and opens the current one there when this run
// wrote it; the folder goes with the window, but for what a program changed there.
TEST_F(DocumentTest, DoubleClickOpensOnlyWhatItWroteInAPrivateFolder) {
  // A file type whose handler notes the path it is asked to open; .cvnone has no handler.
  RegSetKeyValueA(HKEY_CLASSES_ROOT, ".cvopen", nullptr, REG_SZ, "CorvaneTest.Opened", 19);
  std::string handler = "C:\\windows\\system32\\cmd.exe /c echo [%1]>>" + std::string(kOpenedLog);
  RegSetKeyValueA(HKEY_CLASSES_ROOT, "CorvaneTest.Opened\\shell\\open\\command", nullptr, REG_SZ,
                  handler.c_str(), static_cast<DWORD>(handler.size() + 1));
  DeleteFileA(kOpenedLog);
  Files files = {{"doc one.cvopen", "root"},
                 {"sub\\doc one.cvopen", "sub"},
                 {"b.cvopen", "b"},
                 {"none.cvnone", "n"},
                 {"secret.cvopen", "secret"}};
  std::string archive = MakeArchive(folder, "open.zip", files, {"secret.cvopen"});
  frmDocument& document = OpenArchive(archive);
  auto opened = [](size_t count) {
    std::vector<std::string> lines;
    WaitUntil(
        [&] {
          std::ifstream log(kOpenedLog);
          lines.clear();
          for (std::string line; std::getline(log, line);) lines.push_back(line);
          return lines.size() >= count;
        },
        5000);
    return lines;
  };
  auto doubleClick = [&](POINT at) {
    for (auto [message, keys] :
         {std::pair{WM_LBUTTONDOWN, MK_LBUTTON}, std::pair{WM_LBUTTONUP, 0},
          std::pair{WM_LBUTTONDBLCLK, MK_LBUTTON}, std::pair{WM_LBUTTONUP, 0}}) {
      PostMessageA(document.lvwZip(), message, keys, MAKELPARAM(at.x, at.y));
    }
    PumpFor(200);
  };

  // One row, by a real double-click: opened from a new folder of its own, not C:\Temp.
  Select(document, {"sub/doc one.cvopen"});
  RECT row{LVIR_BOUNDS};
  SendMessageA(document.lvwZip(), LVM_GETITEMRECT, RowOf(document, "sub/doc one.cvopen"),
               reinterpret_cast<LPARAM>(&row));
  doubleClick({row.left + 5, (row.top + row.bottom) / 2});
  std::vector<std::string> first = opened(1);
  ASSERT_EQ(first.size(), 1u);
  std::string root = Utf8(OpenFolder::Root()) + "\\";
  ASSERT_EQ(first[0].find("[" + root), 0u) << first[0];
  std::string open = first[0].substr(1, first[0].find("\\sub\\doc one.cvopen]") - 1);
  EXPECT_EQ(first[0], "[" + open + "\\sub\\doc one.cvopen]");
  auto copy = [&](const char* file) { return ReadFileText(open + "\\" + file); };

  // Empty space below the rows, by a real double-click: nothing extracted, nothing opened.
  SendMessageA(document.lvwZip(), LVM_GETITEMRECT, document.m_cUnzip.FileCount() - 1,
               reinterpret_cast<LPARAM>(&row));
  Select(document, {"b.cvopen"});
  doubleClick({row.left + 5, row.bottom + 40});
  EXPECT_EQ(copy("b.cvopen"), "<missing>");

  // Several rows: all extracted, same-named ones as two files, only the current one opened. A
  // cancelled password, an entry the changed archive no longer holds (11) and a type without a
  // handler: a box, nothing opened.
  std::string other = MakeArchive(folder, "other.zip", {{"c.cvopen", "c"}});
  const struct {
    std::vector<std::string> rows;  // the last one is the current one
    std::function<void()> before;
    const char* shown;  // in the box; nullptr: no box
    bool emptySpace = false;
  } cases[] = {
      {{"b.cvopen"}, nullptr, nullptr, /*emptySpace=*/true},
      {{"doc one.cvopen", "b.cvopen"}, nullptr, nullptr},
      {{"secret.cvopen"}, nullptr, ""},
      {{"none.cvnone"}, nullptr, "none.cvnone"},
      {{"b.cvopen"}, [&] { CopyFileA(other.c_str(), archive.c_str(), FALSE); }, "b.cvopen"},
  };
  for (const auto& c : cases) {
    if (c.before) c.before();
    Select(document, c.rows);
    int documents = Documents();
    DialogAnswer password("Password Required", [&](HWND box) {
      // A second start meanwhile: its archive opens once the double-click is over.
      Process second = StartCorvane(document.m_cUnzip.ZipFile());
      EXPECT_EQ(Finish(second), 0);
      PumpFor(100);
      EXPECT_EQ(Documents(), documents);
      Click(box, IDCANCEL);
    });
    std::string shown;
    DialogAnswer failure(kAppTitle, [&](HWND box) {
      shown = TextOf(GetDlgItem(box, 0xFFFF));
      Click(box, IDOK);
    });
    // Wine's shell says so in a box of its own (Windows offers its chooser) before it fails.
    DialogAnswer shell("Error", [&](HWND box) { Click(box, IDOK); });
    NMITEMACTIVATE click{};
    click.hdr = {document.lvwZip(), frmDocument::kLvwZip, NM_DBLCLK};
    click.iItem = c.emptySpace ? -1 : RowOf(document, c.rows.back());
    SendMessageA(document.Window(), WM_NOTIFY, frmDocument::kLvwZip,
                 reinterpret_cast<LPARAM>(&click));
    EXPECT_TRUE(WaitUntil([&] { return Documents() == documents + password.Answered(); }));
    EXPECT_EQ(failure.Answered(), c.shown != nullptr) << c.rows.back();
    if (c.shown) {
      EXPECT_EQ(shown.find(document.m_cUnzip.ZipFile() + "\r\n\r\n"), 0u) << shown;
      EXPECT_NE(shown.find(c.shown), std::string::npos) << shown;
    }
    if (c.emptySpace) EXPECT_EQ(copy("b.cvopen"), "<missing>");
  }
  EXPECT_EQ(copy("doc one.cvopen") + "|" + copy("sub\\doc one.cvopen") + "|" + copy("b.cvopen") +
                "|" + copy("secret.cvopen"),
            "root|sub|<missing>|<missing>");
  EXPECT_EQ(opened(2), (std::vector<std::string>{first[0], "[" + open + "\\b.cvopen]"}));

  // An edited copy survives the close, with its box, left where it is; the rest goes, and no
  // later start's sweep takes the folder.
  WriteFileText(open + "\\sub\\doc one.cvopen", "edited");
  std::string kept;
  DialogAnswer keep(kAppTitle, [&](HWND box) {
    kept = TextOf(GetDlgItem(box, 0xFFFF));
    Click(box, IDNO);
  });
  HWND window = document.Window();
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_NE(kept.find(open + "\\sub\\doc one.cvopen"), std::string::npos) << kept;
  OpenFolder::RemoveStale();
  EXPECT_EQ(FilesUnder(open), std::set<std::string>{"sub\\doc one.cvopen"});
  DeleteFileA((open + "\\sub\\doc one.cvopen").c_str());
  RemoveDirectoryA((open + "\\sub").c_str());
  RemoveDirectoryA(open.c_str());

  // A zone-marked archive gives marked copies; a mark that cannot be written (a folder of the
  // stream's name, which Wine keeps beside the file) opens nothing. The folder goes with the
  // window.
  std::string marked = MakeArchive(folder, "marked.zip", files);
  std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.com/m.zip\r\n";
  ASSERT_TRUE(WriteZoneMark(marked, mark));
  frmDocument& download = OpenArchive(marked);
  Select(download, {"b.cvopen"});
  download.lvwZip_DblClick();
  std::vector<std::string> lines = opened(3);
  ASSERT_EQ(lines.size(), 3u);
  std::string second = lines[2].substr(1, lines[2].size() - std::strlen("\\b.cvopen]") - 1);
  EXPECT_EQ(ReadZoneMark(second + "\\b.cvopen").value_or("<none>"), mark);
  ASSERT_TRUE(CreateDirectoryW(Wide(second + "\\doc one.cvopen:Zone.Identifier").c_str(), nullptr));
  std::string refused;
  DialogAnswer unmarked(kAppTitle, [&](HWND box) {
    refused = TextOf(GetDlgItem(box, 0xFFFF));
    Click(box, IDOK);
  });
  Select(download, {"doc one.cvopen"});
  download.lvwZip_DblClick();
  EXPECT_NE(refused.find("zone 3"), std::string::npos) << refused;
  window = download.Window();
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(GetFileAttributesA(second.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(opened(4).size(), 3u);

  // At start, a folder whose lock file can be deleted goes; one whose owner holds it stays.
  std::string lock = Utf8(OpenFolder::kLockFile);
  for (const char* name : {"stale", "live"}) {
    WriteFileText(Utf8(OpenFolder::Root()) + "\\" + name + "\\" + lock, "");
    WriteFileText(Utf8(OpenFolder::Root()) + "\\" + name + "\\a\\b.txt", "b");
  }
  UniqueKernelHandle held(
      CreateFileW((OpenFolder::Root() + L"\\live\\" + OpenFolder::kLockFile).c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  OpenFolder::RemoveStale();
  EXPECT_EQ(FilesUnder(Utf8(OpenFolder::Root())),
            (std::set<std::string>{"live\\" + lock, "live\\a\\b.txt"}));
  held.Reset();
  OpenFolder::RemoveStale();
  EXPECT_EQ(FilesUnder(Utf8(OpenFolder::Root())), std::set<std::string>{});

  // No private folder can be made (a file holds the name): a box says why.
  ASSERT_TRUE(RemoveDirectoryW(OpenFolder::Root().c_str()));
  WriteFileText(Utf8(OpenFolder::Root()), "");
  frmDocument& blocked = OpenArchive(marked);
  std::string why;
  DialogAnswer noFolder(kAppTitle, [&](HWND box) {
    why = TextOf(GetDlgItem(box, 0xFFFF));
    Click(box, IDOK);
  });
  Select(blocked, {"b.cvopen"});
  blocked.lvwZip_DblClick();
  EXPECT_NE(why.find(Utf8(OpenFolder::Root())), std::string::npos) << why;
  SendMessageA(blocked.Window(), WM_CLOSE, 0, 0);
  DeleteFileW(OpenFolder::Root().c_str());
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "CorvaneTest.Opened");
  RegDeleteTreeA(HKEY_CLASSES_ROOT, ".cvopen");
  DeleteFileA(kOpenedLog);
}

// New makes an empty archive (an existing file stays as it is) and shows an empty list; Add Files
// adds the chosen files, from the real dialog too, and then lists every entry of the archive.
TEST_F(DocumentTest, NewAddFilesAndDeleteKey) {
  for (const char* file : {"a b.txt", "c.txt", "d e.txt", "f.txt"})
    WriteFileText(folder / file, file);
  // The current folder is the same after the real dialog as before.
  SetCurrentDirectoryA("C:\\");
  ThroughRealDialog(frmMain::mnuFileNew, "New", folder / "new one.zip");
  char current[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof current, current);
  EXPECT_STREQ(current, "C:\\");
  frmDocument& fresh = *Active();
  EXPECT_EQ(ReadFileText(folder / "new one.zip").substr(0, 4), "PK\5\6");
  EXPECT_EQ(TextOf(fresh.Window()) + "|" + TextOf(fresh.Label1()),
            folder / "new one.zip|" + folder / "new one.zip");
  EXPECT_TRUE(AllRows(fresh).empty());

  // The base path: the files' drive root unless the first two characters equal the setting's.
  std::string zFile = "Z:\\tmp\\cvtest-z-" + std::to_string(GetCurrentProcessId()) + ".txt";
  WriteFileText(zFile, "z");
  g_bStoreFolderNames = true;
  g_sBasePath = "C:\\";
  for (auto [selection, basePath] :
       {std::pair{folder.Path() + '\0' + "a b.txt" + '\0' + "c.txt", "C:\\"},
        std::pair{zFile, "Z:\\"}}) {
    dialogs.answers = {selection};
    Command(frmMain::mnuFileAdd);
    EXPECT_EQ(fresh.m_cZip.BasePath(), basePath);
  }
  g_bStoreFolderNames = false;
  DeleteFileA(zFile.c_str());
  std::set<std::string> stored, listed;  // each file below its base path
  for (std::string name : {folder / "a b.txt", folder / "c.txt", zFile}) {
    std::replace(name.begin(), name.end(), '\\', '/');
    stored.insert(name.substr(3));
  }
  for (int32_t i = 1; i <= fresh.m_cUnzip.FileCount(); ++i)
    listed.insert(fresh.m_cUnzip.FileStoredName(i));
  EXPECT_TRUE(std::includes(listed.begin(), listed.end(), stored.begin(), stored.end()));
  EXPECT_EQ(TextOf(fresh.Window()), folder / "new one.zip");

  // Several names with blanks, from the folder the real dialog opens in.
  SetCurrentDirectoryA(folder.Path().c_str());
  ThroughRealDialog(frmMain::mnuFileAdd, "Add Files", "\"d e.txt\" \"f.txt\"");
  EXPECT_EQ(fresh.m_cUnzip.FileCount(), static_cast<int32_t>(listed.size()) + 2);

  // An existing archive: left as it is, listed only after the next Add Files; cancelled: nothing;
  // Window > New Window shows the path in the label too.
  std::string names = folder / "names.zip";
  CopyFileW(Wide(TestArchive("names.zip")).c_str(), Wide(names).c_str(), FALSE);
  std::string before = ReadFileText(names);
  int documents = Documents();
  dialogs.answers = {std::nullopt, names, folder.Path() + '\0' + "c.txt"};
  Command(frmMain::mnuFileNew);
  EXPECT_EQ(Documents(), documents);
  Command(frmMain::mnuWindowNewWindow);
  frmDocument& existing = *Active();
  EXPECT_EQ(ReadFileText(names), before);
  EXPECT_EQ(TextOf(existing.Label1()), names);
  EXPECT_TRUE(AllRows(existing).empty());
  Command(frmMain::mnuFileAdd);
  EXPECT_EQ(AllRows(existing).size(), 11u);

  // The Delete key asks first, No the default: No keeps everything. Yes removes exactly the
  // selected entries, whatever their names hold, and the list then equals a fresh listing; a
  // failure is shown, and the list shows the archive as it then is.
  std::string secret =
      MakeArchive(folder, "secret.zip", {{"a.txt", "a"}, {"b.txt", "b"}}, {"b.txt"});
  for (auto [archive, deleted] :
       {std::pair{names, std::vector<std::string>{"a[1].txt", "a*.txt", "Zoë 日本.txt",
                                                  "nested/deeper/ünï.txt"}},
        std::pair{secret, std::vector<std::string>{"b.txt"}}}) {
    frmDocument& document = OpenArchive(archive);
    size_t count = AllRows(document).size();
    Select(document, deleted);
    for (int answer : {IDNO, IDYES}) {
      std::string asked;
      DialogAnswer confirm(kAppTitle, [&](HWND box) {
        asked = TextOf(GetDlgItem(box, 0xFFFF));
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(box, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON);
        Click(box, answer);
      });
      SendMessageA(document.lvwZip(), WM_KEYDOWN, VK_DELETE, 0);
      EXPECT_EQ(confirm.Answered(), 1);
      std::string what = deleted.size() == 1 ? deleted[0] : std::to_string(deleted.size()) + " ";
      EXPECT_NE(asked.find(what), std::string::npos) << asked;
      EXPECT_NE(asked.find(archive.substr(folder.Path().size() + 1)), std::string::npos) << asked;
      if (answer == IDNO) EXPECT_EQ(AllRows(document).size(), count);
    }
    Rows after = AllRows(document);
    EXPECT_EQ(after, AllRows(OpenArchive(archive)));
    EXPECT_EQ(after.size(), count - deleted.size());  // "a1.txt" and "ab.txt" stay
  }
  frmDocument& document = OpenArchive(names);
  WriteFileText(names, "no longer an archive");
  Select(document, {"a1.txt"});
  std::string shown;
  DialogAnswer failure(
      kAppTitle,
      [&](HWND box) {
        shown = TextOf(GetDlgItem(box, 0xFFFF));
        Click(box, GetDlgItem(box, IDYES) ? IDYES : IDOK);
      },
      2);
  SendMessageA(document.lvwZip(), WM_KEYDOWN, VK_DELETE, 0);
  ASSERT_EQ(failure.Answered(), 2);
  EXPECT_EQ(shown.find(names + "\r\n\r\n"), 0u) << shown;
  EXPECT_TRUE(AllRows(document).empty());
}

// Every failure to open, make or add to an archive shows a box owned by the frame that names the
// archive; no window is left for an archive that could not be listed or made at all, while one
// whose sound entries list despite damage opens with the box as a warning.
TEST_F(DocumentTest, FailuresShowABoxAndLeaveNoWindowForWhatCouldNotBeOpened) {
  std::string sound = MakeArchive(folder, "sound.zip", {{"a.txt", "aaaa"}, {"b.txt", "bbbb"}});
  std::string damaged = folder / "damaged.zip";
  std::string bytes = ReadFileText(sound);
  // The second central directory record loses its signature: the first still lists.
  size_t second = bytes.find("PK\1\2", bytes.find("PK\1\2") + 4);
  WriteFileText(damaged, bytes.replace(second, 4, "XXXX"));
  WriteFileText(folder / "text.zip", "not an archive");
  frmDocument& added = OpenArchive(sound);
  const struct {
    const char* name;
    WORD command;
    std::string answer;  // the file dialog's
    std::string named;   // the path the box names
    int windows;         // document windows it leaves, more or fewer
    UINT icon;
  } cases[] = {
      {"missing", frmMain::mnuFileOpen, folder / "missing.zip", folder / "missing.zip", 0,
       MB_ICONERROR},
      {"a folder", frmMain::mnuFileOpen, folder.Path(), folder.Path(), 0, MB_ICONERROR},
      {"not a ZIP archive", frmMain::mnuFileOpen, folder / "text.zip", folder / "text.zip", 0,
       MB_ICONERROR},
      {"damaged, one entry sound", frmMain::mnuFileOpen, damaged, damaged, 1, MB_ICONWARNING},
      {"New in a missing folder", frmMain::mnuFileNew, folder / "none\\new.zip",
       folder / "none\\new.zip", 0, MB_ICONERROR},
      {"Add Files from a missing base path", frmMain::mnuFileAdd, folder / "src\\a.txt", sound, 0,
       MB_ICONERROR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.command == frmMain::mnuFileAdd) {
      SendMessageA(m_main->MdiClient(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(added.Window()),
                   0);
      g_sBasePath = folder / "gone";
    }
    int before = Documents();
    std::string shown;
    HWND owner = nullptr;
    DialogAnswer box(kAppTitle, [&](HWND dialog) {
      shown = TextOf(GetDlgItem(dialog, 0xFFFF));
      owner = GetWindow(dialog, GW_OWNER);
      Click(dialog, IDOK);
    });
    dialogs.answers = {c.answer};
    Command(c.command);
    EXPECT_EQ(box.Answered(), 1);
    EXPECT_EQ(owner, m_main->Window());
    EXPECT_EQ(shown.find(c.named + "\r\n\r\n"), 0u) << shown;
    PumpFor(50);
    EXPECT_EQ(Documents(), before + c.windows);
    if (c.windows) EXPECT_EQ(AllRows(*Active()).size(), 1u);
  }
  g_sBasePath = "";
  EXPECT_EQ(ReadFileText(sound), bytes.replace(second, 4, "PK\1\2"));  // nothing was added
}

// The prompts, answered with their own buttons and keys over extractions of existing files and
// encrypted entries.
TEST_F(DocumentTest, PromptsAnswerTheEngine) {
  Files files;
  for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt", "s1.txt", "s2.txt"}) {
    files.push_back({name, std::string("new ") + name});
  }
  frmDocument& document =
      OpenArchive(MakeArchive(folder, "prompts.zip", files, {"s1.txt", "s2.txt"}));
  TempFolder target;
  document.m_cUnzip.UnzipFolder(target.Path());
  document.m_cUnzip.PromptToOverwrite(true);
  // Extracts the rows over older files, answering each dialog of the caption with the next of the
  // answers; how many were asked, and the files' first three bytes.
  auto extract = [&](std::vector<std::string> rows, const char* caption,
                     std::vector<std::function<void(HWND)>> answers) {
    for (int32_t i = 1; i <= document.m_cUnzip.FileCount(); ++i) {
      std::string name = document.m_cUnzip.FileStoredName(i);
      bool chosen = std::count(rows.begin(), rows.end(), name) > 0;
      document.m_cUnzip.FileSelected(i, chosen);
      if (chosen) WriteFileText(target / name, "old");
    }
    size_t n = 0;
    DialogAnswer dialog(
        caption, [&](HWND box) { answers[std::min(n++, answers.size() - 1)](box); }, 4);
    CommandScope command;  // as the Extract command holds one
    document.m_cUnzip.Unzip();
    std::string contents;
    for (const std::string& name : rows) contents += ReadFileText(target / name).substr(0, 3) + " ";
    return std::make_pair(dialog.Answered(), contents);
  };
  auto button = [](int id) { return [id](HWND box) { Click(box, id); }; };
  auto key = [](UINT message, WPARAM vk) {
    return [message, vk](HWND) { PostMessageA(GetFocus(), message, vk, 0); };
  };
  // The question names the file as the engine gives it.
  auto named = [](HWND box) {
    EXPECT_NE(TextOf(GetDlgItem(box, frmOverwrite::kLblCaption)).find(" 1.txt?"),
              std::string::npos);
    Click(box, frmOverwrite::kCmdYTA);
  };
  const struct {
    std::vector<std::function<void(HWND)>> keys;
    std::string contents;
  } cases[] = {
      {{button(frmOverwrite::kCmdYes), button(frmOverwrite::kCmdNo), button(frmOverwrite::kCmdYes),
        key(WM_KEYDOWN, VK_RETURN)},
       "new old new old "},  // Enter is No
      {{named}, "new new new new "},
      {{key(WM_CHAR, 'y'), button(frmOverwrite::kCmdNTA)}, "new old old old "},
      {{key(WM_KEYDOWN, VK_ESCAPE)}, "old old old old "},
      {{[](HWND box) { PostMessageA(box, WM_CLOSE, 0, 0); }}, "old old old old "},
  };
  for (const auto& c : cases) {
    auto [asked, contents] =
        extract({"1.txt", "2.txt", "3.txt", "4.txt"}, "Overwrite Existing File?", c.keys);
    EXPECT_EQ(asked, static_cast<int>(c.keys.size())) << c.contents;
    EXPECT_EQ(contents, c.contents) << c.keys.size();
  }

  // The prompt names the entry, and says so when the password given before was wrong. A blank
  // password is refused with a message, blanks around one are dropped, Escape refuses, and nothing
  // longer than 254 characters can be typed. The files are replaced without a question.
  document.m_cUnzip.PromptToOverwrite(false);
  document.m_cUnzip.OverwriteExisting(true);
  DialogAnswer blank(kAppTitle, [&](HWND box) { Click(box, IDOK); });
  auto info = [](HWND box, bool wrong) {
    std::string text = TextOf(GetDlgItem(box, frmPassword::kLblInfo));
    EXPECT_NE(text.find("s1.txt"), std::string::npos) << text;
    EXPECT_EQ(text.find("Wrong") != std::string::npos, wrong) << text;
  };
  auto typed = extract({"s1.txt", "s2.txt"}, "Password Required",
                       {[&](HWND box) {
                          info(box, false);
                          SetDlgItemTextA(box, frmPassword::kTxtPassword, "not it");
                          Click(box, IDOK);
                        },
                        [&](HWND box) {
                          info(box, true);
                          HWND text = GetDlgItem(box, frmPassword::kTxtPassword);
                          for (int i = 0; i < 300; ++i) SendMessageA(text, WM_CHAR, 'p', 0);
                          EXPECT_EQ(GetWindowTextLengthA(text), frmPassword::kMaxPassword);
                          EXPECT_EQ(SendMessageA(text, EM_GETPASSWORDCHAR, 0, 0), '*');
                          SetWindowTextA(text, "   ");
                          Click(box, IDOK);
                          EXPECT_TRUE(IsWindow(box));
                          SetWindowTextA(text, "  pw ");
                          Click(box, IDOK);
                        }});
  EXPECT_EQ(blank.Answered(), 1);
  EXPECT_EQ(typed, std::make_pair(2, std::string("new new ")));
  auto refused = extract({"s1.txt", "s2.txt"}, "Password Required", {key(WM_KEYDOWN, VK_ESCAPE)});
  EXPECT_EQ(refused, std::make_pair(1, std::string("old old ")));
}

// The names of the rows shown, in row order.
std::vector<std::string> ShownNames(const frmDocument& document) {
  std::vector<std::string> names;
  for (const auto& row : AllRows(document)) names.push_back(row[0]);
  return names;
}

HWND HeaderOf(const frmDocument& document) {
  return reinterpret_cast<HWND>(SendMessageA(document.lvwZip(), LVM_GETHEADER, 0, 0));
}

// A mouse message at a point of the list's header: the column's middle, or its right divider.
void AtHeader(const frmDocument& document, UINT message, int column, bool divider, int dx = 0) {
  RECT item{};
  SendMessageA(HeaderOf(document), HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&item));
  int x = (divider ? item.right - 1 : (item.left + item.right) / 2) + dx;
  SendMessageA(HeaderOf(document), message, message == WM_MOUSEMOVE ? 0 : MK_LBUTTON,
               MAKELPARAM(x, (item.top + item.bottom) / 2));
}
void ClickHeader(const frmDocument& document, int column) {
  AtHeader(document, WM_LBUTTONDOWN, column, false);
  AtHeader(document, WM_LBUTTONUP, column, false);
}

std::string StatusOf(frmMain& main) {
  PumpFor(20);  // the text follows the selection from the window's loop
  char text[256] = "";
  SendMessageA(main.StatusBar(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
  return text;
}

// A click on a header sorts by its column as values, a second reverses; equal values keep
// catalogue order both ways; the header shows the direction and the choice holds for later windows.
TEST_F(DocumentTest, HeaderClicksSortByValueStablyBothWays) {
  frmDocument& document = OpenArchive(TestArchive("sorting.zip"));
  // Wide enough for every header to be clicked.
  MoveWindow(m_main->Window(), 0, 0, 1200, 700, TRUE);
  SendMessageA(m_main->MdiClient(), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(document.Window()), 0);
  // Catalogue order: file10.txt, file2.txt, File3.txt, big.bin (5 GiB), a.txt.
  const std::vector<std::string> names = ShownNames(document);
  ASSERT_EQ(names.size(), 5u);
  struct Case {
    const char* label;
    int column;
    std::vector<int> ascending, descending;  // catalogue positions from 1
  };
  const Case cases[] = {
      {"name: digits as numbers, case folded", 0, {5, 4, 2, 3, 1}, {1, 3, 2, 4, 5}},
      {"modified: across years and minutes", 1, {3, 2, 5, 1, 4}, {4, 1, 5, 2, 3}},
      {"size: 64-bit, ties in catalogue order", 2, {5, 3, 1, 2, 4}, {4, 1, 2, 3, 5}},
      {"ratio: negative, zero, equal", 3, {3, 5, 1, 2, 4}, {4, 1, 2, 5, 3}},
      {"packed: three equal", 4, {5, 4, 1, 2, 3}, {1, 2, 3, 4, 5}},
      {"path: empty first, sub2 before sub10", 5, {1, 5, 2, 4, 3}, {3, 4, 2, 1, 5}},
  };
  for (const Case& c : cases) {
    for (bool ascending : {true, false}) {
      ClickHeader(document, c.column);
      std::vector<std::string> expected;
      for (int i : ascending ? c.ascending : c.descending) expected.push_back(names[i - 1]);
      EXPECT_EQ(ShownNames(document), expected) << c.label << (ascending ? " up" : " down");
      HDITEMA item{HDI_FORMAT};
      SendMessageA(HeaderOf(document), HDM_GETITEMA, c.column, reinterpret_cast<LPARAM>(&item));
      EXPECT_EQ(item.fmt & (HDF_SORTUP | HDF_SORTDOWN), ascending ? HDF_SORTUP : HDF_SORTDOWN);
    }
  }
  // Sorting keeps the selected entries selected; a later window opens with the last sort.
  Select(document, {"a.txt"});
  ClickHeader(document, 0);
  EXPECT_EQ(document.SelectedIndices(), std::vector<int32_t>{5});
  frmDocument& later = OpenArchive(TestArchive("sorting.zip"));
  EXPECT_EQ(ShownNames(later).front(), "a.txt");
  EXPECT_EQ(Stored("SortColumn") + Stored("SortDescending"), "0False");
}

// The search box narrows the list to entries whose folder or name holds the text, case folded in
// Unicode; hidden rows lose their selection and no command touches them; Escape shows all again.
TEST_F(DocumentTest, SearchNarrowsTheRowsCommandsActOn) {
  std::string names = folder / "names.zip";
  CopyFileW(Wide(TestArchive("names.zip")).c_str(), Wide(names).c_str(), FALSE);
  frmDocument& document = OpenArchive(names);
  EXPECT_EQ(StatusOf(*m_main).find("10 entries"), 0u) << StatusOf(*m_main);
  Command(frmMain::mnuViewFind);
  EXPECT_EQ(GetFocus(), document.txtFind());
  const std::pair<const char*, std::vector<std::string>> searches[] = {
      {"ZOË", {"Zoë 日本.txt"}}, {"ÜNÏ", {"ünï.txt"}}, {"nested\\", {"ünï.txt", "top.txt"}},
      {"a[", {"a[1].txt"}},      {"no such", {}},
  };
  for (const auto& [text, shown] : searches) {
    SetWindowTextA(document.txtFind(), text);
    EXPECT_EQ(ShownNames(document), shown) << text;
    EXPECT_EQ(StatusOf(*m_main), std::to_string(shown.size()) + " of 10 entries") << text;
  }
  // Every row selected, then a search: only the rows it shows stay selected, and Delete takes
  // only those.
  SetWindowTextA(document.txtFind(), "");
  LVITEMA all{};
  all.stateMask = all.state = LVIS_SELECTED;
  SendMessageA(document.lvwZip(), LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&all));
  SetWindowTextA(document.txtFind(), "nested");
  EXPECT_EQ(document.SelectedIndices().size(), 2u);
  EXPECT_EQ(StatusOf(*m_main).find("2 selected"), 0u) << StatusOf(*m_main);
  DialogAnswer yes(kAppTitle, [&](HWND box) { Click(box, IDYES); });
  SendMessageA(document.lvwZip(), WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(yes.Answered(), 1);
  EXPECT_EQ(document.m_cUnzip.FileCount(), 8);
  EXPECT_TRUE(ShownNames(document).empty());  // the search still holds
  // So it does over a refresh, whose listing is folded anew before any row shows.
  SetWindowTextA(document.txtFind(), "A[");
  MSG f5{document.lvwZip(), WM_KEYDOWN, VK_F5, 0};
  EXPECT_TRUE(m_main->PreTranslateMessage(f5));
  EXPECT_EQ(ShownNames(document), std::vector<std::string>{"a[1].txt"});
  EXPECT_EQ(StatusOf(*m_main), "1 of 8 entries");
  SendMessageA(document.txtFind(), WM_CHAR, VK_ESCAPE, 0);
  EXPECT_EQ(TextOf(document.txtFind()), "");
  EXPECT_EQ(ShownNames(document).size(), 8u);
}

// Commands that need a document are greyed without one; File > Close closes the active one,
// View > Refresh reads its archive again; the Window menu names each by its archive; the first
// window fills the client area, later ones cascade; the status bar follows the selection.
TEST_F(DocumentTest, CloseRefreshAndCommandsThatNeedADocument) {
  auto greyed = [&] {
    std::string states;
    for (WORD command : {frmMain::mnuFileClose, frmMain::mnuFileExtract, frmMain::mnuFileAdd}) {
      states +=
          (GetMenuState(GetMenu(m_main->Window()), command, MF_BYCOMMAND) & MF_GRAYED) ? 'g' : '-';
    }
    for (WORD command : {frmMain::mnuFileAdd, frmMain::mnuFileExtract}) {
      states += SendMessageA(m_main->Toolbar(), TB_ISBUTTONENABLED, command, 0) ? '-' : 'g';
    }
    return states;
  };
  EXPECT_EQ(greyed(), "ggggg");
  std::string archive = folder / "four.zip";
  CopyFileW(Wide(TestArchive("catalogue.zip")).c_str(), Wide(archive).c_str(), FALSE);
  frmDocument& document = OpenArchive(archive);
  EXPECT_EQ(greyed(), "-----");
  // The first window fills the client area, and goes on filling it as the frame grows.
  RECT client, window;
  for (int grow : {0, 60}) {
    RECT frame;
    GetWindowRect(m_main->Window(), &frame);
    MoveWindow(m_main->Window(), frame.left, frame.top, frame.right - frame.left + grow,
               frame.bottom - frame.top + grow, TRUE);
    GetClientRect(m_main->MdiClient(), &client);
    GetWindowRect(document.Window(), &window);
    EXPECT_EQ(std::make_pair(window.right - window.left, window.bottom - window.top),
              std::make_pair(client.right, client.bottom))
        << grow;
  }
  char listed[MAX_PATH] = "";
  GetMenuStringA(GetMenu(m_main->Window()), frmMain::kFirstDocumentCommand, listed, MAX_PATH,
                 MF_BYCOMMAND);
  EXPECT_NE(std::string(listed).find(archive), std::string::npos) << listed;
  // Totals with nothing selected, the selection's count and size with some.
  EXPECT_EQ(StatusOf(*m_main).find(std::to_string(document.m_cUnzip.FileCount()) + " entries"), 0u);
  Select(document, {"a/b/c.txt", "docs/guide.txt"});
  EXPECT_EQ(StatusOf(*m_main), "2 selected, 306 bytes");

  CopyFileW(Wide(TestArchive("four.zip")).c_str(), Wide(archive).c_str(), FALSE);
  MSG f5{document.lvwZip(), WM_KEYDOWN, VK_F5, 0};
  EXPECT_TRUE(m_main->PreTranslateMessage(f5));
  EXPECT_EQ(ShownNames(document),
            (std::vector<std::string>{"f1.txt", "f2.txt", "f3.txt", "f4.txt"}));
  WriteFileText(archive, "no longer an archive");
  DialogAnswer failure(kAppTitle, [&](HWND box) { Click(box, IDOK); });
  Command(frmMain::mnuViewRefresh);
  EXPECT_EQ(failure.Answered(), 1);

  frmDocument& second = OpenArchive(TestArchive("names.zip"));
  GetWindowRect(second.Window(), &window);
  EXPECT_LT(window.right - window.left, client.right);  // cascaded
  for (int left : {1, 0}) {
    Command(frmMain::mnuFileClose);
    EXPECT_TRUE(WaitUntil([&] { return Documents() == left; }));
  }
  PumpFor(50);
  EXPECT_EQ(greyed(), "ggggg");
  EXPECT_EQ(StatusOf(*m_main), "");
}

// At the first fill a column widens to show its texts; a width the user drags persists for later
// windows and wins over the fit; a double-click on a divider fits the column.
TEST_F(DocumentTest, ColumnsFitAndKeepTheWidthTheUserDragged) {
  frmDocument& document = OpenArchive(TestArchive("catalogue.zip"));
  HWND list = document.lvwZip();
  auto width = [](HWND list, int column) {
    return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
  };
  for (int column = 0; column < kColumnCount; ++column) {
    for (const auto& row : AllRows(document)) {
      int text = static_cast<int>(SendMessageW(
          list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(Wide(row[column]).c_str())));
      EXPECT_GT(width(list, column), text) << column << " " << row[column];
    }
  }
  int fitted = width(list, 1);
  AtHeader(document, WM_LBUTTONDOWN, 1, /*divider=*/true);
  AtHeader(document, WM_LBUTTONUP, 1, true, 40);
  int dragged = width(list, 1);
  EXPECT_GT(dragged, fitted);
  EXPECT_NE(Stored("ColumnWidths"), "<absent>");
  frmDocument& later = OpenArchive(TestArchive("catalogue.zip"));
  EXPECT_EQ(width(later.lvwZip(), 1), dragged);
  AtHeader(later, WM_LBUTTONDBLCLK, 1, true);
  EXPECT_EQ(width(later.lvwZip(), 1), fitted);
}

}  // namespace
}  // namespace corvane
