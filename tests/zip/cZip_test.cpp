#include "zip/cZip.h"

#include <gtest/gtest.h>

#include "Testing.h"
#include "zip/AddFiles.h"

namespace corvane {

namespace {

using namespace test;
using Names = std::vector<std::string>;

std::string CurrentFolder() {
  std::string current(32768, '\0');
  current.resize(GetCurrentDirectoryA(static_cast<DWORD>(current.size()), current.data()));
  return current;
}

// The stored names of the archive, as the unzip binding lists them.
Names Stored(const std::string& archive) {
  cUnzip unzip;
  unzip.ZipFile(archive);
  unzip.Directory();
  Names names;
  for (int32_t i = 1; i <= unzip.FileCount(); ++i) names.push_back(unzip.FileStoredName(i));
  std::sort(names.begin(), names.end());
  return names;
}

// Files under a temporary folder, which is also the current folder during each test.
class cZipTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"src\\one.txt", "src\\two.txt", "src\\sub\\three.txt"}) {
      WriteFileText(folder / name, name);
    }
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));
    zip.ZipFile(archive);
    zip.Listener(&events);
    zip.BasePath(folder.Path());
  }
  void TearDown() override { SetCurrentDirectoryA(m_previous.c_str()); }

  void Run(void (cZip::*run)(), const Names& specs) {
    zip.ClearFileSpecs();
    for (const std::string& name : specs) zip.AddFileSpec(name);
    (zip.*run)();
  }

  std::string m_previous = CurrentFolder();
  TempFolder folder;
  std::string archive = folder / "out.zip";
  cZip zip;
  Recorder events;
};

// A new builder stores no folder names, no folder entries and does not recurse. MessageLevel 0 is
// verbose (a closing total), 1 quiet (no lines), 2 neither.
TEST_F(cZipTest, OptionsDecideWhatIsStoredAndReported) {
  EXPECT_FALSE(zip.StoreFolderNames() || zip.RecurseSubDirs() || zip.Encrpyt() ||
               zip.StoreDirectories());
  for (auto [on, stored] :
       {std::pair{false, Names{"one.txt", "two.txt"}},
        std::pair{true, Names{"src/one.txt", "src/sub/three.txt", "src/two.txt"}}}) {
    DeleteFileA(archive.c_str());
    zip.StoreFolderNames(on);
    zip.RecurseSubDirs(on);
    Run(&cZip::Zip, {"src\\*"});
    EXPECT_EQ(Stored(archive), stored) << on;
  }
  for (auto [level, lines] : {std::pair{0, 3u}, {1, 0u}, {2, 2u}}) {
    DeleteFileA(archive.c_str());
    events.messages.clear();
    zip.MessageLevel(level);
    Run(&cZip::Zip, {"src\\one.txt", "src\\two.txt"});
    EXPECT_EQ(events.messages.size(), lines) << level;
  }
}

// Relative file names lie under the base path; no run changes the current folder.
TEST_F(cZipTest, RelativeSpecificationsLieUnderTheBasePath) {
  zip.BasePath(folder / "src");
  zip.StoreFolderNames(true);
  Run(&cZip::Zip, {"sub\\three.txt", folder / "src\\one.txt"});
  EXPECT_EQ(Stored(archive), (Names{"one.txt", "sub/three.txt"})) << zip.LastMessage();
  EXPECT_EQ(CurrentFolder(), folder.Path());
  zip.BasePath("   ");  // blank: relative names from the current folder, no base for stored names
  Run(&cZip::Zip, {"src\\two.txt"});
  EXPECT_EQ(Stored(archive), (Names{"one.txt", "src/two.txt", "sub/three.txt"}));

  // No fixed limit on the number of specifications.
  Names many;
  for (int i = 0; i < 1100; ++i)
    WriteFileText(many.emplace_back(folder / "many\\" + std::to_string(i)), "x");
  zip.MessageLevel(1);
  DeleteFileA(archive.c_str());
  Run(&cZip::Zip, many);
  EXPECT_EQ(Stored(archive).size(), 1100u) << zip.LastMessage();
}

