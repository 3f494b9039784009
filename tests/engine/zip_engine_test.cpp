// The zip engine through its C entry points: archives checked by peer tools, each option against
// the stored names and contents it must give, update and freshen, other tools' archives rewritten,
// delete, traditional and AES encryption, names in a legacy code page, and the failures that must
// leave an archive exactly as it was.
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/faults.h"
#include "zip/pipeline.h"
#include "support.h"

namespace enginetest {
namespace {

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// Every archive we write is read by the peers, which extract the same bytes, names, times and
// folders; the levels cover stored, deflated whole and the multi-block streams.
TEST_F(ScratchTest, PeersReadAndExtractWhatWeWrite) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"tree/a.txt", "hello\nworld\n"},
      {"tree/empty.bin", ""},
      {"tree/big.txt", Lines(1300000)},
      {"tree/rand.bin", RandomBytes(1100000, 7)},
      {"tree/sub/Zoë 日本.txt", "non-ASCII name\n"},
      {"tree/sub/deeper/x.dat", RandomBytes(1000, 3) + Lines(5000)},
      // Just under and just over the size compressed whole (libdeflate) rather than in blocks.
      {"tree/whole.txt", Lines(cv::kWholeFileSize).substr(0, cv::kWholeFileSize - 1)},
      {"tree/blocks.txt", Lines(cv::kWholeFileSize + 1).substr(0, cv::kWholeFileSize + 1)},
  };
  int64_t t = 1500000000;
  for (const auto& [name, data] : files) {
    WriteFile(name, data);
    SetTime(name, t += 86400 + 2);
  }
  fs::create_directories("tree/emptydir");
  for (char level : {char(0), '0', '1', '9'}) {
    SCOPED_TRACE(level ? std::string("level ") + level : std::string("default level"));
    ZPOPT o{};
    o.fRecurse = 2;
    o.fLevel = level;
    Shell("rm -rf out.zip x-*");
    ZipResult r = Zip(o, "out.zip", {"tree"});
    ASSERT_EQ(r.code, ZE_OK) << r.Text();
    EXPECT_EQ(PeersAccept("out.zip"), "");
    const std::pair<const char*, const char*> peers[] = {
        {"unzip -q out.zip -d x-unzip", "x-unzip"},
        {"7zz x -y -ox-7z out.zip", "x-7z"},
        {"python3 -c \"import zipfile; zipfile.ZipFile('out.zip').extractall('x-py')\"", "x-py"}};
    for (const auto& [command, dir] : peers) {
      std::string out;
      ASSERT_EQ(Shell(command, &out), 0) << out;
      EXPECT_EQ(CompareTrees("tree", std::string(dir) + "/tree"), "") << command;
      // Python's zipfile sets no times.
      for (const auto& [name, data] : files) {
        if (dir[2] != 'p')
          EXPECT_EQ(FileTime(dir + ("/" + name)), FileTime(name)) << command << name;
      }
    }
    for (const Listed& l : List("out.zip")) {
      if (level == '0') EXPECT_EQ(l.method, 0) << l.name;
      if (l.name == "tree/big.txt" && level != '0') EXPECT_EQ(l.method, 8);
      // Random data does not shrink: stored, also when it spans several blocks.
      if (l.name == "tree/rand.bin") EXPECT_EQ(l.method, 0);
      const bool ascii = std::all_of(l.name.begin(), l.name.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
      EXPECT_EQ((l.flags & 0x800) != 0, !ascii) << l.name;
    }
  }
}

struct NameCase {
  const char* what;
  const char* flags;  // r recurse, j junk folders, D no folder entries, S hidden and system, P the
                      // program's defaults (jD)
  const char* root;   // base folder; "@" stands for the scratch folder
  const char* names;  // "@" stands for the scratch folder
  const char* stored;
};

