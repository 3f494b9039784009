#include "unzip/cUnzip.h"

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <sstream>

#include "EngineTestSupport.h"

namespace corvane {
namespace {

using test::FilesUnder;
using test::ReadFileText;
using test::TempFolder;
using test::TestArchive;
using test::WriteFileText;

// Records every event and answers the prompts from queues.
class Recorder : public cUnzipEvents {
 public:
  void Cancel(const std::string& sMsg, bool& bCancel) override {
    cancels.push_back(sMsg);
    bCancel = cancelAll;
  }
  void OverWritePrompt(const std::string& sFile, int32_t& eResponse) override {
    prompts.push_back(sFile + "=" + std::to_string(eResponse));
    if (!responses.empty()) {
      eResponse = responses.front();
      responses.pop_front();
    }
  }
  void PasswordRequest(std::string& sPassword, bool& bCancel) override {
    passwordPrompts.push_back(sPassword + (bCancel ? "/cancel" : ""));
    sPassword = password;
    bCancel = cancelPassword;
  }
  void Progress(int32_t lCount, const std::string& sMsg) override {
    EXPECT_EQ(lCount, 1);
    messages.push_back(sMsg);
  }

  std::deque<int32_t> responses;
  std::string password;
  bool cancelPassword = false;
  bool cancelAll = false;
  std::vector<std::string> cancels, prompts, passwordPrompts, messages;
};

// One line of make_archives.py's .expected files: what Python's zipfile reads in the archive.
struct Expected {
  std::string name;
  int64_t size, compressed;
  uint32_t crc;
  std::string method;
  DateTime date;
  bool encrypted;
};

std::vector<Expected> ExpectedEntries(const std::string& archive) {
  std::ifstream in(TestArchive(archive + ".expected"));
  std::vector<Expected> entries;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Expected e;
    std::string number;
    std::getline(fields, e.name, '\t');
    fields >> e.size >> e.compressed >> e.crc >> e.method >> e.date.year >> e.date.month >>
        e.date.day >> e.date.hour >> e.date.minute >> e.encrypted;
    entries.push_back(e);
  }
  return entries;
}

class cUnzipTest : public testing::Test {
 protected:
  void List(const std::string& archive) {
    unzip.ZipFile(TestArchive(archive));
    ASSERT_EQ(unzip.Directory(), 0);
  }
  int32_t IndexOf(const std::string& storedName) {
    for (int32_t i = 1; i <= unzip.FileCount(); ++i) {
      if (unzip.FileStoredName(i) == storedName) return i;
    }
    ADD_FAILURE() << "no entry " << storedName;
    return 0;
  }
  void SelectOnly(const std::vector<std::string>& storedNames) {
    for (int32_t i = 1; i <= unzip.FileCount(); ++i) unzip.FileSelected(i, false);
    for (const std::string& name : storedNames) unzip.FileSelected(IndexOf(name), true);
  }
  // Extracts into the test's folder and returns the files that landed there.
  std::set<std::string> Extract() {
    unzip.UnzipFolder(target.Path());
    unzip.Unzip();
    return FilesUnder(target.Path());
  }

