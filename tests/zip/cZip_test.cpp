#include "zip/cZip.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "EngineTestSupport.h"
#include "unzip/cUnzip.h"

namespace corvane {
namespace {

using test::ArchiveNames;
using test::FileExists;
using test::ReadFileText;
using test::TempFolder;
using test::WriteFileText;
using Names = std::vector<std::string>;

class Recorder : public cZipEvents {
 public:
  void Cancel(const std::string& sMsg, bool& bCancel) override {
    EXPECT_FALSE(bCancel);
    cancels.push_back(sMsg);
    bCancel = cancelAll;
  }
  void PasswordRequest(std::string& sPassword, bool& bCancel) override {
    EXPECT_EQ(sPassword, "");
    EXPECT_FALSE(bCancel);
    ++passwordPrompts;
    sPassword = password;
  }
  void Progress(int32_t lCount, const std::string& sMsg) override {
    EXPECT_EQ(lCount, 1);
    messages.push_back(sMsg);
  }

  std::string password;
  bool cancelAll = false;
  int passwordPrompts = 0;
  std::vector<std::string> cancels, messages;
};

// Files under a temporary folder, which is also the current folder during each test.
class cZipTest : public testing::Test {
 protected:
  void SetUp() override {
    GetCurrentDirectoryA(sizeof m_previous, m_previous);
    for (const char* name : {"src\\one.txt", "src\\two.txt", "src\\sub\\three.txt",
                             "src\\sub\\deeper\\four.txt", "src\\a[1].txt", "src\\a1.txt"}) {
      WriteFileText(folder / name, name);
    }
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));
    zip.ZipFile(archive);
    zip.Listener(&events);
  }
  void TearDown() override { SetCurrentDirectoryA(m_previous); }

