// Crafted archives: unsafe names, overlapping entries, lying headers, damaged records. Each gives
// its return code and a message, writes nothing outside the target and nothing for a refused
// entry, and the sound entries beside a damaged one still come out.
#include <gtest/gtest.h>

#include <fstream>

#include "unzip_test_support.h"

namespace unzip_test {
namespace {

struct HostileCase {
  const char* archive;
  int listCode;
  int extractCode;
  const char* message;                  // part of a print line of the extraction
  std::vector<const char*> written;     // files that must exist afterwards, "name=content"
  std::vector<const char*> notWritten;  // files that must not
};

const HostileCase kCases[] = {
    {"overlap_bomb.zip", PK_OK, PK_ERR, "overlaps another entry", {}, {"bomb/0.txt", "bomb/1.txt"}},
    {"overlap_inner.zip",
     PK_OK,
     PK_ERR,
     "first.txt: overlaps",
     {"second.txt=2222222222"},
     {"first.txt"}},
    {"local_name_differs.zip",
     PK_OK,
     PK_ERR,
     "disagree on the name",
     {"fine.txt=fine\n"},
     {"name.txt", "other.txt"}},
    {"local_method_differs.zip",
     PK_OK,
     PK_ERR,
     "disagree on the method",
     {"fine.txt=fine\n"},
     {"method.txt"}},
    {"local_crc_differs.zip",
     PK_OK,
     PK_ERR,
     "disagree on CRC or sizes",
     {"fine.txt=fine\n"},
     {"crc.txt"}},
    {"csize_past_end.zip", PK_OK, PK_ERR, "csize.txt:", {"fine.txt=fine\n"}, {"csize.txt"}},
    {"usize_too_small.zip",
     PK_OK,
     PK_ERR,
     "data longer than its header says",
     {"fine.txt=fine\n"},
     {"short.txt"}},
    {"usize_too_big.zip",
     PK_OK,
     PK_ERR,
     "data shorter than its header says",
     {"fine.txt=fine\n"},
     {"long.txt"}},
    {"bad_crc.zip", PK_OK, PK_ERR, "bad CRC", {"fine.txt=fine\n"}, {"badcrc.txt"}},
    {"corrupt_deflate.zip",
     PK_OK,
     PK_ERR,
     "compressed data damaged",
     {"fine.txt=fine\n"},
     {"garbage.txt"}},
    {"deflate_trailing_bytes.zip",
     PK_OK,
     PK_ERR,
     "ends before its stated size",
     {"fine.txt=fine\n"},
     {"trailing.txt"}},
    {"bzip2_entry.zip",
     PK_OK,
     IZ_UNSUP,
     "unsupported compression method 12 (BZip2)",
     {"fine.txt=fine\n"},
     {"bz.txt"}},
    {"aes_entry.zip",
     PK_OK,
     IZ_UNSUP,
     "unsupported compression method 99 (AES)",
     {"fine.txt=fine\n"},
     {"aes.txt"}},
    {"cd_offset_wrong.zip", PK_OK, PK_ERR, "local header missing", {}, {"one.txt", "two.txt"}},
    {"count_too_high.zip", PK_BADERR, PK_BADERR, "different number of entries", {}, {"one.txt"}},
    {"cd_offset_past_end.zip", PK_BADERR, PK_BADERR, "central directory", {}, {"one.txt"}},
    {"local_offset_past_cd.zip",
     PK_BADERR,
     PK_BADERR,
     "past the central directory",
     {},
     {"loop.txt"}},
    {"zip64_extra_missing.zip", PK_BADERR, PK_BADERR, "zip64 extra field missing", {}, {}},
    {"zip64_locator_wrong.zip", PK_BADERR, PK_BADERR, "central directory", {}, {"z.txt"}},
    {"zip64_counts_differ.zip",
     PK_BADERR,
     PK_BADERR,
     "zip64 end record counts disagree",
     {},
     {"z.txt"}},
    {"empty.zip", PK_NOZIP, PK_NOZIP, "is empty, not a ZIP archive", {}, {}},
    {"not_a_zip.zip", PK_NOZIP, PK_NOZIP, "is not a ZIP archive", {}, {}},
    {"only_end_record.zip", PK_OK, PK_OK, "", {}, {}},
    {"unsafe_names.zip",
     PK_OK,
     PK_OK,
     "extracting: evil1.txt",
     {"evil1.txt=../evil1.txt\n", "abs/evil2.txt=/abs/evil2.txt\n", "evil3.txt=C:\\evil3.txt\n",
      "evil4.txt=C:evil4.txt\n", "server/share/evil5.txt=\\\\server\\share\\evil5.txt\n",
      "a/evil6.txt=a/../../evil6.txt\n", "dir/sub/back.txt=dir\\sub\\back.txt\n", "_CON=CON\n",
      "_aux.txt=aux.txt\n", "_lpt1=lpt1\n", "bad_______.txt=bad<>:\"|?*.txt\n",
      "trailing__=trailing. \n", "dot/x.txt=./dot/./x.txt\n", "ok.txt=ok.txt\n"},
     {}},
    {"symlink.zip",
     PK_OK,
     PK_OK,
     "extracting: link",
     {"link=/etc/passwd", "after.txt=after\n"},
     {}},
    {"zip64_valid.zip", PK_OK, PK_OK, "inflating: big.txt", {}, {}},
    {"zip64_extra_sizes.zip", PK_OK, PK_OK, "inflating: z64x.txt", {}, {}},
    {"prefix_unadjusted.zip", PK_OK, PK_OK, "inflating: sfx.txt", {}, {}},
    {"prefix_adjusted.zip", PK_OK, PK_OK, "inflating: sfx.txt", {}, {}},
    {"comment_decoy.zip", PK_OK, PK_OK, "extracting: c.txt", {"c.txt=c\n"}, {}},
    {"data_descriptors.zip", PK_OK, PK_OK, "inflating: dd3.txt", {}, {}},
    {"cp437_name.zip", PK_OK, PK_OK, "", {"caf\xc3\xa9 \xc2\xa3.txt=cp437\n"}, {}},
    {"utf8_unflagged.zip",
     PK_OK,
     PK_OK,
     "",
     {"na\xc3\xafve \xe6\x97\xa5\xe6\x9c\xac.txt=utf8\n"},
     {}},
    {"utf8_flagged_invalid.zip", PK_OK, PK_OK, "", {"\xc2\xa0\xe2\x96\xa0.txt=bad\n"}, {}},
    {"unicode_path_extra.zip",
     PK_OK,
     PK_OK,
     "",
     {"\xc3\xbcn\xc3\xaf"
      "code.txt=u\n",
      "stale.txt=s\n"},
     {"plain.txt", "wrong.txt"}},
    {"duplicates.zip",
     PK_OK,
     PK_OK,
     "skipping: same.txt  (file exists)",
     {"same.txt=first\n", "Case.txt=upper\n", "case.txt=lower\n"},
     {}},
    {"long_name.zip", PK_OK, PK_OK, "", {}, {}},
};

class HostileArchiveTest : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileArchiveTest, GivesItsCodeAndWritesOnlyWhatIsSound) {
  const HostileCase& c = GetParam();
  fs::path archive = HostileArchives() / c.archive;
  EngineRun list;
  EXPECT_EQ(list.List(archive), c.listCode) << list.Output();
  if (c.listCode != PK_OK) EXPECT_FALSE(list.lines.empty());

