// Working with Explorer from outside the main window: the association's registry rows, and the
// verbs' command lines run end to end as Corvane processes of their own. What Wine cannot show
// (Explorer's menus, its multi-selection, the Settings page) rests on these rows.

#include <windows.h>

#include <set>

#include "FrameTest.h"
#include "cRegistryTestHelper.h"
#include "dialogs/frmOverwrite.h"
#include "platform/Text.h"
#include "settings/AppSettings.h"
#include "settings/Association.h"
#include "shell/Startup.h"

namespace corvane {
namespace {

using namespace test;

constexpr char kProgram[] = "C:\\Corvane\\Corvane.exe";
constexpr char kUserChoice[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.zip\\UserChoice";
constexpr char kOpenWith[] = "Software\\Classes\\.zip\\OpenWithProgids";

std::string Read(HKEY root, const std::string& key, const char* name = nullptr) {
  char data[1024] = "";
  DWORD size = sizeof data;
  return RegGetValueA(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) == ERROR_SUCCESS
             ? data
             : "<absent>";
}

// What Explorer would read of the registration, one text per place.
std::string Registration() {
  const std::string verbs = "Software\\Classes\\SystemFileAssociations\\.zip\\shell\\";
  return Read(HKEY_CLASSES_ROOT, "Corvane.ZipFile\\shell\\open\\command") + "|" +
         Read(HKEY_CURRENT_USER, "Software\\Classes\\Corvane.ZipFile\\shell\\open\\command") + "|" +
         Read(HKEY_CURRENT_USER, kOpenWith, "Corvane.ZipFile") + "|" +
         Read(HKEY_CURRENT_USER, "Software\\Corvane\\Corvane\\Capabilities\\FileAssociations",
              ".zip") +
         "|" + Read(HKEY_CURRENT_USER, "Software\\RegisteredApplications", "Corvane") + "|" +
         Read(HKEY_CURRENT_USER, verbs + "Corvane.ExtractHere\\command") + "|" +
         Read(HKEY_CURRENT_USER, verbs + "Corvane.ExtractTo\\command") + "|" +
         Read(HKEY_CURRENT_USER,
              "Software\\Classes\\AllFilesystemObjects\\shell\\Corvane.AddToZip\\command");
}

class ExplorerTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    RemoveZipAssociation();
    RegDeleteTreeA(HKEY_CURRENT_USER, kUserChoice);
  }
  void TearDown() override {
    RemoveZipAssociation();
    RegDeleteTreeA(HKEY_CURRENT_USER, kUserChoice);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kOpenWith, "Other.Zip");
    FrameTest::TearDown();
  }
  // Corvane.exe with these arguments, its boxes answered by pressing button; its exit code.
  long Run(const std::string& arguments, int boxes = 0, int button = IDOK) {
    DialogAnswer answer(
        kAppTitle, [&](HWND box) { Click(box, button); }, boxes);
    Process process = Start("\"" + BesideTests("Corvane.exe") + "\" " + arguments);
    long code = Finish(process);
    EXPECT_EQ(answer.Answered(), boxes) << arguments;
    return code;
  }
};

TEST_F(ExplorerTest, AssociationRows) {
  const std::string q = "\"" + std::string(kProgram) + "\"";
  const std::string registered = q + " \"%1\"|" + q + " \"%1\"||Corvane.ZipFile|" +
                                 "Software\\Corvane\\Corvane\\Capabilities|" + q +
                                 " /extract-here \"%1\"|" + q + " /extract-to \"%1\"|" + q +
                                 " /add \"%1\"";
  const std::string none =
      "<absent>|<absent>|<absent>|<absent>|<absent>|<absent>|<absent>|<absent>";
  RegSetKeyValueA(HKEY_CURRENT_USER, kOpenWith, "Other.Zip", REG_SZ, "", 1);
  const struct {
    const char* what;
    const char* userChoice;  // nullptr: none
    bool associate;          // else Stop Associating, or /unregister when unregister
    bool unregister;
    bool writes;  // something was written or removed
    DefaultChooser sentTo;
    const std::string& after;
  } rows[] = {
      {"fresh user", nullptr, true, false, true, DefaultChooser::None, registered},
      {"again: nothing changed", nullptr, true, false, false, DefaultChooser::None, registered},
      // Wine opens no Settings page and no chooser: the box says where to choose.
      {"another program's choice", "Other.Zip", true, false, false, DefaultChooser::Box,
       registered},
      {"Corvane's own choice", "Corvane.ZipFile", true, false, false, DefaultChooser::None,
       registered},
      {"Stop Associating", nullptr, false, false, true, DefaultChooser::None, none},
      {"Stop Associating again", nullptr, false, false, false, DefaultChooser::None, none},
      {"after Associate, /unregister", nullptr, false, true, true, DefaultChooser::None, none},
  };
  for (const auto& row : rows) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kUserChoice);
    if (row.userChoice) {
      RegSetKeyValueA(HKEY_CURRENT_USER, kUserChoice, "ProgId", REG_SZ, row.userChoice,
                      static_cast<DWORD>(strlen(row.userChoice) + 1));
    }
    if (row.unregister) {
      AssociateZipFiles(kProgram);
      Store("frun", "2");
      EXPECT_EQ(Run("/unregister"), 0) << row.what;
      EXPECT_EQ(Stored("frun"), "0") << row.what;
    } else if (row.associate) {
      cRegistryTestHelper recorder;
      DialogAnswer box(kAppTitle, [](HWND box) { Click(box, IDOK); });
      DefaultChooser sentTo = DefaultChooser::Settings;
      EXPECT_TRUE(AssociateAndChooseDefault(nullptr, kProgram, &sentTo)) << row.what;
      EXPECT_EQ(sentTo, row.sentTo) << row.what;
      EXPECT_EQ(box.Answered(), row.sentTo == DefaultChooser::Box ? 1 : 0) << row.what;
      EXPECT_EQ(!recorder.log.empty(), row.writes) << row.what << "\n" << recorder.log;
    } else {
      EXPECT_EQ(RemoveZipAssociation(), row.writes) << row.what;
    }
    EXPECT_EQ(Registration(), row.after) << row.what;
    // Another program's entries are never touched.
    EXPECT_EQ(Read(HKEY_CURRENT_USER, kOpenWith, "Other.Zip"), "") << row.what;
  }
}