// Each option against the stored names it must give. b/d/.h is hidden.
TEST_F(ScratchTest, OptionsGiveTheStoredNames) {
  for (const char* f : {"b/f0", "b/d/f1", "b/d/.h", "b/d/e/f2"}) WriteFile(f, f);
  const NameCase cases[] = {
      {"program defaults", "P", "", "b/f0 b/d", "f0"},
      {"program defaults, recursing", "Pr", "", "b", "f0 f1 f2"},
      {"folder names and the folder entry", "", "", "b/f0 b/d", "b/d/ b/f0"},
      {"recursion skips hidden files", "r", "", "b", "b/ b/d/ b/d/e/ b/d/e/f2 b/d/f1 b/f0"},
      {"hidden files with fSystem", "rS", "", "b/d", "b/d/ b/d/.h b/d/e/ b/d/e/f2 b/d/f1"},
      {"a hidden file named", "", "", "b/d/.h", "b/d/.h"},
      {"no folder entries", "rD", "", "b/d", "b/d/e/f2 b/d/f1"},
      {"names relative to the base", "", "@/b", "@/b/d/f1 @/b/f0", "d/f1 f0"},
      {"a file outside the base", "", "@/b/d", "@/b/f0", "@/b/f0"},
      {"a base of blanks", "", "   ", "b/f0", "b/f0"},
      {"relative names with ..", "", "", "b/d/../f0", "b/f0"},
      {"wildcard *", "", "", "b/*0", "b/f0"},
      {"a matched folder, not recursing", "", "", "b/d/*", "b/d/e/ b/d/f1"},
      {"wildcard ?", "", "", "b/f?", "b/f0"},
      {"junk folders", "rj", "", "b", "f0 f1 f2"},
      {"a name given twice", "", "", "b/f0 b/f0", "b/f0"},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto expand = [&](std::string text, const std::string& with) {
      for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, with);
      return text;
    };
    const std::string flags = c.flags, root = expand(c.root, dir());
    ZPOPT o = flags.find('P') != std::string::npos ? ProgramDefaults() : ZPOPT{};
    if (flags.find('r') != std::string::npos) o.fRecurse = 2;
    if (flags.find('j') != std::string::npos) o.fJunkDir = 1;
    if (flags.find('D') != std::string::npos) o.fNoDirEntries = 1;
    if (flags.find('S') != std::string::npos) o.fSystem = 1;
    o.szRootDir = const_cast<char*>(root.c_str());
    fs::remove("out.zip");
    ZipResult r = Zip(o, "out.zip", Split(expand(c.names, dir())));
    ASSERT_EQ(r.code, ZE_OK) << r.Text();
    EXPECT_EQ(Sorted(Names("out.zip")), Split(expand(c.stored, dir().substr(1))));
    // Each file holds its own path: the entry's CRC tells which file it holds.
    for (const Listed& l : List("out.zip")) {
      const std::string base = l.name.substr(l.name.rfind('/') + 1);
      const char* paths[] = {"b/f0", "b/d/f1", "b/d/.h", "b/d/e/f2"};
      for (const char* path : paths) {
        if (!base.empty() && fs::path(path).filename() == base)
          EXPECT_EQ(l.crc, Crc(path)) << l.name;
      }
    }
  }
}

// What a scan meets besides files and folders: links to folders are not descended (a link cycle
// cannot make the scan endless) but followed when named, a pipe is left out (reading it would wait
// forever), and a device named as a file to add is refused.
TEST_F(ScratchTest, LinksPipesAndDevices) {
  WriteFile("t/a", "a");
  WriteFile("real/x", "x");
  fs::create_directory_symlink("../real", "t/link");
  fs::create_directory_symlink("..", "t/cycle");
  ASSERT_EQ(::mkfifo("t/pipe", 0600), 0);
  ZPOPT o{};
  o.fRecurse = 2;
  ZipResult r = Zip(o, "t.zip", {"t"});
  ASSERT_EQ(r.code, ZE_OK) << r.Text();
  EXPECT_EQ(Sorted(Names("t.zip")), Sorted({"t/", "t/a"}));
  ASSERT_EQ(Zip(o, "l.zip", {"t/link"}).code, ZE_OK);
  EXPECT_EQ(Sorted(Names("l.zip")), Sorted({"t/link/", "t/link/x"}));
  r = Zip(o, "d.zip", {"/dev/null"});
  EXPECT_EQ(r.code, ZE_OPEN) << r.Text();
  EXPECT_TRUE(r.Printed("not a file or folder: /dev/null")) << r.Text();
  EXPECT_FALSE(fs::exists("d.zip"));
}

// The archive never swallows itself when it lies in a folder being added.
TEST_F(ScratchTest, ArchiveInsideTheAddedFolderIsNotAdded) {
  WriteFile("d/x", "x");
  ZPOPT o{};
  o.fRecurse = 2;
  ASSERT_EQ(Zip(o, "d/self.zip", {"d"}).code, ZE_OK);
  ASSERT_EQ(Zip(o, "d/self.zip", {"d"}).code, ZE_OK);
  EXPECT_EQ(Sorted(Names("d/self.zip")), Sorted({"d/", "d/x"}));
}

// Line-end conversion touches text files only, marks them as text, and gives the same bytes
// when a CR LF pair straddles a compression block boundary.
TEST_F(ScratchTest, LineEndConversionOfTextFiles) {
  const std::string binary("x\r\n\0\ny", 6);
  WriteFile("crlf.txt", "one\r\ntwo\r\nthree\n");
  WriteFile("lf.txt", "one\ntwo\r\nthree\n");
  WriteFile("binary.dat", binary);
  WriteFile("straddle.txt", std::string(512 * 1024 - 1, 'a') + "\r\n" + Lines(600000, "\r\n"));
  for (int ZPOPT::*flag : {&ZPOPT::fCRLF_LF, &ZPOPT::fLF_CRLF}) {
    const bool toLf = flag == &ZPOPT::fCRLF_LF;
    SCOPED_TRACE(toLf ? "CR LF to LF" : "LF to CR LF");
    Shell("rm -rf out.zip x");
    ZPOPT o{};
    o.*flag = 1;
    ASSERT_EQ(Zip(o, "out.zip", {"crlf.txt", "lf.txt", "binary.dat", "straddle.txt"}).code, ZE_OK);
    std::string out;
    ASSERT_EQ(Shell("7zz x -y -ox out.zip", &out), 0) << out;
    const std::string three = toLf ? "one\ntwo\nthree\n" : "one\r\ntwo\r\nthree\r\n";
    EXPECT_EQ(ReadFile("x/crlf.txt") + ReadFile("x/lf.txt"), three + three);
    EXPECT_EQ(ReadFile("x/binary.dat"), binary);
    std::string straddle = ReadFile("straddle.txt"), converted;
    for (size_t i = 0; i < straddle.size(); ++i) {
      if (toLf && straddle[i] == '\r' && i + 1 < straddle.size() && straddle[i + 1] == '\n') {
        continue;
      }
      if (!toLf && straddle[i] == '\n' && (i == 0 || straddle[i - 1] != '\r')) converted += '\r';
      converted += straddle[i];
    }
    EXPECT_TRUE(ReadFile("x/straddle.txt") == converted);
    for (const Listed& l : List("out.zip")) {
      EXPECT_EQ(l.internalAttributes & 1, l.name == "binary.dat" ? 0 : 1) << l.name;
    }
  }
}

