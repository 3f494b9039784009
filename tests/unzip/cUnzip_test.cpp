#include "unzip/cUnzip.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "EngineTesting.h"

namespace corvane {

// The option record the properties write.
struct cUnzipTestHelper {
  static const DCL& Options(const cUnzip& unzip) { return unzip.m_tDCL; }
};

namespace {

using test::FilesUnder;
using test::ReadFileText;
using test::Recorder;
using test::TempFolder;
using test::TestArchive;
using test::WriteFileText;

// One line of make_archives.py's .expected files: what Python's zipfile reads in the archive.
struct Expected {
  std::string name;
  int64_t size, compressed;
  uint32_t crc;
  std::string method;
  DateTime date;
  bool encrypted;
};

std::vector<Expected> ExpectedFiles(const std::string& archive) {
  std::ifstream in(TestArchive(archive + ".expected"));
  std::vector<Expected> entries;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Expected e;
    std::getline(fields, e.name, '\t');
    fields >> e.size >> e.compressed >> e.crc >> e.method >> e.date.year >> e.date.month >>
        e.date.day >> e.date.hour >> e.date.minute >> e.encrypted;
    if (e.name.back() != '/') entries.push_back(e);  // folder entries are not listed
  }
  return entries;
}

class cUnzipTest : public testing::Test {
 protected:
  void List(const std::string& archive) {
    unzip.ZipFile(TestArchive(archive));
    ASSERT_EQ(unzip.Directory(), 0);
  }
  // Selects exactly the entries with these stored names.
  void SelectOnly(const std::vector<std::string>& storedNames) {
    for (int32_t i = 1; i <= unzip.FileCount(); ++i) {
      unzip.FileSelected(i, std::find(storedNames.begin(), storedNames.end(),
                                      unzip.FileStoredName(i)) != storedNames.end());
    }
  }
  std::set<std::string> Extract(const TempFolder& folder) {
    unzip.UnzipFolder(folder.Path());
    unzip.Unzip();
    return FilesUnder(folder.Path());
  }

