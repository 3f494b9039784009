// The option fields of DCL, the callbacks and their replies (passwords for traditional and AES
// encryption), failures while writing and entries that do not check out, names in a legacy code
// page, the exported helpers and the engines' worker count.
#include <zlib.h>
// zlib.h makes zlib_version a macro, which would rename the record field.
#undef zlib_version

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "core/reader.h"
#include "platform/faults.h"
#include "platform/path.h"
#include "platform/threads.h"
#include "support.h"
#include "unzip/zone_mark.h"

namespace enginetest {
namespace {

// Writes the files into src/ and zips them, named one by one so that entries keep this order.
fs::path MakeArchive(const std::vector<std::pair<std::string, std::string>>& files,
                     const std::string& zipOptions = "-D") {
  std::string names;
  for (const auto& [name, data] : files) {
    WriteFile("src/" + name, data);
    names += " " + Quote(name);
  }
  fs::remove("a.zip");
  EXPECT_EQ(Shell("cd src && zip -q " + zipOptions + " ../a.zip" + names), 0);
  return "a.zip";
}

// "name=content;..." written into the target folder.
void WriteFiles(const std::string& list) {
  std::istringstream in(list);
  for (std::string item; std::getline(in, item, ';');) {
    WriteFile("target/" + item.substr(0, item.find('=')), item.substr(item.find('=') + 1));
  }
}

struct OverwriteCase {
  const char* label;
  int noflag, prompt;
  std::vector<int> replies;
  const char* after;  // a.txt and b.txt afterwards
  size_t asked;
};

class OverwriteTest : public ScratchTest, public testing::WithParamInterface<OverwriteCase> {};

TEST_P(OverwriteTest, ExistingFilesFollowTheRules) {
  const OverwriteCase& c = GetParam();
  fs::path archive = MakeArchive({{"a.txt", "new a"}, {"b.txt", "new b"}, {"c.txt", "new c"}});
  WriteFiles("a.txt=old a;b.txt=old b");
  UnzipRun run;
  run.dcl.noflag = c.noflag;
  run.dcl.PromptToOverwrite = c.prompt;
  run.replies.assign(c.replies.begin(), c.replies.end());
  EXPECT_EQ(run.Extract(archive, "target"), PK_OK) << run.Output();
  EXPECT_EQ(ReadFile("target/a.txt") + "," + ReadFile("target/b.txt"), c.after);
  EXPECT_EQ(ReadFile("target/c.txt"), "new c");
  EXPECT_EQ(run.replaceAsked.size(), c.asked);
  if (c.asked > 0) EXPECT_EQ(run.replaceAsked[0], "a.txt");
  if (c.after[0] == 'o') EXPECT_TRUE(run.Printed("skipping: a.txt  (file exists)"));
  EXPECT_EQ(Tree("target").size(), 3u);  // no temporary file left
}

INSTANTIATE_TEST_SUITE_P(
    Replies, OverwriteTest,
    testing::Values(OverwriteCase{"neither_keeps", 0, 0, {}, "old a,old b", 0},
                    OverwriteCase{"overwrite", 1, 0, {}, "new a,new b", 0},
                    OverwriteCase{"overwrite_wins_over_prompt", 1, 1, {}, "new a,new b", 0},
                    OverwriteCase{"no_no", 0, 1, {100, 100}, "old a,old b", 2},
                    OverwriteCase{"yes_no", 0, 1, {102, 100}, "new a,old b", 2},
                    OverwriteCase{"all", 0, 1, {103}, "new a,new b", 1},
                    OverwriteCase{"none", 0, 1, {104}, "old a,old b", 1},
                    OverwriteCase{"unknown_reply_keeps", 0, 1, {7, 7}, "old a,old b", 2}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ScratchTest, OnlyNewerKeepsFilesThatAreNotOlder) {
  fs::path archive = MakeArchive({{"old.txt", "archive"}, {"new.txt", "archive"}, {"absent", "a"}});
  WriteFiles("old.txt=disk;new.txt=disk");
  SetTime("target/old.txt", FileTime("src/old.txt") - 86400);
  SetTime("target/new.txt", FileTime("src/old.txt") + 86400);
  UnzipRun run;
  run.dcl.ExtractOnlyNewer = 1;
  run.dcl.noflag = 1;
  EXPECT_EQ(run.Extract(archive, "target"), PK_OK) << run.Output();
  EXPECT_EQ(ReadFile("target/old.txt") + ReadFile("target/new.txt") + ReadFile("target/absent"),
            "archivediska");
}

TEST_F(ScratchTest, DosTimeIsLocalTimeOnEitherSideOfADaylightSavingChange) {
  // The crafted entries carry only a DOS time, 2021-03-14 12:34:56, the day daylight saving
  // time began in this zone; 12:34 is after the change: UTC-4. In a process of its own: the engine
  // keeps the offsets of the zone it saw first, as the C library keeps its zone, and the other
  // tests read the same time in the machine's zone.
  auto child = [] {
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    tzset();
    UnzipRun run, list;
    bool ok = run.Extract(Crafted("cp437_name.zip"), "target") == PK_OK &&
              list.List(Crafted("cp437_name.zip")) == PK_OK &&
              FileTime(fs::directory_iterator("target")->path()) == 1615739696 &&
              list.listed.size() == 1 &&
              list.listed[0].hour * 100 + list.listed[0].minute == 1234u;
    std::exit(ok ? 0 : 1);
  };
  EXPECT_EXIT(child(), testing::ExitedWithCode(0), "");
}

// NTFS times no system can set are ignored: the DOS time, 2021-03-14 12:34:56 local, stands.
TEST_F(ScratchTest, TimesOutOfRangeLeaveTheDosTime) {
  std::tm dos{};
  dos.tm_year = 121, dos.tm_mon = 2, dos.tm_mday = 14, dos.tm_hour = 12, dos.tm_min = 34;
  dos.tm_sec = 56, dos.tm_isdst = -1;
  for (const char* archive : {"ntfs_time_bit63.zip", "ntfs_time_far.zip"}) {
    UnzipRun run, list;
    EXPECT_EQ(run.Extract(Crafted(archive), archive), PK_OK) << run.Output();
    EXPECT_EQ(FileTime(archive + std::string("/t.txt")), int64_t(std::mktime(&dos))) << archive;
    EXPECT_EQ(list.List(Crafted(archive)), PK_OK);
    EXPECT_EQ(list.listed.at(0).year * 10000 + list.listed[0].month * 100 + list.listed[0].day,
              20210314u);
  }
}

TEST_F(ScratchTest, FolderNamesAndSpacesShapeTheWrittenPaths) {
  fs::path archive = MakeArchive({{"x/y/deep file.txt", "deep"}, {"top.txt", "top"}});
  UnzipRun flat, spaces;
  flat.dcl.ndflag = 0;
  EXPECT_EQ(flat.Extract(archive, "flat"), PK_OK) << flat.Output();
  EXPECT_EQ(Tree("flat", true), (std::vector<std::string>{"deep file.txt", "top.txt"}));
  spaces.dcl.SpaceToUnderscore = 1;
  EXPECT_EQ(spaces.Extract(archive, "spaces"), PK_OK) << spaces.Output();
  EXPECT_EQ(ReadFile("spaces/x/y/deep_file.txt"), "deep");
}

// Lone LFs of text entries become CR LF, also where a CR LF pair or a lone LF falls on the end
// of a decoded chunk, and on the overlapped path of large entries; other entries stay as stored.
TEST_F(ScratchTest, TextConversionTouchesOnlyTextEntries) {
  UnzipRun run, plain;
  run.dcl.naflag = 1;
  EXPECT_EQ(run.Extract(Crafted("text_entry.zip"), "target"), PK_OK) << run.Output();
  EXPECT_EQ(ReadFile("target/text.txt"), "line1\r\nline2\r\nline3\r\n");
  EXPECT_EQ(ReadFile("target/binary.bin"), "a\nb\n");
  EXPECT_EQ(plain.Extract(Crafted("text_chunks.zip"), "stored"), PK_OK);
  EXPECT_EQ(UnzipRun(run).Extract(Crafted("text_chunks.zip"), "converted"), PK_OK);
  for (const char* name : {"small.txt", "large.txt"}) {
    std::string expected;
    for (char c : ReadFile("stored/" + std::string(name))) {
      if (c == '\n' && (expected.empty() || expected.back() != '\r')) expected += '\r';
      expected += c;
    }
    EXPECT_TRUE(ReadFile("converted/" + std::string(name)) == expected) << name;
  }
}

struct MatchCase {
  const char* label;
  std::vector<std::string> include, exclude;
  int caseSensitive;
  const char* files;  // written, sorted
  int code;
};

class MatchTest : public ScratchTest, public testing::WithParamInterface<MatchCase> {};

TEST_P(MatchTest, NamesAreExactFirstThenPatterns) {
  const MatchCase& c = GetParam();
  fs::path archive = MakeArchive(
      {{"a[1].txt", ""}, {"a1.txt", ""}, {"A2.txt", ""}, {"b.txt", ""}, {"sub/a3.txt", ""}});
  UnzipRun run;
  run.include = c.include;
  run.exclude = c.exclude;
  run.dcl.C_flag = c.caseSensitive;
  EXPECT_EQ(run.Extract(archive, "target"), c.code) << run.Output();
  std::string files;
  for (const std::string& f : Tree("target")) files += (files.empty() ? "" : " ") + f;
  EXPECT_EQ(files, c.files);
  EXPECT_EQ(run.Printed("caution: filename not matched:  "), c.code == PK_FIND) << run.Output();
}

INSTANTIATE_TEST_SUITE_P(
    Names, MatchTest,
    testing::Values(
        MatchCase{"exact_brackets", {"a[1].txt"}, {}, 0, "a[1].txt", PK_OK},
        MatchCase{"set_pattern", {"a[0-9].txt"}, {}, 0, "A2.txt a1.txt", PK_OK},
        MatchCase{"star_folds_case", {"a*.txt"}, {}, 0, "A2.txt a1.txt a[1].txt", PK_OK},
        MatchCase{"star_case_sensitive", {"a*.txt"}, {}, 1, "a1.txt a[1].txt", PK_OK},
        MatchCase{"star_crosses_folders", {"*a3.txt"}, {}, 0, "sub/a3.txt", PK_OK},
        MatchCase{"question_mark", {"?.txt"}, {}, 0, "b.txt", PK_OK},
        MatchCase{"negated_set", {"a[!1].txt"}, {}, 0, "A2.txt", PK_OK},
        MatchCase{"exclude", {}, {"a*", "sub/*"}, 0, "b.txt", PK_OK},
        MatchCase{"exclude_exact", {"*.txt"}, {"a[1].txt"}, 0, "A2.txt a1.txt b.txt sub/a3.txt", 0},
        MatchCase{"exact_is_case_sensitive", {"B.TXT"}, {}, 1, "", PK_FIND},
        MatchCase{"unmatched_name", {"b.txt", "nothing.txt"}, {}, 0, "b.txt", PK_FIND}),
    [](const auto& info) { return std::string(info.param.label); });

struct PasswordCase {
  const char* label;
  const char* archive;
  std::vector<std::string> answers;
  bool callback;
  int code;
  size_t asked;
  const char* skipped;  // the line of a skipped entry; "" when the secrets are written
};

class PasswordTest : public ScratchTest, public testing::WithParamInterface<PasswordCase> {};

// encrypted.zip: secret1.txt (check byte from the CRC), secret2.txt (data descriptor: check byte
// from the time), plain.txt; aes.zip: secret1.txt and secret2.txt AES-256, deflated and stored,
// plain.txt. Password "pw".
TEST_P(PasswordTest, PasswordsAreAskedCheckedAndReused) {
  const PasswordCase& c = GetParam();
  UnzipRun run;
  run.passwords.assign(c.answers.begin(), c.answers.end());
  if (!c.callback) run.functions.password = nullptr;
  EXPECT_EQ(run.Extract(Crafted(c.archive + std::string(".zip")), "target"), c.code)
      << run.Output();
  EXPECT_EQ(run.passwordAsked.size(), c.asked);
  EXPECT_EQ(Tree("target").size(), *c.skipped ? 1u : 3u);
  EXPECT_EQ(ReadFile("target/plain.txt"), "plain\n");
  EXPECT_TRUE(run.Printed(c.skipped)) << run.Output();
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PasswordTest,
    testing::Values(
        PasswordCase{"right_first", "encrypted", {"pw"}, true, PK_OK, 1, ""},
        PasswordCase{"right_third", "encrypted", {"x", "y", "pw"}, true, PK_OK, 3, ""},
        PasswordCase{"wrong_each_time",
                     "encrypted",
                     {"a", "b", "c", "d", "e", "f"},
                     true,
                     IZ_BADPWD,
                     6,
                     "secret1.txt  incorrect password"},
        PasswordCase{
            "refused", "encrypted", {}, true, IZ_BADPWD, 2, "secret1.txt  no password given"},
        PasswordCase{
            "no_callback", "encrypted", {}, false, IZ_BADPWD, 0, "secret1.txt  no password given"},
        PasswordCase{"aes_right_first", "aes", {"pw"}, true, PK_OK, 1, ""},
        PasswordCase{"aes_right_third", "aes", {"x", "y", "pw"}, true, PK_OK, 3, ""},
        PasswordCase{"aes_wrong_each_time",
                     "aes",
                     {"a", "b", "c", "d", "e", "f", "g"},
                     true,
                     IZ_BADPWD,
                     6,
                     "secret2.txt  incorrect password"},
        PasswordCase{
            "aes_refused", "aes", {}, true, IZ_BADPWD, 2, "secret1.txt  no password given"},
        PasswordCase{
            "aes_no_callback", "aes", {}, false, IZ_BADPWD, 0, "secret1.txt  no password given"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ScratchTest, OneBadPasswordAmongGoodOnesIsAWarning) {
  UnzipRun run;
  run.passwords = {"one", "x", "x", "x"};
  EXPECT_EQ(run.Extract(Crafted("encrypted_two_passwords.zip"), "target"), PK_WARN) << run.Output();
  EXPECT_EQ(Tree("target"), std::vector<std::string>{"a.txt"});
  // The password that worked is tried on b.txt before asking.
  EXPECT_EQ(run.passwordAsked, (std::vector<std::string>{"a.txt", "b.txt", "b.txt", "b.txt"}));
}

// The password that worked is tried on the next AES entry by the worker deriving its keys; when
// it does not fit, the entry is asked for in turn and extracted after all.
TEST_F(ScratchTest, AnAesEntryOfAnotherPasswordIsAskedForInTurn) {
  UnzipRun run;
  run.passwords = {"one", "x", "two"};
  EXPECT_EQ(run.Extract(Crafted("aes_two_passwords.zip"), "target"), PK_OK) << run.Output();
  EXPECT_EQ(run.passwordAsked, (std::vector<std::string>{"a.txt", "b.txt", "b.txt"}));
  EXPECT_EQ(run.Done(), (std::vector<std::string>{"a.txt", "b.txt"}));
  std::string text;
  for (int i = 0; i < 50; ++i) text += "The quick brown fox jumps over the lazy dog.\n";
  EXPECT_EQ(ReadFile("target/a.txt"), text);
  EXPECT_EQ(ReadFile("target/b.txt"), text);
}

class QuietTest : public ScratchTest, public testing::WithParamInterface<int> {};

TEST_P(QuietTest, LevelsFilterThePrintLines) {
  UnzipRun run;
  run.dcl.fQuiet = GetParam();
  run.include = {"*.txt", "nothing"};
  EXPECT_EQ(run.Extract(Crafted("bad_crc.zip"), "target"), PK_ERR);
  EXPECT_EQ(run.Printed("extracting: fine.txt"), GetParam() == 0) << run.Output();
  EXPECT_EQ(run.Printed("caution: filename not matched"), GetParam() <= 1) << run.Output();
  EXPECT_TRUE(run.Printed("bad CRC")) << run.Output();
}

INSTANTIATE_TEST_SUITE_P(Levels, QuietTest, testing::Values(0, 1, 2));

TEST_F(ScratchTest, ServiceCallbackComesInOrderAndStopsTheRunCleanly) {
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<std::string> names;
  for (int i = 0; i < 30; ++i) {
    files.push_back({"f" + std::to_string(100 + i) + ".txt", "data"});
    if (i <= 10) names.push_back(files.back().first);
  }
  UnzipRun run;
  run.stopAt = 10;
  EXPECT_EQ(run.Extract(MakeArchive(files), "target"), IZ_CTRLC) << run.Output();
  EXPECT_EQ(run.serviced, names);
  // Entries decided before the stop are complete; nothing after it is written.
  names.pop_back();
  EXPECT_EQ(Tree("target"), names);
  for (const std::string& name : names) EXPECT_EQ(ReadFile("target/" + name), "data");
}

struct FailureCase {
  const char* label;
  const char* archive;   // crafted, without ".zip"
  const char* existing;  // "name=content;..." in the target before the run
  cv::FaultInjection faults;
  int code;
  const char* message;
  const char* after;  // "name=content;..." afterwards; "name!" for a file that must not exist
  const char* password = nullptr;  // the answer to every password request; else three wrong ones
  Stage stop = Stage::kNone;       // where the progress callback stops the run
};

class FailureTest : public ScratchTest, public testing::WithParamInterface<FailureCase> {
 protected:
  void TearDown() override {
    cv::SetFaultInjection({});
    ScratchTest::TearDown();
  }
};

// A write that fails or an entry that does not check out never replaces a file and leaves no
// partial or temporary file; the other entries are extracted.
TEST_P(FailureTest, LeavesExistingFilesAndNoPartialFile) {
  const FailureCase& c = GetParam();
  WriteFiles(c.existing);
  cv::SetFaultInjection(c.faults);
  UnzipRun run;
  run.dcl.noflag = 1;
  run.stopAtStage = c.stop;
  run.passwords = {"a", "b", "c"};
  if (c.password) run.passwords = {c.password, c.password};
  EXPECT_EQ(run.Extract(Crafted(c.archive + std::string(".zip")), "target"), c.code)
      << run.Output();
  cv::SetFaultInjection({});
  EXPECT_TRUE(run.Printed(c.message)) << run.Output();
  std::istringstream in(c.after);
  for (std::string item; std::getline(in, item, ';');) {
    if (item.back() == '!') {
      EXPECT_FALSE(fs::exists("target/" + item.substr(0, item.size() - 1))) << item;
    } else {
      EXPECT_EQ(ReadFile("target/" + item.substr(0, item.find('='))),
                item.substr(item.find('=') + 1));
    }
  }
  for (const std::string& file : Tree("target")) EXPECT_EQ(file.find(".cvztmp"), std::string::npos);
}

const FailureCase kFailures[] = {
    {"full_replace", "full_disk", "big.bin=old", {100000}, PK_DISK, "disk full", "big.bin=old"},
    {"full_new", "full_disk", "", {1000}, PK_DISK, "disk full", "big.bin!"},
    {"full_large", "large_entry", "", {1000000}, PK_DISK, "disk full", "large.bin!"},
    {"rename_fails", "text_entry", "text.txt=old", {-1, true}, PK_DISK, "rename", "text.txt=old"},
    {"crc", "bad_crc", "badcrc.txt=old", {}, PK_ERR, "bad CRC", "badcrc.txt=old;fine.txt=fine\n"},
    {"bad_crc_large", "bad_crc_large", "large.bin=old", {}, PK_ERR, "bad CRC", "large.bin=old"},
    {"bad_password", "encrypted", "secret1.txt=old", {}, IZ_BADPWD, "incorrect", "secret1.txt=old"},
    {"folder_clash", "folder_clash", "docs=f;docs2/k=k", {}, PK_DISK, "", "docs=f;other.txt=o"},
    {"time_not_set", "text_entry", "", {-1, false, true}, PK_WARN, "time of", "binary.bin=a\nb\n"},
    {"aes_code",
     "aes_bad_code",
     "secret1.txt=old",
     {},
     PK_ERR,
     "authentication code differs",
     "secret1.txt=old;plain.txt=plain\n",
     "pw"},
    {"aes_data",
     "aes_bad_data",
     "",
     {},
     PK_ERR,
     "secret1.txt: authentication code differs",
     "secret1.txt!;plain.txt=plain\n",
     "pw"},
    {"aes_password", "aes", "secret1.txt=old", {}, IZ_BADPWD, "incorrect", "secret1.txt=old"},
    {"no_aes_here",
     "aes",
     "secret2.txt=old",
     {.cryptoUnavailable = true},
     IZ_UNSUP,
     "AES is not available",
     "secret2.txt=old;secret1.txt!;plain.txt=plain\n",
     "pw"},
    // Stopped through the progress callback: the file being written goes, complete ones stay.
    {"stop_first",
     "small_then_large",
     "first.txt=old",
     {.progressEveryStep = true},
     IZ_CTRLC,
     "stopped",
     "first.txt=old;large.bin!",
     nullptr,
     Stage::kFirstReport},
    {"stop_between",
     "small_then_large",
     "",
     {.progressEveryStep = true},
     IZ_CTRLC,
     "stopped",
     "first.txt=first\n",
     nullptr,
     Stage::kAfterFirstEntry},
    {"stop_inside",
     "small_then_large",
     "",
     {.progressEveryStep = true, .holdDecodeAt = 3 << 20},
     IZ_CTRLC,
     "stopped",
     "first.txt=first\n;large.bin!",
     nullptr,
     Stage::kInsideLastEntry},
};
INSTANTIATE_TEST_SUITE_P(Cases, FailureTest, testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(ScratchTest, TargetThatIsAFileFailsClearly) {
  WriteFile("file", "x");
  UnzipRun run;
  EXPECT_EQ(run.Extract(Crafted("text_entry.zip"), "file/below"), PK_DISK);
  EXPECT_TRUE(run.Printed("cannot create the target folder")) << run.Output();
  EXPECT_EQ(ReadFile("file"), "x");
}

// The thirteen values of each entry, folder entries included, and the totals; with include and
// exclude names, just the entries they select.
TEST_F(ScratchTest, ListingDeliversThirteenValuesAndTotals) {
  fs::path archive =
      MakeArchive({{"dir/z.txt", std::string(10000, 'z')}, {"empty", ""}, {"dir/", ""}}, "");
  UnzipRun run;
  ASSERT_EQ(run.List(archive), PK_OK);
  ASSERT_EQ(run.listed.size(), 3u);
  const UnzipRun::Listed& z = run.listed[0];
  EXPECT_EQ(z.name + " " + z.method + " " + std::to_string(z.size), "dir/z.txt Defl:N 10000");
  EXPECT_EQ(z.ratio, 1u);  // tiny but not zero: rounded up
  EXPECT_FALSE(z.encrypted);
  EXPECT_GE(z.year, 2020u);
  EXPECT_EQ(run.listed[1].ratio, 0u);
  EXPECT_EQ(run.listed[2].name, "dir/");
  EXPECT_EQ(run.functions.NumMembers, 3u);
  EXPECT_EQ(run.functions.TotalSize, 10000u);
  EXPECT_EQ(run.functions.TotalSizeComp, z.compressedSize);
  EXPECT_TRUE(run.lines.empty());
  EXPECT_FALSE(fs::exists("target"));
  UnzipRun some;
  some.include = {"*z*", "empty", "missing"};
  some.exclude = {"dir/"};
  EXPECT_EQ(some.List(archive), PK_FIND);
  ASSERT_EQ(some.listed.size(), 2u);
  EXPECT_EQ(some.listed[1].name, "empty");
  EXPECT_EQ(some.functions.NumMembers, 2u);
  EXPECT_EQ(some.functions.TotalSize, 10000u);
}

// Each kind of run counts the entries it selects and their sizes; a listing counts its central
// directory's bytes. (Every run of these suites checks that the counts only grow, see support.)
TEST_F(ScratchTest, ProgressTotalsAreThoseOfTheSelectedEntries) {
  fs::path archive =
      MakeArchive({{"a.txt", std::string(10000, 'a')}, {"d/b", std::string(5 << 20, 'b')}});
  cv::ArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive.string()).ok());
  const unsigned long long all = 10000 + (5 << 20), directory = reader.info().centralSize;
  const struct {
    char mode;  // l list, t test, x extract
    std::vector<std::string> include;
    unsigned long long bytes, entries;
  } cases[] = {{'x', {}, all, 2},
               {'t', {}, all, 2},
               {'x', {"d/*"}, all - 10000, 1},
               {'l', {}, directory, 2},
               {'l', {"a.txt"}, directory, 1}};
  for (const auto& c : cases) {
    UnzipRun run;
    run.include = c.include;
    const int rc = c.mode == 'l'   ? run.List(archive)
                   : c.mode == 't' ? run.Test(archive)
                                   : run.Extract(archive, "out");
    ASSERT_EQ(rc, PK_OK) << run.Output();
    EXPECT_EQ(run.progress.at(0).bytesTotal, c.bytes) << c.mode << c.include.size();
    EXPECT_EQ(run.progress[0].entriesTotal, c.entries) << c.mode << c.include.size();
  }
}

// Names that older systems wrote in their own code page, listed and extracted under it; a name
// flagged UTF-8 is never converted, valid or not, and the choice holds for one run.
TEST_F(ScratchTest, NamesInALegacyCodePage) {
  const struct {
    unsigned page;
    const char* name;
  } cases[] = {{932, "日本語.txt"}, {936, "中文名.txt"}, {1251, "Привет.txt"}, {866, "Привет.txt"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    const fs::path archive = Crafted("codepage_" + std::to_string(c.page) + ".zip");
    UnzipRun list, extract, next;
    ASSERT_EQ(Wiz_SetNameCodePage(c.page), 1);
    ASSERT_EQ(list.List(archive), PK_OK);
    std::vector<std::string> names;
    for (const UnzipRun::Listed& l : list.listed) names.push_back(l.name);
    EXPECT_EQ(names, (std::vector<std::string>{c.name, "flägged.txt", "╧≡.txt"}));
    ASSERT_EQ(Wiz_SetNameCodePage(c.page), 1);
    extract.include = {c.name};
    EXPECT_EQ(extract.Extract(archive, "out"), PK_OK) << extract.Output();
    EXPECT_EQ(ReadFile(fs::path("out") / c.name), c.name);
    ASSERT_EQ(next.List(archive), PK_OK);
    EXPECT_NE(next.listed.at(0).name, c.name);
    fs::remove_all("out");
  }
  EXPECT_EQ(Wiz_SetNameCodePage(12345), 0);
}

// The mark an extracted file gets from its archive's: the zone and the addresses, whatever the
// line ends and the case of the names; the Internet zone when the zone cannot be read.
TEST(ZoneMarkTest, CarriesTheZoneAndTheAddresses) {
  const struct {
    const char* archive;
    const char* file;
  } cases[] = {
      {"[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.com/\r\n"
       "HostUrl=https://example.com/a.zip\r\n",
       "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.com/\r\n"
       "HostUrl=https://example.com/a.zip\r\n"},
      {"[ZoneTransfer]\nZoneId=4\n", "[ZoneTransfer]\r\nZoneId=4\r\n"},
      {"[zonetransfer]\r\n zoneid = 2 \r\nLastWriterPackageFamilyName=x\r\n",
       "[ZoneTransfer]\r\nZoneId=2\r\n"},
      {"[Other]\r\nZoneId=0\r\nHostUrl=x\r\n[ZoneTransfer]\r\nZoneId=1\r\n",
       "[ZoneTransfer]\r\nZoneId=1\r\n"},
      {"[ZoneTransfer]\r\nZoneId=three\r\nHostUrl=about:internet\r\n",
       "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=about:internet\r\n"},
      {"", "[ZoneTransfer]\r\nZoneId=3\r\n"},
      {"\xff\xfe[Z", "[ZoneTransfer]\r\nZoneId=3\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(cv::ExtractedFileMark(c.archive), c.file) << c.archive;
}

TEST(EntryPathTest, GivesThePathExtractionWrites) {
  struct Case {
    const char* name;
    int folders, spaces;
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
  EXPECT_EQ(v.unzip.major * 100 + v.unzip.minor * 10 + v.dllapimin.major, 101);
  EXPECT_EQ(v.flag & 1, 0u);
  UZPVER tooShort;
  std::memset(&tooShort, 'x', sizeof tooShort);
  tooShort.structlen = 10;
  UzpVersion2(&tooShort);
  EXPECT_EQ(tooShort.betalevel[0], 'x');
}

// Memory outside the shared budgets grows with the workers, so a large machine runs no more than
// the most.
TEST(WorkerThreadsTest, OnePerProcessorUpToTheMost) {
  const struct {
    const char* processors;
    unsigned workers;
  } cases[] = {{"1", 1}, {"3", 3}, {"16", 16}, {"17", 16}, {"256", 16}};
  for (const auto& c : cases) {
    ASSERT_EQ(setenv("CORVANE_THREADS", c.processors, 1), 0);
    EXPECT_EQ(cv::WorkerThreads(), c.workers) << c.processors;
  }
  unsetenv("CORVANE_THREADS");
}

}  // namespace
}  // namespace enginetest