  cUnzip unzip;
  Recorder events;
  TempFolder target;
};

TEST_F(cUnzipTest, ListsEveryFileWithTheValuesOfTheArchive) {
  List("catalogue.zip");
  std::vector<Expected> expected;
  for (const Expected& e : ExpectedEntries("catalogue.zip")) {
    if (e.name.back() != '/') expected.push_back(e);
  }
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
  EXPECT_EQ(unzip.LastResult(), 0);
}

TEST_F(cUnzipTest, SplitsStoredNamesIntoFolderAndFileName) {
  List("catalogue.zip");
  struct Case {
    const char* stored;
    const char* folder;
    const char* file;
  } cases[] = {
      {"readme.txt", "", "readme.txt"},
      {"docs/guide.txt", "docs", "guide.txt"},
      {"a/b/c.txt", "a\\b", "c.txt"},
      {"/rooted.txt", "", "rooted.txt"},
      {"back\\slash.txt", "", "back\\slash.txt"},
      {"Zoë 日本.txt", "", "Zoë 日本.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    int32_t i = IndexOf(c.stored);
    ASSERT_NE(i, 0);
    EXPECT_EQ(unzip.FileDirectory(i), c.folder);
    EXPECT_EQ(unzip.Filename(i), c.file);
  }
}

TEST_F(cUnzipTest, ListsEncryptedEntries) {
  List("encrypted.zip");
  std::vector<Expected> expected = ExpectedEntries("encrypted.zip");
  ASSERT_EQ(unzip.FileCount(), 3);
  for (int32_t i = 1; i <= 3; ++i) {
    EXPECT_EQ(unzip.Filename(i), expected[i - 1].name);
    EXPECT_EQ(unzip.FileEncrypted(i), expected[i - 1].encrypted) << expected[i - 1].name;
    EXPECT_EQ(unzip.FileCRC(i), expected[i - 1].crc);
    EXPECT_EQ(unzip.FileDate(i), expected[i - 1].date);
  }
}

TEST_F(cUnzipTest, ListingTwiceDoublesTheCatalogueAndSettingZipFileEmptiesIt) {
  List("four.zip");
  ASSERT_EQ(unzip.FileCount(), 4);
  unzip.Directory();
  ASSERT_EQ(unzip.FileCount(), 8);
  EXPECT_EQ(unzip.Filename(5), "f1.txt");
  unzip.ZipFile(unzip.ZipFile());
  EXPECT_EQ(unzip.FileCount(), 0);
}

TEST_F(cUnzipTest, IndexOutsideTheCatalogueIsSubscriptOutOfRange) {
  List("four.zip");
  std::vector<std::function<void(int32_t)>> accessors = {
      [&](int32_t i) { unzip.Filename(i); },
      [&](int32_t i) { unzip.FileDirectory(i); },
      [&](int32_t i) { unzip.FileCompressionMethod(i); },
      [&](int32_t i) { unzip.FileStoredName(i); },
      [&](int32_t i) { unzip.FileSize(i); },
      [&](int32_t i) { unzip.FileCompressionRatio(i); },
      [&](int32_t i) { unzip.FileCRC(i); },
      [&](int32_t i) { unzip.FileDate(i); },
      [&](int32_t i) { unzip.FileEncrypted(i); },
      [&](int32_t i) { unzip.FileSelected(i); },
      [&](int32_t i) { unzip.FileSelected(i, true); },
      [&](int32_t i) { unzip.FilePackedSize(i); },
  };
  for (size_t a = 0; a < accessors.size(); ++a) {
    for (int32_t index : {0, -1, 5}) {
      std::string source;
      EXPECT_EQ(test::ErrorNumber([&] { accessors[a](index); }, &source), 9)
          << "accessor " << a << " index " << index;
      EXPECT_EQ(source, "cUnzip_test.cUnzip");
    }
    EXPECT_EQ(test::ErrorNumber([&] { accessors[a](4); }), 0) << "accessor " << a;
  }
}

TEST_F(cUnzipTest, MissingArchiveListsNothingAndKeepsTheEnginesAnswer) {
  unzip.ZipFile(target / "missing.zip");
  EXPECT_EQ(unzip.Directory(), 0);
  EXPECT_EQ(unzip.FileCount(), 0);
  EXPECT_EQ(unzip.LastResult(), PK_NOZIP);
  EXPECT_NE(unzip.LastMessage(), "");
}

TEST_F(cUnzipTest, GetVersionFillsTheEngineVersion) {
  int32_t major = -1, minor = -1, revision = -1;
  DateTime date{1999, 1, 2, 3, 4, 5};
  std::string extra = "unchanged?";
  unzip.GetVersion(major, minor, revision, date, extra);
  EXPECT_EQ(major, 1);
  EXPECT_EQ(minor, 0);
  EXPECT_EQ(revision, 0);
  EXPECT_EQ(extra, std::string(10, ' '));
  EXPECT_EQ(date, (DateTime{1999, 1, 2, 3, 4, 5}));
}

// Every crafted archive of the engine tests, hostile ones included, lists and extracts without
// harm: nothing lands beside the target folder, and every listed entry has a file name.
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
    EXPECT_EQ(fresh.Directory(), 0);
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

TEST_F(cUnzipTest, SelectionDecidesWhatIsExtracted) {
  const std::set<std::string> all = {
      "plain.txt",       "with space.txt",  "Zoë 日本.txt", "nested\\deeper\\ünï.txt",
      "nested\\top.txt", "a[1].txt",        "a1.txt",       "a_.txt",
      "ab.txt",          "back\\slash.txt", "text.txt"};
  struct Case {
    const char* name;
    std::vector<std::string> selected;  // "*" for every entry
    std::set<std::string> files;
  } cases[] = {
      {"none selected", {}, all},
      {"all selected", {"*"}, all},
      {"bracket", {"a[1].txt"}, {"a[1].txt"}},
      {"star", {"a*.txt"}, {"a_.txt"}},
      {"plain", {"a1.txt"}, {"a1.txt"}},
      {"nested and space",
       {"nested/deeper/ünï.txt", "with space.txt"},
       {"nested\\deeper\\ünï.txt", "with space.txt"}},
      {"non-ASCII", {"Zoë 日本.txt"}, {"Zoë 日本.txt"}},
      {"backslash in the name", {"back\\slash.txt"}, {"back\\slash.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    List("names.zip");
    if (c.selected != std::vector<std::string>{"*"}) SelectOnly(c.selected);
    unzip.UnzipFolder(folder.Path());
    unzip.UseFolderNames(true);
    EXPECT_FALSE(unzip.Unzip());
    EXPECT_EQ(unzip.LastResult(), 0) << unzip.LastMessage();
    EXPECT_EQ(FilesUnder(folder.Path()), c.files);
    for (int32_t i = 1; i <= unzip.FileCount(); ++i) {
      // Each entry holds its stored name: the file is the entry's own.
      std::string path = folder / (unzip.FileDirectory(i).empty()
                                       ? unzip.Filename(i)
                                       : unzip.FileDirectory(i) + "\\" + unzip.Filename(i));
      if (c.files.count(path.substr(folder.Path().size() + 1)) && unzip.Filename(i) != "text.txt") {
        EXPECT_EQ(ReadFileText(path), unzip.FileStoredName(i));
      }
    }
  }
}

TEST_F(cUnzipTest, OverOneThousandTwentyFourSelectedEntries) {
  List("many.zip");
  ASSERT_EQ(unzip.FileCount(), 1100);
  for (int32_t i = 1; i <= 1100; ++i) unzip.FileSelected(i, i <= 1050);
  unzip.UseFolderNames(true);
  std::set<std::string> files = Extract();
  EXPECT_EQ(unzip.LastResult(), 0) << unzip.LastMessage();
  EXPECT_EQ(files.size(), 1050u);
  EXPECT_TRUE(files.count("dir\\f1049.txt"));
  EXPECT_FALSE(files.count("dir\\f1050.txt"));
}

TEST_F(cUnzipTest, OptionsChangeWhatLandsOnDisk) {
  struct Case {
    const char* name;
    std::function<void(cUnzip&, const std::string& folder)> setUp;
    std::string selected;
    std::map<std::string, std::string> files;  // path -> content ("<missing>": not there)
  } cases[] = {
      {"folder names kept",
       [](cUnzip& u, const std::string&) { u.UseFolderNames(true); },
       "nested/deeper/ünï.txt",
       {{"nested\\deeper\\ünï.txt", "nested/deeper/ünï.txt"}, {"ünï.txt", "<missing>"}}},
      {"folder names dropped",
       [](cUnzip& u, const std::string&) { u.UseFolderNames(false); },
       "nested/deeper/ünï.txt",
       {{"ünï.txt", "nested/deeper/ünï.txt"}, {"nested\\deeper\\ünï.txt", "<missing>"}}},
      {"spaces to underscores",
       [](cUnzip& u, const std::string&) { u.SpaceToUnderScore(true); },
       "with space.txt",
       {{"with_space.txt", "with space.txt"}, {"with space.txt", "<missing>"}}},
      {"spaces kept",
       [](cUnzip&, const std::string&) {},
       "with space.txt",
       {{"with space.txt", "with space.txt"}}},
      {"test only",
       [](cUnzip& u, const std::string&) { u.TestZip(true); },
       "plain.txt",
       {{"plain.txt", "<missing>"}}},
      {"text converted",
       [](cUnzip& u, const std::string&) { u.ConvertCRToCRLF(true); },
       "text.txt",
       {{"text.txt", "one\r\ntwo\r\n"}}},
      {"text as stored",
       [](cUnzip&, const std::string&) {},
       "text.txt",
       {{"text.txt", "one\ntwo\n"}}},
      {"existing file kept",
       [](cUnzip&, const std::string& folder) { WriteFileText(folder + "\\plain.txt", "old"); },
       "plain.txt",
       {{"plain.txt", "old"}}},
      {"existing file overwritten",
       [](cUnzip& u, const std::string& folder) {
         WriteFileText(folder + "\\plain.txt", "old");
         u.OverwriteExisting(true);
       },
       "plain.txt",
       {{"plain.txt", "plain.txt"}}},
      {"only newer: newer file kept",
       [](cUnzip& u, const std::string& folder) {
         WriteFileText(folder + "\\plain.txt", "old");
         test::SetFileDate(folder + "\\plain.txt", 2030, 1, 1);
         u.OverwriteExisting(true);
         u.ExtractOnlyNewer(true);
       },
       "plain.txt",
       {{"plain.txt", "old"}}},
      {"only newer: older file replaced",
       [](cUnzip& u, const std::string& folder) {
         WriteFileText(folder + "\\plain.txt", "old");
         test::SetFileDate(folder + "\\plain.txt", 2000, 1, 1);
         u.OverwriteExisting(true);
         u.ExtractOnlyNewer(true);
       },
       "plain.txt",
       {{"plain.txt", "plain.txt"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cUnzip fresh;
    TempFolder folder;
    c.setUp(fresh, folder.Path());
    fresh.ZipFile(TestArchive("names.zip"));
    fresh.Directory();
    for (int32_t i = 1; i <= fresh.FileCount(); ++i) {
      fresh.FileSelected(i, fresh.FileStoredName(i) == c.selected);
    }
    fresh.UnzipFolder(folder.Path());
    fresh.Unzip();
    for (const auto& [path, content] : c.files) {
      EXPECT_EQ(ReadFileText(folder / path), content) << path;
    }
  }
}

TEST_F(cUnzipTest, MessageLevelDecidesWhichLinesReachProgress) {
  unzip.Listener(&events);
  List("four.zip");
  unzip.MessageLevel(0);
  Extract();
  EXPECT_EQ(events.messages.size(), 4u);
  EXPECT_NE(unzip.LastMessage(), "");
  events.messages.clear();

  TempFolder quiet;
  unzip.UnzipFolder(quiet.Path());
  unzip.MessageLevel(2);
  unzip.Unzip();
  EXPECT_EQ(events.messages.size(), 0u);
  EXPECT_EQ(FilesUnder(quiet.Path()).size(), 4u);
}

TEST_F(cUnzipTest, ProgressAndCancelGetBackslashesAndOnlyTextsUnder32000Bytes) {
  unzip.Listener(&events);
  List("long-names.zip");
  ASSERT_EQ(unzip.FileCount(), 2);
  EXPECT_EQ(unzip.Filename(2).size(), 32104u);  // kept whole
  unzip.TestZip(true);
  Extract();
  std::string shortName = "S" + std::string(31899, 'S') + ".txt";
  ASSERT_EQ(events.cancels.size(), 1u);
  EXPECT_EQ(events.cancels[0], shortName);
  int withShort = 0;
  for (const std::string& message : events.messages) {
    EXPECT_LT(message.size(), 32000u);
    EXPECT_EQ(message.find('L' + std::string(100, 'L')), std::string::npos);
    withShort += message.find(shortName) != std::string::npos;
  }
  EXPECT_EQ(withShort, 1);

  events.cancels.clear();
  events.messages.clear();
  List("names.zip");
  SelectOnly({"nested/deeper/ünï.txt"});
  unzip.TestZip(false);
  unzip.UseFolderNames(true);
  Extract();
  ASSERT_EQ(events.cancels.size(), 1u);
  EXPECT_EQ(events.cancels[0], "nested\\deeper\\ünï.txt");
  ASSERT_FALSE(events.messages.empty());
  for (const std::string& message : events.messages) {
    EXPECT_EQ(message.find('/'), std::string::npos) << message;
  }
}

TEST_F(cUnzipTest, CancelStopsTheRun) {
  unzip.Listener(&events);
  events.cancelAll = true;
  List("four.zip");
  Extract();
  EXPECT_EQ(events.cancels.size(), 1u);
  EXPECT_EQ(unzip.LastResult(), IZ_CTRLC);
  EXPECT_TRUE(FilesUnder(target.Path()).empty());
}

TEST_F(cUnzipTest, OverwritePromptAnswersDecideWhichFilesAreReplaced) {
  struct Case {
    const char* name;
    bool listening;
    std::deque<int32_t> answers;
    int prompts;
    std::string contents;  // f1..f4: 'o' old, 'n' new
  } cases[] = {
      {"no listener", false, {}, 0, "oooo"},
      {"keep each", true, {100, 100, 100, 100}, 4, "oooo"},
      {"overwrite some", true, {102, 100, 102, 100}, 4, "nono"},
      {"overwrite all from the second", true, {100, 103}, 2, "onnn"},
      {"overwrite none from the second", true, {102, 104}, 2, "nooo"},
  };
  for (const Case& c : cases) {
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
    if (!recorder.prompts.empty()) EXPECT_EQ(recorder.prompts[0], "f1.txt=100");
    for (int i = 1; i <= 4; ++i) {
      std::string expected = c.contents[i - 1] == 'n' ? "new " + std::to_string(i) : "old";
      EXPECT_EQ(ReadFileText(folder / ("f" + std::to_string(i) + ".txt")), expected) << i;
    }
  }
}

TEST_F(cUnzipTest, PasswordAnswers) {
  struct Case {
    const char* name;
    bool listening;
    std::string password;
    bool cancel;
    size_t prompts;
    bool decrypted;
  } cases[] = {
      {"password given", true, "secret", false, 1, true},
      {"blanks around it dropped", true, "  secret  ", false, 1, true},
      {"blank refuses", true, "   ", false, 1, false},
      {"cancel refuses", true, "secret", true, 1, false},
      {"nobody listening", false, "", false, 0, false},
  };
  for (const Case& c : cases) {
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
    EXPECT_EQ(recorder.passwordPrompts.size(), c.prompts);
    for (const std::string& prompt : recorder.passwordPrompts) EXPECT_EQ(prompt, "");
    EXPECT_EQ(ReadFileText(folder / "plain.txt"), "not secret\n");
    if (c.decrypted) {
      EXPECT_EQ(ReadFileText(folder / "two.txt"), "second secret\n");
      EXPECT_EQ(fresh.LastResult(), 0);
    } else {
      EXPECT_EQ(FilesUnder(folder.Path()), std::set<std::string>{"plain.txt"});
      EXPECT_NE(fresh.LastResult(), 0);
      EXPECT_TRUE(fresh.Unzip());  // the next run asks again, as often
      EXPECT_EQ(recorder.passwordPrompts.size(), 2 * c.prompts);
    }
  }
}

TEST_F(cUnzipTest, UnzipWithoutZipFileCallsNothing) {
  unzip.Listener(&events);
  unzip.UnzipFolder(target.Path());
  EXPECT_FALSE(unzip.Unzip());
  EXPECT_EQ(unzip.LastResult(), 0);
  EXPECT_TRUE(events.messages.empty());
  EXPECT_TRUE(events.cancels.empty());
}

// A listener that starts another run from inside an event.
class Reentering : public cUnzipEvents {
 public:
  explicit Reentering(cUnzip& other) : m_other(other) {}
  void Cancel(const std::string&, bool&) override {
    number = test::ErrorNumber([&] { m_other.Directory(); });
  }
  long number = -1;

 private:
  cUnzip& m_other;
};

TEST_F(cUnzipTest, RunStartedFromAnEventIsRefused) {
  cUnzip other;
  other.ZipFile(TestArchive("four.zip"));
  Reentering listener(other);
  unzip.Listener(&listener);
  List("four.zip");
  SelectOnly({"f1.txt"});
  Extract();
  EXPECT_EQ(listener.number, 5);
  EXPECT_EQ(other.FileCount(), 0);
  EXPECT_EQ(FilesUnder(target.Path()), std::set<std::string>{"f1.txt"});
  other.Directory();  // and works once the run is over
  EXPECT_EQ(other.FileCount(), 4);
}

TEST_F(cUnzipTest, HundredsOfRunsLeakNoHandlesOrThreads) {
  List("four.zip");
  unzip.OverwriteExisting(true);
  unzip.UnzipFolder(target.Path());
  // Listings and extractions in turn, each loading and freeing the library.
  auto cycle = [&](int i) {
    if (i % 2) {
      unzip.Unzip();
    } else {
      unzip.ZipFile(unzip.ZipFile());
      unzip.Directory();
    }
  };
  for (int i = 0; i < 6; ++i) cycle(i);
  DWORD handles = test::HandleCount(), threads = test::ThreadCount();
  ASSERT_GT(handles, 0u);
  ASSERT_GT(threads, 0u);
  for (int i = 0; i < 200; ++i) cycle(i);
  EXPECT_EQ(unzip.LastResult(), 0);
  EXPECT_EQ(unzip.FileCount(), 4);
  EXPECT_LE(test::HandleCount(), handles + 2);
  EXPECT_EQ(test::ThreadCount(), threads);
  EXPECT_EQ(GetModuleHandleA("cvunzip.dll"), nullptr);
}

}  // namespace
}  // namespace corvane