// Files under folder, written, and zipped into archive with their folder names.
std::string Zipped(const TempFolder& folder, const std::string& archive,
                   const std::vector<std::string>& files) {
  cZip zip;
  zip.ZipFile(folder / archive);
  zip.BasePath(folder / "src");
  zip.StoreFolderNames(true);
  for (const std::string& file : files) {
    WriteFileText(folder / ("src\\" + file), file);
    zip.AddFileSpec(folder / ("src\\" + file));
  }
  zip.Zip();
  EXPECT_FALSE(zip.LastRunFailed()) << zip.LastMessage();
  return folder / archive;
}

TEST_F(ExplorerTest, VerbsExtractBesideTheArchiveWithoutScattering) {
  TempFolder folder;
  std::string several = Zipped(folder, "several.zip", {"a.txt", "d\\b.txt"});
  std::string one = Zipped(folder, "one.zip", {"top\\x.txt", "top\\sub\\y.txt"});
  RemoveDirectoryW(Wide(folder / "src").c_str());
  const struct {
    std::string line;
    int boxes;  // the program's boxes, or for Extract to the overwrite questions, answered Yes
    long code;
    std::set<std::string> added;  // files that appear under folder, src excluded
  } rows[] = {
      {"/extract-here \"" + several + "\"", 0, 0, {"several\\a.txt", "several\\d\\b.txt"}},
      // The folder exists now: a new one, never a merge without asking.
      {"/extract-here \"" + several + "\"", 0, 0, {"several (2)\\a.txt", "several (2)\\d\\b.txt"}},
      {"/extract-here \"" + one + "\"", 0, 0, {"top\\x.txt", "top\\sub\\y.txt"}},
      // Extract to merges into the folder of that name; each file there is asked about.
      {"/extract-to \"" + several + "\"", 2, 0, {}},
      {"/extract-to \"" + one + "\"", 0, 0, {"one\\top\\x.txt", "one\\top\\sub\\y.txt"}},
      // A failure is a box, and no folder.
      {"/extract-here \"" + folder / "missing.zip" + "\"", 1, 1, {}},
      {"/extract-sideways \"" + several + "\"", 1, 2, {}},
      {"/?", 1, 0, {}},
  };
  for (const auto& row : rows) {
    std::set<std::string> before = FilesUnder(folder.Path());
    bool merge = row.line.find("/extract-to") == 0;
    DialogAnswer overwrite(
        "Overwrite Existing File?", [](HWND box) { Click(box, frmOverwrite::kCmdYes); },
        merge ? row.boxes : 0);
    EXPECT_EQ(Run(row.line, merge ? 0 : row.boxes), row.code) << row.line;
    EXPECT_EQ(overwrite.Answered(), merge ? row.boxes : 0) << row.line;
    std::set<std::string> added;
    for (const std::string& file : FilesUnder(folder.Path())) {
      if (!before.count(file)) added.insert(file);
    }
    EXPECT_EQ(added, row.added) << row.line;
  }
}

// Explorer starts the verb once per selected item: three processes at once make one archive
// beside the items, which then opens in a main window of its own.
TEST_F(ExplorerTest, AddGathersTheSelectedItemsIntoOneArchive) {
  TempFolder folder;
  WriteFileText(folder / "a.txt", "a");
  WriteFileText(folder / "b.txt", "b");
  WriteFileText(folder / "docs\\c.txt", "c");
  WriteFileText(folder / "a.zip", "in the way");
  std::vector<Process> processes;
  for (const char* item : {"a.txt", "b.txt", "docs"}) {
    processes.push_back(
        Start("\"" + BesideTests("Corvane.exe") + "\" /add \"" + folder / item + "\""));
  }
  for (Process& process : processes) EXPECT_EQ(Finish(process), 0);
  std::set<std::string> archives;
  for (const std::string& file : FilesUnder(folder.Path())) {
    if (file.size() > 4 && file.substr(file.size() - 4) == ".zip" && file != "a.zip")
      archives.insert(file);
  }
  ASSERT_EQ(archives.size(), 1u);
  const std::string archive = folder / *archives.begin();
  EXPECT_TRUE(*archives.begin() == "a (2).zip" || *archives.begin() == "b.zip" ||
              *archives.begin() == "docs.zip");
  cUnzip unzip;
  unzip.ZipFile(archive);
  unzip.Directory();
  std::set<std::string> names;
  for (int32_t i = 1; i <= unzip.FileCount(); ++i) names.insert(unzip.FileStoredName(i));
  EXPECT_EQ(names, (std::set<std::string>{"a.txt", "b.txt", "docs/c.txt"}));
  // The archive opens as the association opens it; that window is closed here again.
  HWND opened = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    FindMainWindow();
    opened = FoundMainWindow();
    return opened && TextOf(opened).find("Corvane") != std::string::npos && IsWindowVisible(opened);
  }));
  PostMessageA(opened, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(opened); }));
}

}  // namespace
}  // namespace corvane
