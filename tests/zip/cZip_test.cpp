#include "zip/cZip.h"

#include <gtest/gtest.h>

#include "EngineTesting.h"

namespace corvane {

// The option record the properties write.
struct cZipTestHelper {
  static const ZPOPT& Options(const cZip& zip) { return zip.m_tZPOPT; }
};

namespace {

using test::ArchiveNames;
using test::ReadFileText;
using test::Recorder;
using test::TempFolder;
using test::WriteFileText;
using Names = std::vector<std::string>;

std::string CurrentFolder() {
  std::string current(32768, '\0');
  current.resize(GetCurrentDirectoryA(static_cast<DWORD>(current.size()), current.data()));
  return current;
}

// Files under a temporary folder, which is also the current folder during each test.
class cZipTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"src\\one.txt", "src\\two.txt", "src\\sub\\three.txt",
                             "src\\sub\\deeper\\four.txt", "src\\a[1].txt", "src\\a1.txt"}) {
      WriteFileText(folder / name, name);
    }
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));
    zip.ZipFile(archive);
    zip.Listener(&events);
    zip.BasePath(folder.Path());
  }
  void TearDown() override { SetCurrentDirectoryA(m_previous.c_str()); }

  void Add(const Names& specs) {
    zip.ClearFileSpecs();
    for (const std::string& name : specs) zip.AddFileSpec(name);
    zip.Zip();
  }

  std::string m_previous = CurrentFolder();
  TempFolder folder;
  std::string archive = folder / "out.zip";
  cZip zip;
  Recorder events;
};

TEST_F(cZipTest, EachOptionWritesItsFieldOfTheOptionRecord) {
  // Stored values for false and for true; a new builder holds the false ones.
  const struct {
    const char* name;
    void (cZip::*set)(bool);
    int ZPOPT::*field;
    int off, on;
  } options[] = {
      {"Encrypt", &cZip::Encrypt, &ZPOPT::fEncrypt, 0, 1},
      {"IncludeSystemAndHiddenFiles", &cZip::IncludeSystemAndHiddenFiles, &ZPOPT::fSystem, 0, 1},
      {"StoreVolumeLabel", &cZip::StoreVolumeLabel, &ZPOPT::fVolume, 0, 1},
      {"StoreDirectories", &cZip::StoreDirectories, &ZPOPT::fNoDirEntries, 1, 0},
      {"StoreFolderNames", &cZip::StoreFolderNames, &ZPOPT::fJunkDir, 1, 0},
      {"RecurseSubDirs", &cZip::RecurseSubDirs, &ZPOPT::fRecurse, 0, 2},
      {"UpdateOnlyIfNewer", &cZip::UpdateOnlyIfNewer, &ZPOPT::fUpdate, 0, 1},
      {"FreshenFiles", &cZip::FreshenFiles, &ZPOPT::fFreshen, 0, 1},
      {"ConvertCRLFToLF", &cZip::ConvertCRLFToLF, &ZPOPT::fCRLF_LF, 0, 1},
      {"ConvertLFToCRLF", &cZip::ConvertLFToCRLF, &ZPOPT::fLF_CRLF, 0, 1},
      {"AllowAppend", &cZip::AllowAppend, &ZPOPT::fGrow, 0, 1},
  };
  for (const auto& option : options) {
    cZip fresh;
    const ZPOPT& record = cZipTestHelper::Options(fresh);
    EXPECT_EQ(record.*option.field, option.off) << option.name;
    (fresh.*option.set)(true);
    EXPECT_EQ(record.*option.field, option.on) << option.name;
    int changed = 0;
    for (const auto& other : options) changed += record.*other.field != other.off;
    EXPECT_EQ(changed, 1) << option.name << " wrote another field too";
    (fresh.*option.set)(false);
    EXPECT_EQ(record.*option.field, option.off) << option.name;
  }
  cZip fresh;
  EXPECT_FALSE(fresh.StoreDirectories() || fresh.StoreFolderNames() || fresh.RecurseSubDirs());
  fresh.RecurseSubDirs(true);
  fresh.Encrypt(true);
  EXPECT_TRUE(fresh.RecurseSubDirs() && fresh.Encrpyt());
  // MessageLevel: 0 verbose, 1 quiet, 2 neither; other values change nothing.
  const struct {
    int32_t level, verbose, quiet, reads;
  } levels[] = {{0, 1, 0, 0}, {5, 1, 0, 0}, {1, 0, 1, 1}, {-1, 0, 1, 1}, {2, 0, 0, 2}};
  for (const auto& l : levels) {
    fresh.MessageLevel(l.level);
    const ZPOPT& record = cZipTestHelper::Options(fresh);
    EXPECT_EQ(std::vector<int>({record.fVerbose, record.fQuiet, fresh.MessageLevel()}),
              std::vector<int>({l.verbose, l.quiet, l.reads}))
        << "level " << l.level;
  }
}