struct UpdateCase {
  const char* label;
  const char* maker;   // "ours", or "python" for an archive with DOS times only
  char mode;           // 'u' update, 'f' freshen, ' ' plain add
  int aNewer, bNewer;  // seconds the files on disk are newer than when archived
  const char* names;   // in the archive afterwards
  const char* after;   // a and b in the archive afterwards
  int code;
};

class UpdateTest : public ScratchTest, public testing::WithParamInterface<UpdateCase> {};

// Update and freshen replace an entry only by a newer file, by the UTC time the entry stores or,
// in an archive from another tool, by DOS times alone, at the two seconds they hold.
TEST_P(UpdateTest, ReplacesInPlaceByTime) {
  const UpdateCase& c = GetParam();
  const int64_t t0 = 1000000000;  // even: a DOS time holds it exactly
  WriteFile("a", "old a");
  WriteFile("b", "old b");
  SetTime("a", t0);
  SetTime("b", t0);
  if (std::string(c.maker) == "ours") {
    ASSERT_EQ(Zip(ZPOPT{}, "arc.zip", {"a", "b"}).code, ZE_OK);
  } else {
    ASSERT_EQ(Shell("python3 -c \"import zipfile; z = zipfile.ZipFile('arc.zip', 'w'); "
                    "z.write('a'); z.write('b'); z.close()\""),
              0);
  }
  const std::string before = ReadFile("arc.zip");
  WriteFile("a", "new a");
  WriteFile("b", "new b");
  WriteFile("c", "c");
  SetTime("a", t0 + c.aNewer);
  SetTime("b", t0 + c.bNewer);
  ZPOPT o{};
  o.fUpdate = c.mode == 'u';
  o.fFreshen = c.mode == 'f';
  ZipResult r = Zip(o, "arc.zip", {"a", "b", "c"});
  EXPECT_EQ(r.code, c.code) << r.Text();
  EXPECT_EQ(Names("arc.zip"), Split(c.names));
  std::string a, b;
  Shell("unzip -p arc.zip a", &a);
  Shell("unzip -p arc.zip b", &b);
  EXPECT_EQ(a + "," + b, c.after);
  // An entry replaced is told as updated, and only then.
  for (const std::string& name : {"a", "b"}) {
    const bool replaced = (name == "a" ? a : b).rfind("new", 0) == 0;
    EXPECT_EQ(r.Text().find("updating: " + name + " ") != std::string::npos, replaced) << r.Text();
  }
  if (c.code == ZE_NONE) EXPECT_TRUE(ReadFile("arc.zip") == before);
}

const UpdateCase kUpdates[] = {
    {"update", "ours", 'u', 100, -1000, "a b c", "new a,old b", ZE_OK},
    {"update_by_a_second", "ours", 'u', 1, 0, "a b c", "new a,old b", ZE_OK},
    {"freshen", "ours", 'f', 100, -1000, "a b", "new a,old b", ZE_OK},
    {"freshen_nothing_newer", "ours", 'f', -9, 0, "a b", "old a,old b", ZE_NONE},
    {"plain_add", "ours", ' ', 100, -1000, "a b c", "new a,new b", ZE_OK},
    {"update_dos", "python", 'u', 2, 1, "a b c", "new a,old b", ZE_OK},
    {"freshen_dos", "python", 'f', 2, 1, "a b", "new a,old b", ZE_OK},
};
INSTANTIATE_TEST_SUITE_P(Modes, UpdateTest, testing::ValuesIn(kUpdates),
                         [](const auto& info) { return std::string(info.param.label); });

// Entries of other tools' archives are copied byte for byte, whatever their layout: a stub in
// front, data descriptors, zip64 fields; the comment is kept and the archive reads back.
TEST_F(ScratchTest, OtherToolsArchivesAreRewrittenByteForByte) {
  WriteFile("src/x.txt", Lines(3000));
  ASSERT_EQ(Shell("cd src && zip -q -fz ../zip64.zip x.txt"), 0);
  WriteFile("new.txt", "new");
  for (const std::string name :
       {"zip64", "prefix_unadjusted", "prefix_adjusted", "data_descriptors", "zip64_valid",
        "zip64_extra_sizes", "zip64_prefix"}) {
    const std::string archive = name + ".zip";
    if (name != "zip64") fs::copy_file(Crafted(archive), archive);
    SCOPED_TRACE(archive);
    std::string comment, after;
    const std::vector<std::string> names = Names(archive), bytes = EntryBytes(archive);
    List(archive, &comment);
    ASSERT_EQ(Zip(ZPOPT{}, archive, {"new.txt"}).code, ZE_OK);
    std::vector<std::string> expected = names;
    expected.push_back("new.txt");
    EXPECT_EQ(Names(archive), expected);
    std::vector<std::string> rewritten = EntryBytes(archive);
    rewritten.pop_back();
    EXPECT_TRUE(rewritten == bytes);
    List(archive, &after);
    EXPECT_EQ(after, comment);
    EXPECT_EQ(PeersAccept(archive), "");
  }
}

