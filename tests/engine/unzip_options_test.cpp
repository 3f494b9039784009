// The option fields of DCL, the callbacks and their reply codes, failures of the target, and the
// exported helpers.
#include <gtest/gtest.h>

#include <zlib.h>
// zlib.h makes zlib_version a macro, which would rename the record field.
#undef zlib_version

#include <algorithm>
#include <cstring>

#include "platform/faults.h"
#include "platform/path.h"
#include "unzip_test_support.h"

namespace unzip_test {
namespace {

// Builds an archive with the zip tool from files written into a scratch source folder.
class OptionsTest : public testing::Test {
 protected:
  fs::path MakeArchive(const std::vector<std::pair<std::string, std::string>>& files,
                       const std::string& zipOptions = "") {
    fs::path src = m_dir / "src";
    for (const auto& [name, data] : files) WriteFile(src / name, data);
    fs::path archive = m_dir / "a.zip";
    fs::remove(archive);
    // Named one by one, so that the entries come in the order given.
    std::string names;
    for (const auto& file : files) names += " " + Quote(file.first);
    EXPECT_EQ(Shell("cd " + Quote(src) + " && zip -q " + zipOptions + " " + Quote(archive) + names),
              0);
    return archive;
  }
  void TearDown() override { cv::SetFaultInjection({}); }