TEST_F(cZipTest, FileSpecsBasePathAndOptionsDecideTheStoredNames) {
  const struct {
    const char* name;
    std::function<void(cZip&)> setUp;
    Names specs;
    Names stored;
  } cases[] = {
      {"file names only", [](cZip&) {}, {"src\\sub\\three.txt", "src\\one.txt"},
       {"one.txt", "three.txt"}},
      {"folder names below the base path", [](cZip& z) { z.StoreFolderNames(true); },
       {"<folder>\\src\\sub\\three.txt"}, {"src/sub/three.txt"}},
      {"folder descended with its entries",
       [](cZip& z) {
         z.StoreFolderNames(true);
         z.RecurseSubDirs(true);
         z.StoreDirectories(true);
       },
       {"src\\sub"}, {"src/sub/", "src/sub/deeper/", "src/sub/deeper/four.txt", "src/sub/three.txt"}},
      {"relative to the base path as current folder",
       [](cZip& z) { z.BasePath(z.BasePath() + "\\src\\sub"); }, {"three.txt"}, {"three.txt"}},
      {"blank base path leaves the current folder",
       [](cZip& z) {
         z.BasePath("   ");
         z.StoreFolderNames(true);
       },
       {"src\\one.txt"}, {"src/one.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetCurrentDirectoryA(folder.Path().c_str());
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
    EXPECT_EQ(ArchiveNames(archive), c.stored) << fresh.LastMessage();
    EXPECT_EQ(fresh.FileSpecCount(), static_cast<int32_t>(c.specs.size()));  // kept after the run
  }
  EXPECT_EQ(CurrentFolder(), folder.Path());

  // A base path on another drive becomes that drive's current folder; the current drive stays.
  ASSERT_TRUE(SetCurrentDirectoryA("Z:\\"));
  zip.BasePath(folder / "src");
  Add({folder / "src\\one.txt"});
  EXPECT_EQ(CurrentFolder(), "Z:\\");
  char full[MAX_PATH + 1] = {};
  GetFullPathNameA((folder.Path().substr(0, 2) + "one.txt").c_str(), sizeof full, full, nullptr);
  EXPECT_EQ(std::string(full), folder / "src\\one.txt");

  // No fixed limit on the number of specifications.
  for (int i = 0; i < 1100; ++i) WriteFileText(folder / ("many\\" + std::to_string(i)), "x");
  DeleteFileA(archive.c_str());
  zip.BasePath(folder.Path());
  zip.MessageLevel(1);
  zip.ClearFileSpecs();
  for (int i = 0; i < 1100; ++i) zip.AddFileSpec(folder / ("many\\" + std::to_string(i)));
  zip.Zip();
  EXPECT_EQ(zip.LastResult(), 0) << zip.LastMessage();
  EXPECT_EQ(ArchiveNames(archive).size(), 1100u);
}

TEST_F(cZipTest, FileSpecIndexOutsideTheListIsSubscriptOutOfRange) {
  zip.AddFileSpec("a");
  EXPECT_EQ(zip.FileSpec(1), "a");
  for (int32_t index : {0, 2}) {
    std::string source;
    EXPECT_EQ(test::ErrorNumber([&] { zip.FileSpec(index); }, &source), 9) << index;
    EXPECT_EQ(source, "cZip_test.cZip");
  }
}

TEST_F(cZipTest, DeleteRemovesExactlyTheNamedEntriesAndTurnsItsFlagOffAgain) {
  zip.Delete();  // no archive yet: fails, and still leaves the builder adding
  EXPECT_NE(zip.LastResult(), 0);
  EXPECT_NE(zip.LastMessage(), "");
  Add({"src\\one.txt", "src\\two.txt", "src\\a[1].txt", "src\\a1.txt"});
  zip.ClearFileSpecs();
  zip.AddFileSpec("one.txt");
  zip.AddFileSpec("a[1].txt");
  zip.Delete();
  EXPECT_EQ(zip.LastResult(), 0) << zip.LastMessage();
  EXPECT_EQ(ArchiveNames(archive), (Names{"a1.txt", "two.txt"}));
  EXPECT_EQ(cZipTestHelper::Options(zip).fDeleteEntries, 0);
  // A Delete that raised turns it off too.
  zip.BasePath(folder / "no such folder");
  EXPECT_EQ(test::ErrorNumber([&] { zip.Delete(); }), 76);
  EXPECT_EQ(cZipTestHelper::Options(zip).fDeleteEntries, 0);
}

// A stop leaves the archive byte for byte as it was, and no temporary file beside it.
TEST_F(cZipTest, CancelKeepsTheArchiveAndLeavesNoTemporaryFile) {
  zip.StoreFolderNames(true);
  Add({"src\\sub\\three.txt", "src\\one.txt"});
  std::string before = ReadFileText(archive);
  ASSERT_FALSE(events.messages.empty());
  EXPECT_NE(events.messages[0].find("src\\sub\\three.txt"), std::string::npos);
  EXPECT_EQ(events.cancels[0], "src/sub/three.txt");  // the stored name, as the engine gives it
  for (auto run : {&cZip::Zip, &cZip::Delete}) {
    events.cancelAll = true;
    zip.ClearFileSpecs();
    zip.AddFileSpec(run == &cZip::Zip ? "src\\two.txt" : "src/one.txt");
    (zip.*run)();
    EXPECT_EQ(zip.LastResult(), ZE_ABORTED);
    EXPECT_EQ(ReadFileText(archive), before);
    EXPECT_EQ(test::FilesUnder(folder.Path()).count("out.zip"), 1u);
    for (const std::string& file : test::FilesUnder(folder.Path())) {
      EXPECT_EQ(file.rfind("src\\", 0) == 0 || file == "out.zip", true) << file;
    }
  }
  EXPECT_FALSE(events.otherThread);
}

TEST_F(cZipTest, EncryptAsksForThePasswordAndUnzipReadsIt) {
  zip.Encrypt(true);
  events.password = "   ";
  Add({"src\\one.txt", "src\\two.txt"});
  EXPECT_EQ(events.passwordPrompts, 1);  // refused once for the whole run
  EXPECT_NE(zip.LastResult(), 0);
  EXPECT_EQ(ReadFileText(archive), "<missing>");

  events.password = " secret ";
  Add({"src\\one.txt", "src\\two.txt"});
  EXPECT_EQ(events.passwordPrompts, 2);  // asked again in the next run
  EXPECT_EQ(zip.LastResult(), 0) << zip.LastMessage();

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