struct ReplacementCase {
  const char* label;
  const char* failing;  // read through the fault injection: this file or folder
  uint64_t failAt;      // fails from this byte on (0: it cannot be opened or listed)
  char change;          // what the service callback does to big: 't' truncate, 'g' grow, 'r' remove
  const char* kept;     // the entry left as it was; "" for none
  const char* warned;   // what the warning names
  // big's size: past the size compressed whole it is read block by block, behind the writer, and
  // changed in the service callback; a whole file is read ahead, and changed once it is scanned.
  uint64_t bigSize = 48 << 20;
};

class ReplacementTest : public ScratchTest, public testing::WithParamInterface<ReplacementCase> {
 protected:
  void TearDown() override {
    cv::SetFaultInjection({});
    ScratchTest::TearDown();
  }
};

// A file that cannot be read, or changes size while it is read, never costs the archive its
// entry: the entry it was to replace stays as it was, in its place, and a new one is left out;
// the warning names it, and everything else is added.
TEST_P(ReplacementTest, KeepsTheEntryAFileCouldNotReplace) {
  const ReplacementCase& c = GetParam();
  WriteFile("a", "old a");
  WriteFile("big", std::string(c.bigSize, 'o'));  // more blocks than are read ahead of the writer
  WriteFile("d/x", "old x");
  ZPOPT o{};
  o.fRecurse = 2;
  o.fLevel = '1';
  ASSERT_EQ(Zip(o, "arc.zip", {"a", "big", "d"}).code, ZE_OK);
  const std::vector<std::string> before = EntryBytes("arc.zip");
  const std::vector<std::string> names = {"a", "big", "d/", "d/x", "n"};
  WriteFile("a", "new a");
  WriteFile("big", std::string(c.bigSize, 'n'));
  WriteFile("d/x", "new x");
  WriteFile("n", "new n");
  const std::string failing = dir() + "/" + c.failing;
  cv::SetFaultInjection({.failReadPath = failing.c_str(), .failReadAt = c.failAt});
  ZipAnswers answers;
  auto change = [&] {
    if (c.change == 't') fs::resize_file("big", c.bigSize * 5 / 6);
    if (c.change == 'g') std::ofstream("big", std::ios::app) << "more";
    if (c.change == 'r') fs::remove("big");
  };
  const bool whole = c.bigSize <= cv::kWholeFileSize;
  answers.onService = [&](const std::string& name) {
    if (name == "big" && !whole) change();
  };
  // The first report comes after the scan, before any file is read.
  answers.onProgress = [&](const Progress& p) {
    if (whole && p.bytesDone == 0 && p.entriesDone == 0) change();
  };
  ZipResult r = Zip(o, "arc.zip", {"a", "big", "d", "n"}, answers);
  cv::SetFaultInjection({});
  const std::string kept = c.kept;
  EXPECT_EQ(r.code, ZE_OPEN) << r.Text();
  EXPECT_TRUE(r.Printed("zip warning: could not read " + std::string(c.warned))) << r.Text();
  std::vector<std::string> expected = names;
  if (kept.empty()) expected.pop_back();
  EXPECT_EQ(Names("arc.zip"), expected);
  const std::vector<std::string> after = EntryBytes("arc.zip");
  for (size_t i = 0; i < before.size(); ++i) {
    if (names[i] != "d/") EXPECT_EQ(after[i] == before[i], names[i] == kept) << names[i];
  }
  EXPECT_EQ(PeersAccept("arc.zip"), "");
}

const ReplacementCase kReplacements[] = {
    {"cannot_be_opened", "big", 0, 0, "big", "big"},
    {"read_fails_half_way", "big", 40 << 20, 0, "big", "big"},
    {"shrinks_while_read", "", 0, 't', "big", "big"},
    {"grows_while_read", "", 0, 'g', "big", "big"},
    {"vanishes_while_read", "", 0, 'r', "big", "big"},
    {"whole_file_read_fails_half_way", "big", 512 << 10, 0, "big", "big", 1 << 20},
    {"whole_file_shrinks_after_the_scan", "", 0, 't', "big", "big", 1 << 20},
    {"whole_file_grows_after_the_scan", "", 0, 'g', "big", "big", 1 << 20},
    {"new_file_cannot_be_opened", "n", 0, 0, "", "n"},
    {"subfolder_cannot_be_listed", "d", 0, 0, "d/x", "folder d"},
};
INSTANTIATE_TEST_SUITE_P(Faults, ReplacementTest, testing::ValuesIn(kReplacements),
                         [](const auto& info) { return std::string(info.param.label); });