// Add Files stores names below the setting's base path when the files share its root, else below
// the files' own root: a drive, or a network path's share.
TEST(AddFilesTest, BasePathIsTheFilesRootUnlessTheSettingSharesIt) {
  for (auto [file, setting, base] : {
           std::tuple{"D:\\f\\a.txt", "C:\\b", "D:\\"},
           std::tuple{"C:\\f\\a.txt", "C:\\b", "C:\\b"},
           std::tuple{"c:\\f\\a.txt", "C:\\b", "c:\\"},
           std::tuple{"\\\\server\\share\\f\\a.txt", "C:\\b", "\\\\server\\share\\"},
           std::tuple{"\\\\server\\share\\a.txt", "\\\\server\\share\\b", "\\\\server\\share\\b"},
           std::tuple{"\\\\server\\other\\a.txt", "\\\\server\\share\\b", "\\\\server\\other\\"},
       }) {
    cZip zip;
    PrepareAddFiles(zip, file, /*storeFolderNames=*/true, setting);
    EXPECT_EQ(zip.BasePath(), base) << file << " " << setting;
  }
}

TEST_F(cZipTest, DeleteRemovesExactlyTheNamedEntriesAndTurnsItsFlagOffAgain) {
  Run(&cZip::Zip, {"src\\one.txt", "src\\two.txt"});
  Run(&cZip::Delete, {"one.txt"});
  EXPECT_EQ(zip.LastResult(), 0) << zip.LastMessage();
  EXPECT_EQ(Stored(archive), (Names{"two.txt"}));
  zip.BasePath(folder / "no such folder");  // a Delete that raised turns it off too
  std::string source;
  EXPECT_EQ(ErrorNumber([&] { zip.Delete(); }, &source), 76);
  EXPECT_EQ(source, "cZip_test.mZip");
  EXPECT_EQ(Stored(archive), (Names{"two.txt"}));  // the engine was not called
  zip.BasePath(folder.Path());                     // the next run adds again
  Run(&cZip::Zip, {"src\\one.txt"});
  EXPECT_EQ(Stored(archive), (Names{"one.txt", "two.txt"}));
}

// A stop leaves the archive byte for byte as it was, and no temporary file beside it.
TEST_F(cZipTest, CancelKeepsTheArchiveAndLeavesNoTemporaryFile) {
  zip.StoreFolderNames(true);
  Run(&cZip::Zip, {"src\\sub\\three.txt", "src\\one.txt"});
  std::string before = ReadFileText(archive);
  EXPECT_NE(events.messages.at(0).find("src\\sub\\three.txt"), std::string::npos);
  EXPECT_EQ(events.cancels.at(0), "src/sub/three.txt");  // the stored name, as the engine gives it
  events.cancelAll = true;
  Run(&cZip::Zip, {"src\\two.txt"});
  EXPECT_EQ(zip.LastResult(), ZE_ABORTED);
  Run(&cZip::Delete, {"src/one.txt"});
  EXPECT_EQ(zip.LastResult(), ZE_ABORTED);
  EXPECT_EQ(ReadFileText(archive), before);
  std::set<std::string> files = FilesUnder(folder.Path());
  EXPECT_EQ(files, (std::set<std::string>{"out.zip", "src\\one.txt", "src\\sub\\three.txt",
                                          "src\\two.txt"}));
  EXPECT_FALSE(events.otherThread);
}

// The password given, without the blanks around it, is the one the entries take; a blank one
// refuses, for the whole run.
TEST_F(cZipTest, EncryptedEntriesTakeThePasswordTheUnzipBindingReads) {
  zip.Encrypt(true);
  events.password = "   ";
  Run(&cZip::Zip, {"src\\one.txt", "src\\two.txt"});
  EXPECT_EQ(events.passwordPrompts, 1);
  EXPECT_NE(zip.LastResult(), 0);
  events.password = " secret ";
  Run(&cZip::Zip, {"src\\one.txt", "src\\two.txt"});
  EXPECT_EQ(events.passwordPrompts, 2);
  Recorder answer;
  answer.password = "secret";
  cUnzip unzip;
  unzip.Listener(&answer);
  unzip.ZipFile(archive);
  unzip.Directory();
  ASSERT_EQ(unzip.FileCount(), 2);
  EXPECT_TRUE(unzip.FileEncrypted(1) && unzip.FileEncrypted(2));
  TempFolder out;
  unzip.UnzipFolder(out.Path());
  unzip.Unzip();
  EXPECT_EQ(ReadFileText(out / "two.txt"), "src\\two.txt");
}

}  // namespace
}  // namespace corvane