  ScratchDir dir;
  fs::path target = dir / "target";
  EngineRun run;
  EXPECT_EQ(run.Extract(archive, target), c.extractCode) << run.Output();
  EXPECT_TRUE(run.Printed(c.message)) << run.Output();
  // Nothing lands beside the target folder.
  for (const auto& e : fs::directory_iterator(dir.path())) {
    EXPECT_EQ(e.path().filename(), "target");
  }
  for (const char* w : c.written) {
    std::string written = w;
    size_t eq = written.find('=');
    fs::path file = target / fs::u8path(written.substr(0, eq));
    EXPECT_TRUE(fs::is_regular_file(file)) << written.substr(0, eq) << "\n" << run.Output();
    EXPECT_EQ(ReadFile(file), written.substr(eq + 1));
  }
  for (const char* n : c.notWritten) EXPECT_FALSE(fs::exists(target / n)) << n;

  EngineRun test;
  EXPECT_EQ(test.Test(archive), c.extractCode) << test.Output();
}

INSTANTIATE_TEST_SUITE_P(Crafted, HostileArchiveTest, testing::ValuesIn(kCases),
                         [](const auto& info) {
                           std::string name = info.param.archive;
                           return name.substr(0, name.find('.'));
                         });

TEST(HostileArchiveTest, MissingArchiveIsReported) {
  ScratchDir dir;
  EngineRun run;
  EXPECT_EQ(run.Extract(dir / "nowhere.zip", dir / "out"), PK_NOZIP);
  EXPECT_TRUE(run.Printed("cannot find")) << run.Output();
  EXPECT_FALSE(fs::exists(dir / "out"));
}

// Every truncation and every single damaged byte of a small archive: a clear code, no crash,
// no hang, nothing outside the target, and only entries whose CRC matched are written.
TEST(HostileArchiveTest, EveryTruncationAndDamagedByteIsHandled) {
  ScratchDir dir;
  WriteFile(dir / "src/a.txt", std::string(300, 'a') + "end\n");
  WriteFile(dir / "src/sub/b.txt", "bee\n");
  fs::path archive = dir / "small.zip";
  ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && zip -q -r " + Quote(archive) + " ."), 0);
  std::string bytes = ReadFile(archive);
  fs::path damaged = dir / "damaged.zip";
  auto check = [&](const std::string& data, const std::string& what) {
    WriteFile(damaged, data);
    fs::path target = dir / "t";
    EngineRun list;
    int listed = list.List(damaged);
    EXPECT_TRUE(listed == PK_OK || listed == PK_BADERR || listed == PK_NOZIP) << what;
    EngineRun run;
    int rc = run.Extract(damaged, target);
    if (rc != PK_OK) EXPECT_FALSE(run.lines.empty()) << what;
    if (fs::exists(target / "a.txt"))
      EXPECT_EQ(ReadFile(target / "a.txt"), ReadFile(dir / "src/a.txt")) << what;
    if (fs::exists(target / "sub/b.txt"))
      EXPECT_EQ(ReadFile(target / "sub/b.txt"), "bee\n") << what;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      std::string name = e.path().filename().string();
      EXPECT_TRUE(name == "src" || name == "small.zip" || name == "damaged.zip" || name == "t")
          << what << ": " << name;
    }
    fs::remove_all(target);
  };
  for (size_t n = 0; n < bytes.size(); ++n) {
    check(bytes.substr(0, n), "cut at " + std::to_string(n));
  }
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::string copy = bytes;
    copy[i] = char(copy[i] ^ 0x5a);
    check(copy, "byte " + std::to_string(i) + " damaged");
  }
}

}  // namespace
}  // namespace unzip_test