  static std::string CurrentFolder() {
    char current[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(sizeof current, current);
    return current;
  }
  Names Stored() {
    Names names = ArchiveNames(archive);
    std::sort(names.begin(), names.end());
    return names;
  }
  // Extracts the archive into out through the unzip engine.
  void ExtractArchive(const TempFolder& out, cUnzipEvents* listener = nullptr) {
    cUnzip unzip;
    unzip.Listener(listener);
    unzip.ZipFile(archive);
    unzip.Directory();
    unzip.UnzipFolder(out.Path());
    unzip.Unzip();
    EXPECT_EQ(unzip.LastResult(), 0) << unzip.LastMessage();
  }
  void Add(const Names& specs) {
    zip.ClearFileSpecs();
    for (const std::string& name : specs) zip.AddFileSpec(name);
    zip.Zip();
  }

  TempFolder folder;
  std::string archive = folder / "out.zip";
  cZip zip;
  Recorder events;

 private:
  char m_previous[MAX_PATH + 1] = {};
};

TEST_F(cZipTest, NewBuilderStartsWithTheDocumentedOptions) {
  cZip fresh;
  EXPECT_FALSE(fresh.StoreDirectories());
  EXPECT_FALSE(fresh.StoreFolderNames());
  EXPECT_FALSE(fresh.RecurseSubDirs());
  EXPECT_FALSE(fresh.Encrpyt());
  EXPECT_FALSE(fresh.IncludeSystemAndHiddenFiles());
  EXPECT_EQ(fresh.MessageLevel(), 2);
  EXPECT_EQ(fresh.FileSpecCount(), 0);
  EXPECT_EQ(fresh.ZipFile(), "");
  EXPECT_EQ(fresh.BasePath(), "");
}

TEST_F(cZipTest, MessageLevelTakesZeroToTwoAndIgnoresOtherValues) {
  struct Case {
    std::vector<int32_t> sets;
    int32_t reads;
  } cases[] = {
      {{0}, 0}, {{1}, 1}, {{2}, 2}, {{0, 5}, 0}, {{1, -1}, 1}, {{0, 2}, 2}, {{1, 0}, 0},
  };
  for (const Case& c : cases) {
    cZip fresh;
    for (int32_t level : c.sets) fresh.MessageLevel(level);
    EXPECT_EQ(fresh.MessageLevel(), c.reads) << "last set " << c.sets.back();
  }
}

TEST_F(cZipTest, MessageLevelDecidesHowMuchReachesProgress) {
  zip.BasePath(folder.Path());
  zip.MessageLevel(1);
  Add({"src\\one.txt"});
  EXPECT_TRUE(events.messages.empty());
  zip.MessageLevel(2);
  Add({"src\\two.txt"});
  EXPECT_EQ(events.messages.size(), 1u);
  EXPECT_EQ(zip.LastMessage(), events.messages.back());
}

TEST_F(cZipTest, FileSpecsAreKeptFromOneToCount) {
  EXPECT_EQ(zip.AddFileSpec("a"), 0);
  EXPECT_EQ(zip.AddFileSpec("b"), 0);
  EXPECT_EQ(zip.FileSpecCount(), 2);
  EXPECT_EQ(zip.FileSpec(1), "a");
  EXPECT_EQ(zip.FileSpec(2), "b");
  for (int32_t index : {0, -1, 3}) {
    std::string source;
    EXPECT_EQ(test::ErrorNumber([&] { zip.FileSpec(index); }, &source), 9) << index;
    EXPECT_EQ(source, "cZip_test.cZip");
  }
  zip.ClearFileSpecs();
  EXPECT_EQ(zip.FileSpecCount(), 0);
  EXPECT_EQ(test::ErrorNumber([&] { zip.FileSpec(1); }), 9);
}

TEST_F(cZipTest, OptionsDecideTheStoredNames) {
  struct Case {
    const char* name;
    std::function<void(cZip&)> setUp;
    Names specs;
    Names stored;
  } cases[] = {
      {"file names only",
       [](cZip&) {},
       {"src\\sub\\three.txt", "src\\one.txt"},
       {"one.txt", "three.txt"}},
      {"folder names",
       [](cZip& z) { z.StoreFolderNames(true); },
       {"src\\sub\\three.txt"},
       {"src/sub/three.txt"}},
      {"folder not descended", [](cZip& z) { z.StoreFolderNames(true); }, {"src\\sub"}, {}},
      {"folder descended",
       [](cZip& z) {
         z.StoreFolderNames(true);
         z.RecurseSubDirs(true);
       },
       {"src\\sub"},
       {"src/sub/deeper/four.txt", "src/sub/three.txt"}},
      {"folder entries",
       [](cZip& z) {
         z.StoreFolderNames(true);
         z.RecurseSubDirs(true);
         z.StoreDirectories(true);
       },
       {"src\\sub"},
       {"src/sub/", "src/sub/deeper/", "src/sub/deeper/four.txt", "src/sub/three.txt"}},
      {"absolute name",
       [](cZip& z) { z.StoreFolderNames(true); },
       {"<folder>\\src\\one.txt"},
       {"src/one.txt"}},
      // "[" is an ordinary character of a file name, not a set.
      {"relative wildcard",
       [](cZip& z) { z.StoreFolderNames(true); },
       {"src\\a*.txt"},
       {"src/a1.txt", "src/a[1].txt"}},
      {"absolute wildcard", [](cZip&) {}, {"<folder>\\src\\?ne.txt"}, {"one.txt"}},
      {"wildcard name with a bracket", [](cZip&) {}, {"src\\a[1]*"}, {"a[1].txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileA(archive.c_str());
    cZip fresh;
    fresh.ZipFile(archive);
    fresh.BasePath(folder.Path());
    c.setUp(fresh);
    for (std::string name : c.specs) {
      if (name.rfind("<folder>", 0) == 0) name = folder.Path() + name.substr(8);
      fresh.AddFileSpec(name);
    }
    fresh.Zip();
    EXPECT_EQ(Stored(), c.stored) << fresh.LastMessage();
  }
}

TEST_F(cZipTest, HiddenFilesFoundInFoldersNeedTheOption) {
  SetFileAttributesA((folder / "src\\sub\\three.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  zip.BasePath(folder.Path());
  zip.RecurseSubDirs(true);
  Add({"src\\sub"});
  EXPECT_EQ(Stored(), Names{"four.txt"});
  zip.IncludeSystemAndHiddenFiles(true);
  Add({"src\\sub"});
  EXPECT_EQ(Stored(), (Names{"four.txt", "three.txt"}));
}

TEST_F(cZipTest, FreshenReplacesOnlyEntriesThatExist) {
  zip.BasePath(folder.Path());
  test::SetFileDate(folder / "src\\one.txt", 2000, 1, 1);
  Add({"src\\one.txt"});
  WriteFileText(folder / "src\\one.txt", "changed");
  zip.FreshenFiles(true);
  Add({"src\\one.txt", "src\\two.txt"});
  EXPECT_EQ(Stored(), Names{"one.txt"});
  TempFolder out;
  ExtractArchive(out);
  EXPECT_EQ(ReadFileText(out / "one.txt"), "changed");
}

TEST_F(cZipTest, LineEndsAreConvertedWhenAsked) {
  WriteFileText(folder / "lines.txt", "a\nb\n");
  zip.BasePath(folder.Path());
  zip.ConvertLFToCRLF(true);
  Add({"lines.txt"});
  TempFolder out;
  ExtractArchive(out);
  EXPECT_EQ(ReadFileText(out / "lines.txt"), "a\r\nb\r\n");
}

TEST_F(cZipTest, ZipWithoutSpecificationsCreatesAnEmptyArchive) {
  zip.Zip();
  EXPECT_EQ(zip.LastResult(), 0) << zip.LastMessage();
  ASSERT_TRUE(FileExists(archive));
  EXPECT_EQ(Stored(), Names{});
}

TEST_F(cZipTest, BasePathBecomesTheCurrentFolder) {
  std::string sub = folder / "src\\sub";
  zip.BasePath(sub);
  Add({"three.txt"});
  EXPECT_EQ(CurrentFolder(), sub);
  EXPECT_EQ(Stored(), Names{"three.txt"});
}

TEST_F(cZipTest, BasePathOnAnotherDriveLeavesTheCurrentDrive) {
  ASSERT_EQ(toupper(folder.Path()[0]), 'C');
  ASSERT_TRUE(SetCurrentDirectoryA("Z:\\"));
  zip.BasePath(folder / "src");
  Add({folder / "src\\one.txt"});
  EXPECT_EQ(Stored(), Names{"one.txt"});
  EXPECT_EQ(CurrentFolder(), "Z:\\");
  // The base folder is now drive C:'s current folder.
  char full[MAX_PATH + 1] = {};
  GetFullPathNameA("C:one.txt", sizeof full, full, nullptr);
  EXPECT_EQ(std::string(full), folder / "src\\one.txt");
}

TEST_F(cZipTest, BlankBasePathLeavesTheCurrentFolder) {
  zip.BasePath("   ");
  zip.StoreFolderNames(true);
  Add({"src\\one.txt"});
  EXPECT_EQ(CurrentFolder(), folder.Path());
  EXPECT_EQ(Stored(), Names{"src/one.txt"});
}

TEST_F(cZipTest, MissingBasePathIsPathNotFoundAndCallsNoEngine) {
  for (auto run : {&cZip::Zip, &cZip::Delete}) {
    zip.BasePath(folder / "no such folder");
    zip.ClearFileSpecs();
    zip.AddFileSpec("src\\one.txt");
    std::string source;
    EXPECT_EQ(test::ErrorNumber([&] { (zip.*run)(); }, &source), 76);
    EXPECT_EQ(source, "cZip_test.mZip");
    EXPECT_FALSE(FileExists(archive));
    EXPECT_TRUE(events.messages.empty());
    EXPECT_EQ(CurrentFolder(), folder.Path());
  }
  // The object is still usable, and the failed Delete left it adding.
  zip.BasePath(folder.Path());
  zip.Zip();
  EXPECT_EQ(Stored(), Names{"one.txt"});
}

TEST_F(cZipTest, DeleteRemovesExactlyTheNamedEntries) {
  zip.BasePath(folder.Path());
  Add({"src\\one.txt", "src\\two.txt", "src\\a[1].txt", "src\\a1.txt"});
  zip.ClearFileSpecs();
  zip.AddFileSpec("one.txt");
  zip.AddFileSpec("a[1].txt");
  zip.Delete();
  EXPECT_EQ(zip.LastResult(), 0) << zip.LastMessage();
  EXPECT_EQ(Stored(), (Names{"a1.txt", "two.txt"}));
  // The delete flag is off again: the next run adds.
  Add({"src\\one.txt"});
  EXPECT_EQ(Stored(), (Names{"a1.txt", "one.txt", "two.txt"}));
}

TEST_F(cZipTest, FailedDeleteStillLeavesTheBuilderAdding) {
  zip.BasePath(folder.Path());
  zip.AddFileSpec("one.txt");
  zip.Delete();  // no archive yet
  EXPECT_NE(zip.LastResult(), 0);
  EXPECT_NE(zip.LastMessage(), "");
  EXPECT_FALSE(FileExists(archive));
  Add({"src\\one.txt"});
  EXPECT_EQ(zip.LastResult(), 0);
  EXPECT_EQ(Stored(), Names{"one.txt"});
}

TEST_F(cZipTest, ProgressShowsBackslashes) {
  zip.BasePath(folder.Path());
  zip.StoreFolderNames(true);
  Add({"src\\sub\\three.txt"});
  ASSERT_EQ(events.messages.size(), 1u);
  EXPECT_NE(events.messages[0].find("src\\sub\\three.txt"), std::string::npos)
      << events.messages[0];
  EXPECT_EQ(events.messages[0].find('/'), std::string::npos);
  // Cancel gets the stored name as the engine gives it.
  EXPECT_EQ(events.cancels, Names{"src/sub/three.txt"});
}

TEST_F(cZipTest, ProgressGetsOnlyMessagesShorterThan32000Bytes) {
  // Names that match no file come back in a message line each.
  std::string shortName = std::string(31900, 'S'), longName = std::string(32100, 'L');
  Add({shortName, longName});
  EXPECT_NE(zip.LastResult(), 0);
  int withShort = 0;
  for (const std::string& message : events.messages) {
    EXPECT_LT(message.size(), 32000u);
    EXPECT_EQ(message.find(std::string(200, 'L')), std::string::npos);
    withShort += message.find(shortName) != std::string::npos;
  }
  EXPECT_EQ(withShort, 1);
}

TEST_F(cZipTest, CancelStopsTheRunAndKeepsTheArchive) {
  zip.BasePath(folder.Path());
  Add({"src\\one.txt"});
  std::string before = ReadFileText(archive);
  events.cancelAll = true;
  Add({"src\\two.txt"});
  EXPECT_EQ(zip.LastResult(), ZE_ABORTED);
  EXPECT_EQ(ReadFileText(archive), before);
}

TEST_F(cZipTest, EncryptAsksForThePassword) {
  zip.BasePath(folder.Path());
  zip.Encrypt(true);
  events.password = "   ";
  Add({"src\\one.txt", "src\\two.txt"});
  EXPECT_EQ(events.passwordPrompts, 1);
  EXPECT_NE(zip.LastResult(), 0);
  EXPECT_FALSE(FileExists(archive));

  events.password = " secret ";
  Add({"src\\one.txt", "src\\two.txt"});
  EXPECT_EQ(events.passwordPrompts, 2);  // asked again in the next run
  EXPECT_EQ(zip.LastResult(), 0) << zip.LastMessage();

  // The entries open with the password, blanks removed.
  class Answer : public cUnzipEvents {
    void PasswordRequest(std::string& sPassword, bool&) override { sPassword = "secret"; }
  } answer;
  cUnzip unzip;
  unzip.ZipFile(archive);
  unzip.Directory();
  ASSERT_EQ(unzip.FileCount(), 2);
  EXPECT_TRUE(unzip.FileEncrypted(1));
  EXPECT_TRUE(unzip.FileEncrypted(2));
  TempFolder out;
  ExtractArchive(out, &answer);
  EXPECT_EQ(ReadFileText(out / "two.txt"), "src\\two.txt");
}

TEST_F(cZipTest, OverOneThousandTwentyTwoSpecifications) {
  for (int i = 0; i < 1100; ++i) WriteFileText(folder / ("many\\" + std::to_string(i)), "x");
  zip.BasePath(folder.Path());
  zip.MessageLevel(1);
  zip.ClearFileSpecs();
  for (int i = 0; i < 1100; ++i) zip.AddFileSpec("many\\" + std::to_string(i));
  zip.Zip();
  EXPECT_EQ(zip.LastResult(), 0) << zip.LastMessage();
  EXPECT_EQ(ArchiveNames(archive).size(), 1100u);
  EXPECT_EQ(zip.FileSpecCount(), 1100);
}

TEST_F(cZipTest, HundredsOfRunsLeakNoHandlesOrThreads) {
  zip.BasePath(folder.Path());
  zip.AddFileSpec("src\\one.txt");
  for (int i = 0; i < 5; ++i) zip.Zip();
  DWORD handles = test::HandleCount(), threads = test::ThreadCount();
  ASSERT_GT(handles, 0u);
  ASSERT_GT(threads, 0u);
  for (int i = 0; i < 200; ++i) zip.Zip();
  EXPECT_EQ(zip.LastResult(), 0);
  EXPECT_LE(test::HandleCount(), handles + 2);
  EXPECT_EQ(test::ThreadCount(), threads);
  EXPECT_EQ(GetModuleHandleA("cvzip.dll"), nullptr);
}

}  // namespace
}  // namespace corvane