  ScratchDir m_dir;
  fs::path m_target = m_dir / "target";
};

struct OverwriteCase {
  const char* label;
  int noflag;
  int prompt;
  std::vector<int> replies;
  const char* a;  // content of a.txt afterwards
  const char* b;  // content of b.txt afterwards
  size_t asked;
};

class OverwriteTest : public OptionsTest, public testing::WithParamInterface<OverwriteCase> {};

TEST_P(OverwriteTest, ExistingFilesFollowTheRules) {
  const OverwriteCase& c = GetParam();
  fs::path archive = MakeArchive({{"a.txt", "new a"}, {"b.txt", "new b"}, {"c.txt", "new c"}});
  WriteFile(m_target / "a.txt", "old a");
  WriteFile(m_target / "b.txt", "old b");
  EngineRun run;
  run.dcl.noflag = c.noflag;
  run.dcl.PromptToOverwrite = c.prompt;
  run.replaceAnswers.assign(c.replies.begin(), c.replies.end());
  EXPECT_EQ(run.Extract(archive, m_target), PK_OK) << run.Output();
  EXPECT_EQ(ReadFile(m_target / "a.txt"), c.a);
  EXPECT_EQ(ReadFile(m_target / "b.txt"), c.b);
  EXPECT_EQ(ReadFile(m_target / "c.txt"), "new c");
  EXPECT_EQ(run.replaceAsked.size(), c.asked);
  if (c.asked > 0) EXPECT_EQ(run.replaceAsked[0], "a.txt");
  if (std::string(c.a) == "old a") EXPECT_TRUE(run.Printed("skipping: a.txt  (file exists)"));
  // No temporary file is left beside the targets.
  EXPECT_EQ(std::distance(fs::directory_iterator(m_target), {}), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, OverwriteTest,
    testing::Values(OverwriteCase{"neither_keeps", 0, 0, {}, "old a", "old b", 0},
                    OverwriteCase{"overwrite", 1, 0, {}, "new a", "new b", 0},
                    OverwriteCase{"overwrite_wins_over_prompt", 1, 1, {}, "new a", "new b", 0},
                    OverwriteCase{"no_no", 0, 1, {100, 100}, "old a", "old b", 2},
                    OverwriteCase{"yes_no", 0, 1, {102, 100}, "new a", "old b", 2},
                    OverwriteCase{"all", 0, 1, {103}, "new a", "new b", 1},
                    OverwriteCase{"none", 0, 1, {104}, "old a", "old b", 1},
                    OverwriteCase{"unknown_reply_keeps", 0, 1, {7, 7}, "old a", "old b", 2}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(OptionsTest, OnlyNewerKeepsFilesThatAreNotOlder) {
  fs::path archive =
      MakeArchive({{"old.txt", "archive"}, {"new.txt", "archive"}, {"absent.txt", "archive"}});
  WriteFile(m_target / "old.txt", "disk");
  WriteFile(m_target / "new.txt", "disk");
  auto entryTime = fs::last_write_time(m_dir / "src/old.txt");
  fs::last_write_time(m_target / "old.txt", entryTime - std::chrono::hours(24));
  fs::last_write_time(m_target / "new.txt", entryTime + std::chrono::hours(24));
  EngineRun run;
  run.dcl.ExtractOnlyNewer = 1;
  run.dcl.noflag = 1;
  EXPECT_EQ(run.Extract(archive, m_target), PK_OK) << run.Output();
  EXPECT_EQ(ReadFile(m_target / "old.txt"), "archive");
  EXPECT_EQ(ReadFile(m_target / "new.txt"), "disk");
  EXPECT_EQ(ReadFile(m_target / "absent.txt"), "archive");
}

TEST_F(OptionsTest, DosTimeIsLocalTimeOnEitherSideOfADaylightSavingChange) {
  // The crafted entries carry only a DOS time, 2021-03-14 12:34:56, the day daylight saving
  // time began in this zone; 12:34 is after the change: UTC-4.
  const char* saved = std::getenv("TZ");
  std::string before = saved ? saved : "";
  setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
  tzset();
  EngineRun run;
  EXPECT_EQ(run.Extract(HostileArchives() / "cp437_name.zip", m_target), PK_OK);
  EngineRun list;
  EXPECT_EQ(list.List(HostileArchives() / "cp437_name.zip"), PK_OK);
  if (saved) {
    setenv("TZ", before.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  auto written = fs::directory_iterator(m_target)->path();
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::file_clock::to_sys(fs::last_write_time(written)).time_since_epoch());
  EXPECT_EQ(seconds.count(), 1615739696);
  ASSERT_EQ(list.listed.size(), 1u);
  EXPECT_EQ(list.listed[0].hour, 12u);
  EXPECT_EQ(list.listed[0].minute, 34u);
}

TEST_F(OptionsTest, FolderNamesOffWritesStraightIntoTheTarget) {
  fs::path archive = MakeArchive({{"x/y/deep.txt", "deep"}, {"top.txt", "top"}});
  EngineRun run;
  run.dcl.ndflag = 0;
  EXPECT_EQ(run.Extract(archive, m_target), PK_OK) << run.Output();
  EXPECT_EQ(ReadFile(m_target / "deep.txt"), "deep");
  EXPECT_EQ(ReadFile(m_target / "top.txt"), "top");
  EXPECT_FALSE(fs::exists(m_target / "x"));
}

TEST_F(OptionsTest, SpaceToUnderscoreRenamesFilesAndFolders) {
  fs::path archive = MakeArchive({{"my dir/my file.txt", "s"}});
  EngineRun run;
  run.dcl.SpaceToUnderscore = 1;
  EXPECT_EQ(run.Extract(archive, m_target), PK_OK) << run.Output();
  EXPECT_EQ(ReadFile(m_target / "my_dir/my_file.txt"), "s");
}

TEST_F(OptionsTest, TextConversionTouchesOnlyTextEntries) {
  fs::path archive = HostileArchives() / "text_entry.zip";
  EngineRun run;
  run.dcl.naflag = 1;
  EXPECT_EQ(run.Extract(archive, m_target), PK_OK) << run.Output();
  EXPECT_EQ(ReadFile(m_target / "text.txt"), "line1\r\nline2\r\nline3\r\n");
  EXPECT_EQ(ReadFile(m_target / "binary.bin"), "a\nb\n");
  EngineRun plain;
  plain.dcl.noflag = 1;
  EXPECT_EQ(plain.Extract(archive, m_target), PK_OK);
  EXPECT_EQ(ReadFile(m_target / "text.txt"), "line1\nline2\r\nline3\n");
}

struct MatchCase {
  const char* label;
  std::vector<std::string> include;
  std::vector<std::string> exclude;
  int caseSensitive;
  std::vector<std::string> expected;
  int code;
};

class MatchTest : public OptionsTest, public testing::WithParamInterface<MatchCase> {};

TEST_P(MatchTest, NamesAreExactFirstThenPatterns) {
  const MatchCase& c = GetParam();
  fs::path archive = MakeArchive(
      {{"a[1].txt", ""}, {"a1.txt", ""}, {"A2.txt", ""}, {"b.txt", ""}, {"sub/a3.txt", ""}}, "-D");
  EngineRun run;
  run.include = c.include;
  run.exclude = c.exclude;
  run.dcl.C_flag = c.caseSensitive;
  EXPECT_EQ(run.Extract(archive, m_target), c.code) << run.Output();
  std::vector<std::string> got;
  if (fs::exists(m_target)) {
    for (const auto& e : fs::recursive_directory_iterator(m_target)) {
      if (e.is_regular_file()) got.push_back(fs::relative(e.path(), m_target).string());
    }
  }
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, MatchTest,
    testing::Values(
        MatchCase{"exact_brackets", {"a[1].txt"}, {}, 0, {"a[1].txt"}, PK_OK},
        MatchCase{"set_pattern", {"a[0-9].txt"}, {}, 0, {"A2.txt", "a1.txt"}, PK_OK},
        MatchCase{"star_folds_case", {"a*.txt"}, {}, 0, {"A2.txt", "a1.txt", "a[1].txt"}, PK_OK},
        MatchCase{"star_case_sensitive", {"a*.txt"}, {}, 1, {"a1.txt", "a[1].txt"}, PK_OK},
        MatchCase{"star_crosses_folders", {"*a3.txt"}, {}, 0, {"sub/a3.txt"}, PK_OK},
        MatchCase{"question_mark", {"?.txt"}, {}, 0, {"b.txt"}, PK_OK},
        MatchCase{"negated_set", {"a[!1].txt"}, {}, 0, {"A2.txt"}, PK_OK},
        MatchCase{"exclude", {}, {"a*", "sub/*"}, 0, {"b.txt"}, PK_OK},
        MatchCase{"exclude_exact",
                  {"*.txt"},
                  {"a[1].txt"},
                  0,
                  {"A2.txt", "a1.txt", "b.txt", "sub/a3.txt"},
                  PK_OK},
        MatchCase{"exact_is_case_sensitive", {"B.TXT"}, {}, 1, {}, PK_FIND},
        MatchCase{"unmatched_name", {"b.txt", "nothing.txt"}, {}, 0, {"b.txt"}, PK_FIND}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(OptionsTest, UnmatchedNameIsReported) {
  fs::path archive = MakeArchive({{"b.txt", "b"}});
  EngineRun run;
  run.include = {"missing.txt"};
  EXPECT_EQ(run.Extract(archive, m_target), PK_FIND);
  EXPECT_TRUE(run.Printed("caution: filename not matched:  missing.txt")) << run.Output();
}

struct PasswordCase {
  const char* label;
  std::vector<std::string> answers;
  bool callback;
  int code;
  size_t asked;
  bool secretsWritten;
};

class PasswordTest : public OptionsTest, public testing::WithParamInterface<PasswordCase> {};

// encrypted.zip: secret1.txt (check byte from the CRC), secret2.txt (data descriptor: check byte
// from the time), plain.txt; password "pw".
TEST_P(PasswordTest, PasswordsAreAskedCheckedAndReused) {
  const PasswordCase& c = GetParam();
  EngineRun run;
  run.passwords.assign(c.answers.begin(), c.answers.end());
  run.withPasswordCallback = c.callback;
  EXPECT_EQ(run.Extract(HostileArchives() / "encrypted.zip", m_target), c.code) << run.Output();
  EXPECT_EQ(run.passwordAsked.size(), c.asked);
  EXPECT_EQ(fs::exists(m_target / "secret1.txt"), c.secretsWritten);
  EXPECT_EQ(fs::exists(m_target / "secret2.txt"), c.secretsWritten);
  EXPECT_EQ(ReadFile(m_target / "plain.txt"), "plain\n");
  if (!c.secretsWritten) {
    EXPECT_TRUE(run.Printed(c.answers.empty() ? "skipping: secret1.txt  no password given"
                                              : "skipping: secret1.txt  incorrect password"))
        << run.Output();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PasswordTest,
    testing::Values(PasswordCase{"right_first", {"pw"}, true, PK_OK, 1, true},
                    PasswordCase{"right_third", {"x", "y", "pw"}, true, PK_OK, 3, true},
                    PasswordCase{"wrong_three_times_each",
                                 {"a", "b", "c", "d", "e", "f", "g"},
                                 true,
                                 IZ_BADPWD,
                                 6,
                                 false},
                    PasswordCase{"refused", {}, true, IZ_BADPWD, 2, false},
                    PasswordCase{"no_callback", {}, false, IZ_BADPWD, 0, false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(OptionsTest, OneBadPasswordAmongGoodOnesIsAWarning) {
  EngineRun run;
  run.passwords = {"one", "x", "x", "x"};
  EXPECT_EQ(run.Extract(HostileArchives() / "encrypted_two_passwords.zip", m_target), PK_WARN)
      << run.Output();
  EXPECT_TRUE(fs::exists(m_target / "a.txt"));
  EXPECT_FALSE(fs::exists(m_target / "b.txt"));
  // The password that worked is tried on b.txt before asking.
  EXPECT_EQ(run.passwordAsked, (std::vector<std::string>{"a.txt", "b.txt", "b.txt", "b.txt"}));
}

struct QuietCase {
  int level;
  bool info;
  bool warning;
  bool error;
};

class QuietTest : public OptionsTest, public testing::WithParamInterface<QuietCase> {};

TEST_P(QuietTest, LevelsFilterThePrintLines) {
  const QuietCase& c = GetParam();
  EngineRun run;
  run.dcl.fQuiet = c.level;
  run.include = {"*.txt", "nothing"};
  EXPECT_EQ(run.Extract(HostileArchives() / "bad_crc.zip", m_target), PK_ERR);
  EXPECT_EQ(run.Printed("extracting: fine.txt"), c.info) << run.Output();
  EXPECT_EQ(run.Printed("caution: filename not matched"), c.warning) << run.Output();
  EXPECT_EQ(run.Printed("bad CRC"), c.error) << run.Output();
}

INSTANTIATE_TEST_SUITE_P(Levels, QuietTest,
                         testing::Values(QuietCase{0, true, true, true},
                                         QuietCase{1, false, true, true},
                                         QuietCase{2, false, false, true}),
                         [](const auto& info) {
                           return "fQuiet" + std::to_string(info.param.level);
                         });

TEST_F(OptionsTest, ServiceCallbackStopsTheRunCleanly) {
  std::vector<std::pair<std::string, std::string>> files;
  for (int i = 0; i < 30; ++i) files.push_back({"f" + std::to_string(100 + i) + ".txt", "data"});
  fs::path archive = MakeArchive(files, "-D");
  EngineRun run;
  run.stopAtService = 10;
  EXPECT_EQ(run.Extract(archive, m_target), IZ_CTRLC) << run.Output();
  EXPECT_EQ(run.serviced.size(), 11u);
  // Entries decided before the stop are complete; nothing after it is written.
  size_t written = std::distance(fs::directory_iterator(m_target), {});
  EXPECT_EQ(written, 10u);
  for (const auto& e : fs::directory_iterator(m_target)) EXPECT_EQ(ReadFile(e.path()), "data");
}

TEST_F(OptionsTest, ServiceCallbackComesOncePerEntryInOrder) {
  fs::path archive = MakeArchive({{"a.txt", "a"}, {"b.txt", "b"}}, "-D");
  EngineRun run;
  EXPECT_EQ(run.Test(archive), PK_OK);
  EXPECT_EQ(run.serviced, (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(OptionsTest, FullDiskLeavesTheExistingFileAndNoPartialFile) {
  fs::path archive = MakeArchive({{"big.bin", std::string(2000000, 'x')}, {"small.txt", "s"}});
  WriteFile(m_target / "big.bin", "precious");
  cv::SetFaultInjection({.writableBytes = 100000});
  EngineRun run;
  run.dcl.noflag = 1;
  EXPECT_EQ(run.Extract(archive, m_target), PK_DISK) << run.Output();
  EXPECT_TRUE(run.Printed("disk full")) << run.Output();
  EXPECT_EQ(ReadFile(m_target / "big.bin"), "precious");
  for (const auto& e : fs::directory_iterator(m_target)) {
    std::string name = e.path().filename().string();
    EXPECT_TRUE(name == "big.bin" || name == "small.txt") << name;
  }
}

TEST_F(OptionsTest, FullDiskOnANewFileLeavesNothing) {
  fs::path archive = MakeArchive({{"big.bin", std::string(2000000, 'x')}});
  cv::SetFaultInjection({.writableBytes = 1000});
  EngineRun run;
  EXPECT_EQ(run.Extract(archive, m_target), PK_DISK) << run.Output();
  EXPECT_FALSE(fs::exists(m_target / "big.bin"));
}

TEST_F(OptionsTest, FailedRenameKeepsTheExistingFile) {
  fs::path archive = MakeArchive({{"a.txt", "new"}});
  WriteFile(m_target / "a.txt", "precious");
  cv::SetFaultInjection({.failRename = true});
  EngineRun run;
  run.dcl.noflag = 1;
  EXPECT_EQ(run.Extract(archive, m_target), PK_DISK) << run.Output();
  EXPECT_EQ(ReadFile(m_target / "a.txt"), "precious");
  EXPECT_EQ(std::distance(fs::directory_iterator(m_target), {}), 1);
}

TEST_F(OptionsTest, DamagedEntryOrWrongPasswordNeverReplacesAFile) {
  WriteFile(m_target / "badcrc.txt", "precious");
  EngineRun run;
  run.dcl.noflag = 1;
  EXPECT_EQ(run.Extract(HostileArchives() / "bad_crc.zip", m_target), PK_ERR);
  EXPECT_EQ(ReadFile(m_target / "badcrc.txt"), "precious");
  WriteFile(m_target / "secret1.txt", "precious");
  EngineRun wrong;
  wrong.dcl.noflag = 1;
  wrong.passwords = {"a", "b", "c"};
  EXPECT_EQ(wrong.Extract(HostileArchives() / "encrypted.zip", m_target), IZ_BADPWD);
  EXPECT_EQ(ReadFile(m_target / "secret1.txt"), "precious");
  EXPECT_EQ(std::distance(fs::directory_iterator(m_target), {}), 4);  // + fine.txt, plain.txt
}

TEST_F(OptionsTest, TargetThatIsAFileFailsClearly) {
  fs::path archive = MakeArchive({{"a.txt", "a"}});
  WriteFile(m_dir / "file", "x");
  EngineRun run;
  EXPECT_EQ(run.Extract(archive, m_dir / "file/below"), PK_DISK);
  EXPECT_TRUE(run.Printed("cannot create the target folder")) << run.Output();
  EXPECT_EQ(ReadFile(m_dir / "file"), "x");
}

TEST_F(OptionsTest, EntryUnderAFileFailsAndTheOthersExtract) {
  fs::path archive = MakeArchive({{"docs/x.txt", "x"}, {"other.txt", "o"}, {"docs2", "d"}});
  WriteFile(m_target / "docs", "a file where a folder must be");
  WriteFile(m_target / "docs2/keep", "a folder where a file must be");
  EngineRun run;
  run.dcl.noflag = 1;
  EXPECT_EQ(run.Extract(archive, m_target), PK_DISK) << run.Output();
  EXPECT_EQ(ReadFile(m_target / "docs"), "a file where a folder must be");
  EXPECT_EQ(ReadFile(m_target / "other.txt"), "o");
  EXPECT_TRUE(fs::is_directory(m_target / "docs2"));
}

TEST_F(OptionsTest, ListingDeliversThirteenValuesAndTotals) {
  std::string text(10000, 'z');
  fs::path archive = MakeArchive({{"dir/z.txt", text}, {"empty", ""}});
  // Folder entries are listed too (the catalogue leaves them out).
  EngineRun folders;
  ASSERT_EQ(Shell("cd " + Quote(m_dir / "src") + " && zip -q " + Quote(m_dir / "f.zip") + " dir"),
            0);
  ASSERT_EQ(folders.List(m_dir / "f.zip"), PK_OK);
  ASSERT_EQ(folders.listed.size(), 1u);
  EXPECT_EQ(folders.listed[0].name, "dir/");
  EngineRun run;
  ASSERT_EQ(run.List(archive), PK_OK);
  ASSERT_EQ(run.listed.size(), 2u);
  const ListedEntry& z = run.listed[0];
  EXPECT_EQ(z.name, "dir/z.txt");
  EXPECT_EQ(z.size, 10000u);
  EXPECT_GT(z.compressedSize, 0u);
  EXPECT_EQ(z.ratio, 1u);  // tiny but not zero: rounded up
  EXPECT_EQ(z.method, "Defl:N");
  EXPECT_FALSE(z.encrypted);
  EXPECT_GE(z.year, 2020u);
  EXPECT_EQ(run.listed[1].name, "empty");
  EXPECT_EQ(run.listed[1].ratio, 0u);
  EXPECT_EQ(run.functions.NumMembers, 2u);
  EXPECT_EQ(run.functions.TotalSize, 10000u);
  EXPECT_TRUE(run.lines.empty());
  EXPECT_FALSE(fs::exists(m_target));
}

TEST(EntryPathTest, GivesThePathExtractionWrites) {
  struct Case {
    const char* name;
    int folders;
    int spaces;
    const char* path;
  } cases[] = {
      {"docs/read me.txt", 1, 0, "docs/read me.txt"},
      {"docs/read me.txt", 0, 0, "read me.txt"},
      {"docs/read me.txt", 1, 1, "docs/read_me.txt"},
      {"../../etc/passwd", 1, 0, "etc/passwd"},
      {"C:\\Windows\\x.dll", 1, 0, "Windows/x.dll"},
      {"nul.txt", 1, 0, "_nul.txt"},
      {"folder/", 1, 0, ""},
      {"..", 1, 0, ""},
  };
  for (const Case& c : cases) {
    char buffer[64];
    unsigned n = Wiz_EntryPath(c.name, c.folders, c.spaces, buffer, sizeof buffer);
    std::string expected = c.path;
    for (char& ch : expected) ch = ch == '/' ? cv::PathSeparator() : ch;
    EXPECT_EQ(std::string(buffer), expected) << c.name;
    EXPECT_EQ(n, expected.size()) << c.name;
  }
  char small[4];
  EXPECT_EQ(Wiz_EntryPath("abcdef", 1, 0, small, sizeof small), 6u);
  EXPECT_STREQ(small, "abc");
}

TEST(VersionTest, FillsTheRecord) {
  UZPVER v;
  std::memset(&v, ' ', sizeof v);
  v.structlen = sizeof v;
  EXPECT_EQ(sizeof v, 64u);
  UzpVersion2(&v);
  EXPECT_STREQ(v.betalevel, "");
  EXPECT_STREQ(v.zlib_version, ZLIB_VERSION);
  EXPECT_GT(std::strlen(v.date), 0u);
  EXPECT_EQ(v.unzip.major, 1);
  EXPECT_EQ(v.unzip.minor, 0);
  EXPECT_EQ(v.dllapimin.major, 1);
  EXPECT_EQ(v.flag & 1, 0u);
  UZPVER tooShort;
  std::memset(&tooShort, 'x', sizeof tooShort);
  tooShort.structlen = 10;
  UzpVersion2(&tooShort);
  EXPECT_EQ(tooShort.betalevel[0], 'x');
}

}  // namespace
}  // namespace unzip_test