// A new or changed archive and a replaced extracted file reach the disk before they take their
// name: the temporary file is flushed, moved, and the move made durable by flushing its folder.
TEST_F(ScratchTest, ReplacementsAreFlushedBeforeTheyAreMoved) {
  WriteFile("a", "a");
  cv::StartRecording();
  ASSERT_EQ(Zip(ZPOPT{}, "arc.zip", {"a"}).code, ZE_OK);
  ASSERT_EQ(Zip(ZPOPT{}, "arc.zip", {"a"}).code, ZE_OK);
  UnzipRun run;
  run.dcl.noflag = 1;
  ASSERT_EQ(run.Extract("arc.zip", "."), PK_OK) << run.Output();
  std::vector<std::string> calls = cv::RecordedCalls();
  for (std::string& call : calls) {
    for (size_t at; (at = call.find(".cvztmp")) != std::string::npos;)
      call.replace(at - 9, 16, "~");
  }
  const std::vector<std::string> commit = {"flush arc.zip~", "move arc.zip~ arc.zip",
                                           "flush folder ."};
  std::vector<std::string> expected = commit;
  expected.insert(expected.end(), commit.begin(), commit.end());
  expected.insert(expected.end(), {"flush ./a~", "move ./a~ ./a", "flush folder ."});
  EXPECT_EQ(calls, expected);
}

// A system that gives fewer threads than asked for: with none, both engines end with an error code
// and change nothing; with some, they go on with those (the large entry's checking thread
// included) and do everything.
TEST_F(ScratchTest, ThreadsThatCannotStart) {
  ASSERT_EQ(UnzipRun().Extract(Crafted("large_entry.zip"), "ref"), PK_OK);
  ZPOPT recurse{};
  recurse.fRecurse = 2;
  for (int allowed : {0, 1, 2}) {
    SCOPED_TRACE(std::to_string(allowed) + " threads");
    fs::remove_all("out");
    cv::SetFaultInjection({.threadStarts = allowed});
    UnzipRun run;
    const int unzipped = run.Extract(Crafted("large_entry.zip"), "out");
    cv::SetFaultInjection({.threadStarts = allowed});
    ZipResult zipped = Zip(recurse, "z.zip", {"ref"});
    cv::SetFaultInjection({});
    EXPECT_EQ(unzipped, allowed == 0 ? PK_MEM : PK_OK) << run.Output();
    EXPECT_EQ(CompareTrees("ref", "out"), allowed == 0 ? "missing: after.txt" : "");
    EXPECT_EQ(zipped.code, allowed == 0 ? ZE_MEM : ZE_OK) << zipped.Text();
    EXPECT_EQ(fs::exists("z.zip"), allowed > 0);
    if (allowed == 0) EXPECT_TRUE(run.Printed("cannot start a thread") && zipped.Printed("thread"));
  }
  EXPECT_EQ(PeersAccept("z.zip"), "");
}

// Exact names first, a pattern only for a name that equals no entry, and "dir/" with its
// contents.
TEST_F(ScratchTest, DeleteSelectsExactNamesFirst) {
  const std::string all = "a1.txt a2.txt a*.txt A1.txt dir/ dir/x dir/sub/y dirx/z";
  const struct {
    const char* names;
    const char* left;
    int code;
  } cases[] = {
      {"a1.txt", "a2.txt a*.txt A1.txt dir/ dir/x dir/sub/y dirx/z", ZE_OK},
      {"a*.txt", "a1.txt a2.txt A1.txt dir/ dir/x dir/sub/y dirx/z", ZE_OK},
      {"a?.txt", "A1.txt dir/ dir/x dir/sub/y dirx/z", ZE_OK},
      {"dir/", "a1.txt a2.txt a*.txt A1.txt dirx/z", ZE_OK},
      {"dir/x dirx/*", "a1.txt a2.txt a*.txt A1.txt dir/ dir/sub/y", ZE_OK},
      {"*", "", ZE_OK},
      {"nothing.txt", all.c_str(), ZE_NONE},
      {"", all.c_str(), ZE_NONE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.names);
    ASSERT_EQ(Shell("rm -f arc.zip && python3 -c \"import sys, zipfile\n"
                    "with zipfile.ZipFile('arc.zip','w') as z:\n"
                    "  z.comment=b'c'\n"
                    "  for n in sys.argv[1:]: z.writestr(n, n)\" " +
                    all),
              0);
    const std::string before = ReadFile("arc.zip");
    ZPOPT o{};
    o.fDeleteEntries = 1;
    ZipResult r = Zip(o, "arc.zip", Split(c.names));
    EXPECT_EQ(r.code, c.code) << r.Text();
    std::string comment;
    EXPECT_EQ(Names("arc.zip"), Split(c.left));
    List("arc.zip", &comment);
    EXPECT_EQ(comment, "c");
    if (c.code != ZE_OK) EXPECT_TRUE(ReadFile("arc.zip") == before);
    EXPECT_EQ(PeersAccept("arc.zip"), "");
    EXPECT_EQ(Tree("."), std::vector<std::string>{"arc.zip"});
  }
}

class EncryptionTest : public ScratchTest, public testing::WithParamInterface<int> {};