  cUnzip unzip;
  Recorder events;
};

TEST_F(cUnzipTest, EachOptionWritesItsFieldOfTheOptionRecord) {
  const struct {
    const char* name;
    void (cUnzip::*set)(bool);
    bool (cUnzip::*get)() const;
    int DCL::*field;
  } options[] = {
      {"ExtractOnlyNewer", &cUnzip::ExtractOnlyNewer, &cUnzip::ExtractOnlyNewer,
       &DCL::ExtractOnlyNewer},
      {"SpaceToUnderScore", &cUnzip::SpaceToUnderScore, &cUnzip::SpaceToUnderScore,
       &DCL::SpaceToUnderscore},
      {"PromptToOverwrite", &cUnzip::PromptToOverwrite, &cUnzip::PromptToOverwrite,
       &DCL::PromptToOverwrite},
      {"TestZip", &cUnzip::TestZip, &cUnzip::TestZip, &DCL::ntflag},
      {"UseFolderNames", &cUnzip::UseFolderNames, &cUnzip::UseFolderNames, &DCL::ndflag},
      {"OverwriteExisting", &cUnzip::OverwriteExisting, &cUnzip::OverwriteExisting, &DCL::noflag},
      {"ConvertCRToCRLF", &cUnzip::ConvertCRToCRLF, &cUnzip::ConvertCRToCRLF, &DCL::naflag},
      {"CaseSensitiveFileNames", &cUnzip::CaseSensitiveFileNames, &cUnzip::CaseSensitiveFileNames,
       &DCL::C_flag},
  };
  for (const auto& option : options) {
    cUnzip fresh;
    const DCL& dcl = cUnzipTestHelper::Options(fresh);
    EXPECT_FALSE((fresh.*option.get)()) << option.name;
    (fresh.*option.set)(true);
    EXPECT_EQ(dcl.*option.field, 1) << option.name;
    EXPECT_TRUE((fresh.*option.get)()) << option.name;
    int set = 0;
    for (const auto& other : options) set += dcl.*other.field;
    EXPECT_EQ(set, 1) << option.name << " wrote another field too";
    (fresh.*option.set)(false);
    EXPECT_EQ(dcl.*option.field, 0) << option.name;
  }
  unzip.MessageLevel(2);
  EXPECT_EQ(cUnzipTestHelper::Options(unzip).fQuiet, 2);
  EXPECT_EQ(unzip.MessageLevel(), 2);
}

// Values of a listing come from the engine's callback: here against what Python's zipfile reads.
TEST_F(cUnzipTest, ListingFillsTheCatalogue) {
  unzip.Listener(&events);
  for (const char* archive : {"catalogue.zip", "encrypted.zip"}) {
    SCOPED_TRACE(archive);
    List(archive);
    std::vector<Expected> expected = ExpectedFiles(archive);
    ASSERT_EQ(unzip.FileCount(), static_cast<int32_t>(expected.size()));
    for (int32_t i = 1; i <= unzip.FileCount(); ++i) {
      const Expected& e = expected[i - 1];
      SCOPED_TRACE(e.name);
      EXPECT_EQ(unzip.FileStoredName(i), e.name);
      EXPECT_EQ(unzip.FileSize(i), e.size);
      int32_t ratio = e.size ? static_cast<int32_t>((e.compressed * 100 + e.size - 1) / e.size) : 0;
      EXPECT_EQ(unzip.FileCompressionRatio(i), ratio);
      EXPECT_EQ(unzip.FilePackedSize(i), e.size * ratio / 100);
      EXPECT_EQ(unzip.FileCompressionMethod(i), e.method);
      EXPECT_EQ(unzip.FileCRC(i), e.crc);
      EXPECT_EQ(unzip.FileDate(i), e.date);
      EXPECT_EQ(unzip.FileEncrypted(i), e.encrypted);
      EXPECT_TRUE(unzip.FileSelected(i));
    }
  }
  // The stored name split into folder and file name.
  const struct {
    const char* stored;
    const char* folder;
    const char* file;
  } names[] = {{"readme.txt", "", "readme.txt"},         {"a/b/c.txt", "a\\b", "c.txt"},
               {"/rooted.txt", "", "rooted.txt"},        {"back\\slash.txt", "", "back\\slash.txt"},
               {"Zoë 日本.txt", "", "Zoë 日本.txt"}};
  List("catalogue.zip");
  for (const auto& name : names) {
    SelectOnly({name.stored});
    int32_t i = 1;
    while (i <= unzip.FileCount() && !unzip.FileSelected(i)) ++i;
    ASSERT_LE(i, unzip.FileCount()) << name.stored;
    EXPECT_EQ(unzip.FileDirectory(i), name.folder) << name.stored;
    EXPECT_EQ(unzip.Filename(i), name.file) << name.stored;
  }
  // Listing again without naming the archive appends; naming it empties the catalogue.
  int32_t count = unzip.FileCount();
  unzip.Directory();
  EXPECT_EQ(unzip.FileCount(), 2 * count);
  unzip.ZipFile(unzip.ZipFile());
  EXPECT_EQ(unzip.FileCount(), 0);
  EXPECT_FALSE(events.otherThread);
}

TEST_F(cUnzipTest, SelectionDecidesTheIncludeList) {
  const std::set<std::string> all = {
      "plain.txt", "with space.txt", "Zoë 日本.txt", "nested\\deeper\\ünï.txt", "nested\\top.txt",
      "a[1].txt",  "a1.txt",         "a_.txt",       "ab.txt", "back\\slash.txt", "text.txt"};
  const struct {
    const char* name;
    std::vector<std::string> selected;  // "*": every entry
    std::set<std::string> files;
  } cases[] = {
      {"none selected", {}, all},
      {"all selected", {"*"}, all},
      {"exact names first", {"a[1].txt", "a*.txt"}, {"a[1].txt", "a_.txt"}},
      {"folder and non-ASCII",
       {"nested/deeper/ünï.txt", "Zoë 日本.txt"},
       {"nested\\deeper\\ünï.txt", "Zoë 日本.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    List("names.zip");
    if (c.selected != std::vector<std::string>{"*"}) SelectOnly(c.selected);
    unzip.UseFolderNames(true);
    EXPECT_EQ(Extract(folder), c.files);
    EXPECT_EQ(unzip.LastResult(), 0) << unzip.LastMessage();
  }
  // No fixed limit on the number of selected entries.
  TempFolder folder;
  List("many.zip");
  ASSERT_EQ(unzip.FileCount(), 1100);
  for (int32_t i = 1; i <= 1100; ++i) unzip.FileSelected(i, i <= 1050);
  std::set<std::string> files = Extract(folder);
  EXPECT_EQ(files.size(), 1050u) << unzip.LastMessage();
  EXPECT_TRUE(files.count("dir\\f1049.txt"));
}

TEST_F(cUnzipTest, MessagesReachProgressAndCancelWithBackslashesBelow32000Bytes) {
  unzip.Listener(&events);
  List("long-names.zip");
  ASSERT_EQ(unzip.FileCount(), 2);
  EXPECT_EQ(unzip.Filename(2).size(), 32104u);  // a stored name is kept whole
  unzip.TestZip(true);
  TempFolder folder;
  Extract(folder);
  std::string shortName = "S" + std::string(31899, 'S') + ".txt";
  EXPECT_EQ(events.cancels, std::vector<std::string>{shortName});
  for (const std::string& message : events.messages) EXPECT_LT(message.size(), 32000u);

  events.cancels.clear();
  events.messages.clear();
  List("names.zip");
  SelectOnly({"nested/deeper/ünï.txt"});
  unzip.TestZip(false);
  unzip.UseFolderNames(true);
  Extract(folder);
  EXPECT_EQ(events.cancels, std::vector<std::string>{"nested\\deeper\\ünï.txt"});
  ASSERT_FALSE(events.messages.empty());
  for (const std::string& message : events.messages) EXPECT_EQ(message.find('/'), std::string::npos);
  EXPECT_EQ(unzip.LastMessage(), events.messages.back());

  // Cancel stops the run.
  events.cancelAll = true;
  TempFolder none;
  List("four.zip");
  EXPECT_TRUE(Extract(none).empty());
  EXPECT_EQ(unzip.LastResult(), IZ_CTRLC);
  EXPECT_FALSE(events.otherThread);
}

TEST_F(cUnzipTest, OverwritePromptAnswersDecideWhichFilesAreReplaced) {
  const struct {
    const char* name;
    bool listening;
    std::deque<int32_t> answers;
    int prompts;
    std::string contents;  // f1..f4: 'o' old, 'n' new
  } cases[] = {
      {"no listener", false, {}, 0, "oooo"},
      {"overwrite some", true, {102, 100, 102, 100}, 4, "nono"},
      {"overwrite all from the second", true, {100, 103}, 2, "onnn"},
      {"overwrite none from the second", true, {102, 104}, 2, "nooo"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    for (int i = 1; i <= 4; ++i) WriteFileText(folder / ("f" + std::to_string(i) + ".txt"), "old");
    Recorder recorder;
    recorder.responses = c.answers;
    cUnzip fresh;
    if (c.listening) fresh.Listener(&recorder);
    fresh.PromptToOverwrite(true);
    fresh.ZipFile(TestArchive("four.zip"));
    fresh.Directory();
    fresh.UnzipFolder(folder.Path());
    fresh.Unzip();
    EXPECT_EQ(static_cast<int>(recorder.prompts.size()), c.prompts);
    if (c.prompts) EXPECT_EQ(recorder.prompts[0], "f1.txt=100");
    for (int i = 1; i <= 4; ++i) {
      std::string expected = c.contents[i - 1] == 'n' ? "new " + std::to_string(i) : "old";
      EXPECT_EQ(ReadFileText(folder / ("f" + std::to_string(i) + ".txt")), expected) << i;
    }
  }
}

TEST_F(cUnzipTest, PasswordAnswers) {
  const struct {
    const char* name;
    bool listening;
    std::string password;
    bool cancel;
    int prompts;
    bool decrypted;
  } cases[] = {
      {"blanks around it dropped", true, "  secret  ", false, 1, true},
      {"blank refuses", true, "   ", false, 1, false},
      {"cancel refuses", true, "secret", true, 1, false},
      {"nobody listening", false, "", false, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    Recorder recorder;
    recorder.password = c.password;
    recorder.cancelPassword = c.cancel;
    cUnzip fresh;
    if (c.listening) fresh.Listener(&recorder);
    fresh.ZipFile(TestArchive("encrypted.zip"));
    fresh.Directory();
    fresh.UnzipFolder(folder.Path());
    fresh.Unzip();
    // A refusal holds for the rest of the run: two encrypted entries, one question.
    EXPECT_EQ(recorder.passwordPrompts, c.prompts);
    EXPECT_EQ(ReadFileText(folder / "plain.txt"), "not secret\n");
    EXPECT_EQ(ReadFileText(folder / "two.txt"), c.decrypted ? "second secret\n" : "<missing>");
    if (!c.decrypted) {
      EXPECT_TRUE(fresh.Unzip());  // the next run asks again
      EXPECT_EQ(recorder.passwordPrompts, 2 * c.prompts);
    }
  }
}

TEST_F(cUnzipTest, IndexOutsideTheCatalogueAndVersion) {
  List("four.zip");
  for (int32_t index : {0, -1, 5}) {
    std::string source;
    EXPECT_EQ(test::ErrorNumber([&] { unzip.Filename(index); }, &source), 9) << index;
    EXPECT_EQ(source, "cUnzip_test.cUnzip");
    EXPECT_EQ(test::ErrorNumber([&] { unzip.FileSelected(index, true); }), 9) << index;
  }
  unzip.ZipFile("");
  EXPECT_FALSE(unzip.Unzip());  // nothing named: the engine is not called
  EXPECT_EQ(unzip.LastResult(), 0);

  int32_t major = -1, minor = -1, revision = -1;
  DateTime date{1999, 1, 2, 3, 4, 5};
  std::string extra = "unchanged?";
  unzip.GetVersion(major, minor, revision, date, extra);
  EXPECT_EQ(std::vector<int32_t>({major, minor, revision}), std::vector<int32_t>({1, 0, 0}));
  EXPECT_EQ(extra, std::string(10, ' '));
  EXPECT_EQ(date, (DateTime{1999, 1, 2, 3, 4, 5}));
}

// Every crafted archive of the engine tests, hostile ones included, goes through the listing
// callback and an extraction on Windows without harm: nothing lands beside the target folder.
TEST_F(cUnzipTest, CraftedArchivesListAndExtractSafely) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(TestArchive("crafted\\*.zip").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  int archives = 0;
  do {
    SCOPED_TRACE(data.cFileName);
    ++archives;
    TempFolder parent;
    cUnzip fresh;
    fresh.ZipFile(TestArchive(std::string("crafted\\") + data.cFileName));
    fresh.Directory();
    for (int32_t i = 1; i <= fresh.FileCount(); ++i) EXPECT_NE(fresh.Filename(i), "");
    fresh.UseFolderNames(true);
    fresh.UnzipFolder(parent / "target");
    fresh.Unzip();
    for (const std::string& file : FilesUnder(parent.Path())) {
      EXPECT_EQ(file.rfind("target\\", 0), 0u) << file;
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
  EXPECT_GT(archives, 10);
}

}  // namespace
}  // namespace corvane