// Entries of every size open with the password in 7zz and in our own engine, byte for byte; unzip
// reads the traditional ones. AES entries name their key size, and those under 20 bytes store no
// CRC (vendor version 2).
TEST_P(EncryptionTest, EntriesOpenWithThePassword) {
  const int encryption = GetParam();
  const std::vector<std::pair<std::string, std::string>> files = {
      {"secret.txt", Lines(1300000)},
      {"small.txt", "tiny"},
      {"empty.txt", ""},
      {"one.txt", "1"},
      {"rand.bin", RandomBytes(700000, 11)},
      {"nineteen.txt", std::string(19, 'n')},
      {"twenty.txt", std::string(20, 't')}};
  std::vector<std::string> names;
  for (const auto& [name, data] : files) {
    WriteFile("src/" + name, data);
    names.push_back("src/" + name);
  }
  ZPOPT o{};
  o.fEncrypt = 1;
  ZipResult r = Zip(o, "enc.zip", names, {"pa55 word", "", encryption});
  ASSERT_EQ(r.code, ZE_OK) << r.Text();
  EXPECT_EQ(r.passwordCalls, 1);
  for (const Listed& l : List("enc.zip")) {
    EXPECT_EQ(l.flags & 1, 1) << l.name;
    if (encryption) EXPECT_EQ(l.method, 99) << l.name;
    if (encryption && l.size < 20) EXPECT_EQ(l.crc, 0u) << l.name;
    if (encryption && l.size >= 20) EXPECT_EQ(l.crc, Crc(ReadFile(l.name))) << l.name;
  }
  UnzipRun list;
  ASSERT_EQ(list.List("enc.zip"), PK_OK);
  const std::string method = encryption ? "AES-" + std::to_string(64 + 64 * encryption) : "";
  for (const UnzipRun::Listed& l : list.listed) {
    if (encryption) EXPECT_EQ(l.method, method) << l.name;
    EXPECT_TRUE(l.encrypted) << l.name;
  }
  std::string out;
  ASSERT_EQ(Shell("7zz t '-ppa55 word' enc.zip", &out), 0) << out;
  ASSERT_EQ(Shell("7zz x -y -o7 '-ppa55 word' enc.zip", &out), 0) << out;
  EXPECT_EQ(CompareTrees("src", "7/src"), "");
  UnzipRun ours;
  ours.passwords = {"pa55 word"};
  ASSERT_EQ(ours.Extract("enc.zip", "ours"), PK_OK) << ours.Output();
  EXPECT_EQ(CompareTrees("src", "ours/src"), "");
  EXPECT_NE(Shell("7zz t -pwrong enc.zip", &out), 0);
  if (encryption == ZP_ENCRYPTION_TRADITIONAL) {
    ASSERT_EQ(Shell("unzip -q -P 'pa55 word' enc.zip -d u", &out), 0) << out;
    EXPECT_EQ(CompareTrees("src", "u/src"), "");
    EXPECT_NE(Shell("unzip -q -P wrong -o enc.zip -d w", &out), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, EncryptionTest,
                         testing::Values(ZP_ENCRYPTION_TRADITIONAL, ZP_ENCRYPTION_AES128,
                                         ZP_ENCRYPTION_AES192, ZP_ENCRYPTION_AES256));

// A name listed under a code page deletes or replaces its entry; the entries kept keep their
// stored bytes.
TEST_F(ScratchTest, NamesInALegacyCodePageSelectTheirEntries) {
  fs::copy_file(Crafted("codepage_932.zip"), "cp.zip");
  const std::vector<std::string> stored = EntryBytes("cp.zip");
  ZPOPT del{};
  del.fDeleteEntries = 1;
  EXPECT_EQ(Zip(del, "cp.zip", {"日本語.txt"}).code, ZE_NONE);
  ZipResult r = Zip(del, "cp.zip", {"日本語.txt"}, {"", "", ZP_ENCRYPTION_TRADITIONAL, 932});
  ASSERT_EQ(r.code, ZE_OK) << r.Text();
  EXPECT_EQ(r.lines, std::vector<std::string>{"deleting: 日本語.txt"});
  EXPECT_EQ(EntryBytes("cp.zip"), (std::vector<std::string>{stored[1], stored[2]}));
  fs::copy_file(Crafted("codepage_1251.zip"), "cp2.zip");
  const std::vector<std::string> kept = EntryBytes("cp2.zip");
  WriteFile("Привет.txt", "replaced");
  r = Zip(ProgramDefaults(), "cp2.zip", {"Привет.txt"}, {"", "", ZP_ENCRYPTION_TRADITIONAL, 1251});
  ASSERT_EQ(r.code, ZE_OK) << r.Text();
  EXPECT_EQ(r.lines, std::vector<std::string>{"updating: Привет.txt (stored 0%)"});
  const std::vector<std::string> after = EntryBytes("cp2.zip");
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(Names("cp2.zip")[0], "Привет.txt");
  EXPECT_EQ(std::vector<std::string>(after.begin() + 1, after.end()),
            std::vector<std::string>(kept.begin() + 1, kept.end()));
}

TEST_F(ScratchTest, CountZeroCreatesAnEmptyArchiveAndLeavesAnExistingFileAlone) {
  ASSERT_EQ(Zip(ProgramDefaults(), "new.zip", {}).code, ZE_OK);
  EXPECT_EQ(PeersAccept("new.zip"), "");
  EXPECT_TRUE(Names("new.zip").empty());
  WriteFile("a.txt", "a");
  ASSERT_EQ(Zip(ProgramDefaults(), "new.zip", {"a.txt"}).code, ZE_OK);
  const std::string zip = ReadFile("new.zip");
  EXPECT_EQ(Zip(ProgramDefaults(), "new.zip", {}).code, ZE_OK);
  EXPECT_TRUE(ReadFile("new.zip") == zip);
  WriteFile("text.zip", "not an archive");
  EXPECT_EQ(Zip(ProgramDefaults(), "text.zip", {}).code, ZE_READ);
  EXPECT_EQ(ReadFile("text.zip"), "not an archive");
}

TEST_F(ScratchTest, MessagesAndServiceCallsFollowTheEntries) {
  WriteFile("a.txt", Lines(5000));
  WriteFile("b.txt", "b");
  ZipResult r = Zip(ZPOPT{}, "arc.zip", {"a.txt", "b.txt"});
  ASSERT_EQ(r.code, ZE_OK);
  ASSERT_EQ(r.lines.size(), 2u) << r.Text();
  EXPECT_EQ(r.lines[0].rfind("  adding: a.txt (deflated ", 0), 0u) << r.lines[0];
  EXPECT_EQ(r.lines[1], "  adding: b.txt (stored 0%)");
  EXPECT_EQ(r.serviced, (std::vector<std::string>{"a.txt", "b.txt"}));
  // The progress counts the new archive's entries, the files' bytes and the entries copied over.
  EXPECT_EQ(r.progress.at(0).bytesTotal, fs::file_size("a.txt") + 1);
  EXPECT_EQ(r.progress[0].entriesTotal, 2u);
  const std::string kept = EntryBytes("arc.zip").at(0);
  ZPOPT quiet{}, verbose{}, del{};
  quiet.fQuiet = verbose.fVerbose = del.fDeleteEntries = 1;
  EXPECT_TRUE(Zip(quiet, "q.zip", {"a.txt"}).lines.empty());
  r = Zip(verbose, "v.zip", {"a.txt"});
  ASSERT_EQ(r.lines.size(), 2u) << r.Text();
  EXPECT_EQ(r.lines[1].rfind("total bytes=", 0), 0u);
  r = Zip(del, "arc.zip", {"b.txt"});
  EXPECT_EQ(r.progress.at(0).bytesTotal, kept.size());
  EXPECT_EQ(r.progress[0].entriesTotal, 1u);
  EXPECT_EQ(r.lines, std::vector<std::string>{"deleting: b.txt"});
  EXPECT_EQ(r.serviced, std::vector<std::string>{"b.txt"});
}

struct FailureCase {
  const char* what;
  const char* archive;  // bad.zip: arc.zip damaged, folder.zip: a folder, text.zip: a text,
                        // counts.zip: the crafted disk_count_differs.zip
  // d delete, e encrypt, a AES (with a password), x level 'x', m fMove, b a missing base folder
  const char* options;
  cv::FaultInjection faults;
  const char* names;
  const char* stopAt;
  int code;
  Stage stop = Stage::kNone;  // where the progress callback stops the run
};

// Every failure gives its code and a message line, and leaves the archive byte for byte as it
// was with no temporary file beside it.
TEST_F(ScratchTest, FailuresLeaveTheArchiveAsItWas) {
  WriteFile("a.txt", Lines(800000));
  WriteFile("b.txt", "b");
  WriteFile("big.txt", Lines(24 << 20));  // many blocks: the workers cannot get far ahead
  const cv::FaultInjection everyStep{.progressEveryStep = true};
  const FailureCase cases[] = {
      {"a name matching no file", "arc.zip", "", {}, "b.txt missing.txt", "", ZE_OPEN},
      {"a pattern matching no file", "arc.zip", "", {}, "*.none", "", ZE_OPEN},
      {"a base folder that does not exist", "arc.zip", "b", {}, "b.txt", "", ZE_OPEN},
      {"an archive in a missing folder", "no-such-folder/new.zip", "", {}, "b.txt", "", ZE_CREAT},
      {"an archive path under a file", "b.txt/new.zip", "", {}, "b.txt", "", ZE_CREAT},
      {"an archive name that is a folder", "folder.zip", "", {}, "b.txt", "", ZE_CREAT},
      {"a file that is not an archive", "text.zip", "", {}, "b.txt", "", ZE_READ},
      {"a damaged archive", "bad.zip", "", {}, "b.txt", "", ZE_FORM},
      {"end record counts that disagree", "counts.zip", "", {}, "b.txt", "", ZE_FORM},
      {"a full disk", "arc.zip", "", {100000}, "a.txt", "", ZE_WRITE},
      {"a full disk while deleting", "arc.zip", "d", {10}, "old.txt", "", ZE_WRITE},
      {"a failed rename", "arc.zip", "", {-1, true}, "b.txt", "", ZE_TEMP},
      {"a stop request", "arc.zip", "", {}, "b.txt a.txt", "a.txt", ZE_ABORTED},
      {"a stop request while deleting", "arc.zip", "d", {}, "old.txt", "old.txt", ZE_ABORTED},
      {"no password for encryption", "arc.zip", "e", {}, "b.txt", "", ZE_LOGIC},
      {"no AES on this system",
       "arc.zip",
       "ea",
       {.cryptoUnavailable = true},
       "b.txt",
       "",
       ZE_PARMS},
      {"an unknown compression level", "arc.zip", "x", {}, "b.txt", "", ZE_PARMS},
      {"an unsupported option", "arc.zip", "m", {}, "b.txt", "", ZE_PARMS},
      {"a stop at the first report", "arc.zip", "", everyStep, "b.txt", "", ZE_ABORTED,
       Stage::kFirstReport},
      {"a stop between entries", "arc.zip", "", everyStep, "b.txt a.txt", "", ZE_ABORTED,
       Stage::kAfterFirstEntry},
      {"a stop inside a large file", "arc.zip", "", everyStep, "big.txt", "", ZE_ABORTED,
       Stage::kInsideLastEntry},
      {"a stop while the directory is written", "arc.zip", "", everyStep, "b.txt", "", ZE_ABORTED,
       Stage::kAllEntriesDone},
      {"a stop while deleting, the directory written", "arc.zip", "d", everyStep, "old.txt", "",
       ZE_ABORTED, Stage::kAllEntriesDone},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    Shell("rm -rf arc.zip bad.zip text.zip folder.zip counts.zip");
    fs::copy_file(Crafted("disk_count_differs.zip"), "counts.zip");
    WriteFile("old.txt", "old");
    ASSERT_EQ(Zip(ZPOPT{}, "arc.zip", {"old.txt"}).code, ZE_OK);
    std::string damaged = ReadFile("arc.zip");
    damaged[damaged.size() - 22 + 16] ^= 0x40;  // the central directory's offset
    WriteFile("bad.zip", damaged);
    WriteFile("text.zip", "just text");
    fs::create_directory("folder.zip");
    const std::vector<std::string> before = Tree(".", true);
    const std::string bytes = ReadFile(c.archive), options = c.options;
    ZPOPT o{};
    o.fDeleteEntries = options.find('d') != std::string::npos;
    o.fEncrypt = options.find('e') != std::string::npos;
    o.fMove = options.find('m') != std::string::npos;
    if (options.find('x') != std::string::npos) o.fLevel = 'x';
    if (options.find('b') != std::string::npos) o.szRootDir = const_cast<char*>("no-such-folder");
    cv::SetFaultInjection(c.faults);
    const bool aes = options.find('a') != std::string::npos;
    ZipAnswers answers{aes ? "pw" : "", c.stopAt, aes ? ZP_ENCRYPTION_AES256 : 0};
    answers.stopAtStage = c.stop;
    ZipResult r = Zip(o, c.archive, Split(c.names), answers);
    cv::SetFaultInjection({});
    EXPECT_EQ(r.code, c.code) << r.Text();
    ASSERT_FALSE(r.lines.empty());
    EXPECT_EQ(r.lines.back().rfind("zip error: ", 0), 0u) << r.lines.back();
    EXPECT_TRUE(ReadFile(c.archive) == bytes);
    EXPECT_EQ(Tree(".", true), before);
  }
}

// cvz's subcommands: a command-line zip's defaults, -b as the program's base folder, and their
// exit codes.
TEST_F(ScratchTest, CvzSubcommandsAndTheirExitCodes) {
  fs::copy_file(Crafted("codepage_866.zip"), "cp.zip");
  WriteFile("base/a.txt", "a");
  WriteFile("base/d/b.txt", "b");
  const std::string cvz = Quote(CVZ_PATH) + " ";
  const struct {
    const char* command;
    int code;
    const char* names;  // of t.zip afterwards
  } cases[] = {
      {"add t.zip -r base", 0, "base/ base/a.txt base/d/ base/d/b.txt"},
      {"add b.zip -b base -D -r -0 d a.txt", 0, "base/ base/a.txt base/d/ base/d/b.txt"},
      {"add b.zip -b no-such-folder a.txt", ZE_OPEN, ""},
      {"add t.zip -u -f base", 10, ""},
      {"add t.zip -z base", 10, ""},
      {"list t.zip", PK_OK, ""},
      {"test t.zip -q", PK_OK, ""},
      {"extract t.zip -d out -o base/d/b.txt", PK_OK, ""},
      {"extract t.zip -d out nothing", PK_FIND, ""},
      {"extract missing.zip", PK_NOZIP, ""},
      {"list", 10, ""},
      {"frobnicate", 10, ""},
      {"delete t.zip nothing", ZE_NONE, ""},
      {"delete t.zip base/d/", 0, "base/ base/a.txt"},
      {"add t.zip -e -p pw --aes 192 base/a.txt", 0, "base/ base/a.txt"},
      {"test t.zip -p pw", PK_OK, ""},
      {"add t.zip --aes 256 base/a.txt", 10, ""},
      {"add t.zip -e -p pw --aes 100 base/a.txt", 10, ""},
      {"list t.zip --codepage 932", PK_OK, ""},
      {"list t.zip --codepage 12345", 10, ""},
      {"list t.zip --codepage x", 10, ""},
      {"extract cp.zip -d cp --codepage 866", PK_OK, ""},
      {"delete cp.zip --codepage 866 Привет.txt", 0, ""},
      {"--help", 0, "base/ base/a.txt"},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(Shell(cvz + c.command, &out), c.code) << c.command << "\n" << out;
    if (*c.names) EXPECT_EQ(Sorted(Names("t.zip")), Split(c.names)) << c.command;
  }
  EXPECT_EQ(Sorted(Names("b.zip")), Sorted({"a.txt", "d/b.txt"}));
  EXPECT_EQ(ReadFile("out/base/d/b.txt"), "b");
  EXPECT_EQ(List("t.zip").at(1).method, 99);
  EXPECT_EQ(ReadFile("cp/Привет.txt"), "Привет.txt");
  EXPECT_EQ(Names("cp.zip").size(), 2u);
}

}  // namespace
}  // namespace enginetest
