// The zip engine through its C entry points: archives checked by peer tools, each option against
// the stored names and contents it must give, update and freshen, delete, encryption, and the
// failures that must leave an archive exactly as it was.
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <random>

#include "platform/faults.h"
#include "platform/path.h"
#include "zip_support.h"

namespace ziptest {
namespace {

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = char(rng());
  return s;
}

// Text that deflate shrinks, long enough to span several compression blocks.
std::string Lines(size_t n, const char* end = "\n") {
  std::string s;
  for (size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i * 7919 % 100003) + end;
  return s;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

class ZipEngineTest : public ZipTest {
 protected:
  // tree/ with text, empty, multi-block compressible and random files, a non-ASCII name, nested
  // and empty folders; every file gets its own even-second time.
  void MakeTree() {
    ASSERT_EQ(Shell("mkdir -p tree/sub/deeper tree/emptydir"), 0);
    m_files = {
        {"tree/a.txt", "hello\nworld\n"},
        {"tree/empty.bin", ""},
        {"tree/big.txt", Lines(1300000)},
        {"tree/rand.bin", RandomBytes(1100000, 7)},
        {"tree/sub/Zoë 日本.txt", "non-ASCII name\n"},
        {"tree/sub/deeper/x.dat", RandomBytes(1000, 3) + Lines(5000)},
    };
    int64_t t = 1500000000;
    for (auto& [name, data] : m_files) {
      WriteFile(name, data);
      SetTime(name, t += 3600 * 24 + 2);
    }
  }

  // Extracts with a peer and compares every file's bytes and time, and the empty folder.
  void ExpectPeerExtracts(const std::string& archive, const std::string& command,
                          const std::string& dir, bool checkTimes) {
    std::string out;
    ASSERT_EQ(Shell(command, &out), 0) << command << "\n" << out;
    for (const auto& [name, data] : m_files) {
      const std::string path = dir + "/" + name;
      EXPECT_EQ(ReadFile(path), data) << command << ": " << name;
      struct stat a, b;
      ASSERT_EQ(::stat(path.c_str(), &a), 0) << path;
      ASSERT_EQ(::stat(name.c_str(), &b), 0);
      if (checkTimes) EXPECT_LE(std::llabs(a.st_mtime - b.st_mtime), 2) << command << ": " << name;
    }
    struct stat st;
    EXPECT_EQ(::stat((dir + "/tree/emptydir").c_str(), &st), 0) << command;
    EXPECT_TRUE(S_ISDIR(st.st_mode)) << command;
  }

  std::vector<std::pair<std::string, std::string>> m_files;
};

// Every archive we write is read by the peers, which extract the same bytes, names, times and
// folders; the levels cover stored, deflated and the multi-block streams.
TEST_F(ZipEngineTest, PeersReadAndExtractWhatWeWrite) {
  MakeTree();
  for (char level : {char(0), '0', '1', '9'}) {
    SCOPED_TRACE(level ? std::string("level ") + level : std::string("default level"));
    ZPOPT o = ToolDefaults();
    o.fRecurse = 2;
    o.fLevel = level;
    Shell("rm -rf out.zip x-unzip x-7z x-py");
    RunResult r = Zip(o, "out.zip", {"tree"});
    ASSERT_EQ(r.code, ZE_OK) << r.Text();
    std::string out;
    EXPECT_EQ(Shell("unzip -t out.zip", &out), 0) << out;
    EXPECT_EQ(Shell("7zz t out.zip", &out), 0) << out;
    EXPECT_EQ(Shell("python3 -c \"import zipfile,sys; sys.exit(zipfile.ZipFile('out.zip')"
                    ".testzip() is not None)\"",
                    &out),
              0)
        << out;
    ExpectPeerExtracts("out.zip", "unzip -q out.zip -d x-unzip", "x-unzip", true);
    ExpectPeerExtracts("out.zip", "7zz x -y -ox-7z out.zip", "x-7z", true);
    ExpectPeerExtracts(
        "out.zip", "python3 -c \"import zipfile; zipfile.ZipFile('out.zip').extractall('x-py')\"",
        "x-py", false);
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
  std::function<void(ZPOPT&, const std::string& dir)> set;
  std::vector<std::string> names;   // "@" stands for the scratch folder
  std::vector<std::string> stored;  // "@" stands for the scratch folder without its leading "/"
};

// Each option against the stored names it must give.
TEST_F(ZipEngineTest, OptionsGiveTheStoredNames) {
  ASSERT_EQ(Shell("mkdir -p base/d1/d2"), 0);
  const std::vector<std::string> files = {"base/f0.txt", "base/d1/f1.txt", "base/d1/.hidden",
                                          "base/d1/d2/f2.txt"};
  for (const std::string& f : files) WriteFile(f, f);
  const auto none = [](ZPOPT&, const std::string&) {};
  const std::vector<NameCase> cases = {
      {"program defaults: file names only, folders neither stored nor descended",
       [](ZPOPT& o, const std::string&) { o = ProgramDefaults(); },
       {"base/f0.txt", "base/d1"},
       {"f0.txt"}},
      {"program defaults with recursion",
       [](ZPOPT& o, const std::string&) {
         o = ProgramDefaults();
         o.fRecurse = 2;
       },
       {"base"},
       {"f0.txt", "f1.txt", "f2.txt"}},
      {"tool defaults: folder names and the folder entry",
       none,
       {"base/f0.txt", "base/d1"},
       {"base/d1/", "base/f0.txt"}},
      {"recursion skips hidden files",
       [](ZPOPT& o, const std::string&) { o.fRecurse = 2; },
       {"base"},
       {"base/", "base/d1/", "base/d1/d2/", "base/d1/d2/f2.txt", "base/d1/f1.txt", "base/f0.txt"}},
      {"fSystem takes hidden files",
       [](ZPOPT& o, const std::string&) {
         o.fRecurse = 2;
         o.fSystem = 1;
       },
       {"base/d1"},
       {"base/d1/", "base/d1/.hidden", "base/d1/d2/", "base/d1/d2/f2.txt", "base/d1/f1.txt"}},
      {"a hidden file named explicitly is taken", none, {"base/d1/.hidden"}, {"base/d1/.hidden"}},
      {"no folder entries",
       [](ZPOPT& o, const std::string&) {
         o.fRecurse = 2;
         o.fNoDirEntries = 1;
       },
       {"base/d1"},
       {"base/d1/d2/f2.txt", "base/d1/f1.txt"}},
      {"base folder: names relative to it",
       [](ZPOPT& o, const std::string& dir) {
         static std::string root;
         root = dir + "/base";
         o.szRootDir = root.data();
       },
       {"@/base/d1/f1.txt", "@/base/f0.txt"},
       {"d1/f1.txt", "f0.txt"}},
      {"a file outside the base folder keeps its path without the leading separator",
       [](ZPOPT& o, const std::string& dir) {
         static std::string root;
         root = dir + "/base/d1";
         o.szRootDir = root.data();
       },
       {"@/base/f0.txt"},
       {"@/base/f0.txt"}},
      {"base folder of blanks only: the current folder",
       [](ZPOPT& o, const std::string&) {
         static char blanks[] = "   ";
         o.szRootDir = blanks;
       },
       {"base/f0.txt"},
       {"base/f0.txt"}},
      {"relative names with .. resolve before they are stored",
       none,
       {"base/d1/../f0.txt"},
       {"base/f0.txt"}},
      {"wildcard *", none, {"base/*.txt"}, {"base/f0.txt"}},
      {"wildcard ? and a matched folder without recursion",
       none,
       {"base/d1/*"},
       {"base/d1/d2/", "base/d1/f1.txt"}},
      {"wildcard ?", none, {"base/f?.txt"}, {"base/f0.txt"}},
      {"junk folders",
       [](ZPOPT& o, const std::string&) {
         o.fRecurse = 2;
         o.fJunkDir = 1;
       },
       {"base"},
       {"f0.txt", "f1.txt", "f2.txt"}},
      {"a name given twice is stored once", none, {"base/f0.txt", "base/f0.txt"}, {"base/f0.txt"}},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.what);
    Shell("rm -f out.zip");
    ZPOPT o = ToolDefaults();
    c.set(o, m_dir);
    std::vector<std::string> names;
    for (std::string n : c.names) {
      if (n[0] == '@') n = m_dir + n.substr(1);
      names.push_back(n);
    }
    std::vector<std::string> stored;
    for (std::string n : c.stored) {
      if (n[0] == '@') n = m_dir.substr(1) + n.substr(1);
      stored.push_back(n);
    }
    RunResult r = Zip(o, "out.zip", names);
    ASSERT_EQ(r.code, ZE_OK) << r.Text();
    EXPECT_EQ(Sorted(Names("out.zip")), Sorted(stored));
    // Each file holds its own path: the entry's CRC tells which file it holds.
    for (const Listed& l : List("out.zip")) {
      if (l.name.back() == '/') continue;
      const std::string base = "/" + l.name.substr(l.name.rfind('/') + 1);
      const auto file = std::find_if(files.begin(), files.end(), [&](const std::string& f) {
        return f.size() > base.size() && f.compare(f.size() - base.size(), base.size(), base) == 0;
      });
      ASSERT_NE(file, files.end()) << l.name;
      EXPECT_EQ(l.crc, Crc(*file)) << l.name;
    }
  }
}

// The archive never swallows itself when it lies in a folder being added.
TEST_F(ZipEngineTest, ArchiveInsideTheAddedFolderIsNotAdded) {
  ASSERT_EQ(Shell("mkdir d && echo x > d/x"), 0);
  ZPOPT o = ToolDefaults();
  o.fRecurse = 2;
  ASSERT_EQ(Zip(o, "d/self.zip", {"d"}).code, ZE_OK);
  ASSERT_EQ(Zip(o, "d/self.zip", {"d"}).code, ZE_OK);
  EXPECT_EQ(Sorted(Names("d/self.zip")), Sorted({"d/", "d/x"}));
}

// Line-end conversion touches text files only, marks them as text, and gives the same bytes
// when a CR LF pair straddles a compression block boundary.
TEST_F(ZipEngineTest, LineEndConversionOfTextFiles) {
  const size_t block = 512 * 1024;
  std::string straddling(block - 1, 'a');
  straddling += "\r\n" + Lines(600000, "\r\n");
  WriteFile("crlf.txt", "one\r\ntwo\r\nthree\n");
  WriteFile("lf.txt", "one\ntwo\r\nthree\n");
  WriteFile("binary.dat", std::string("x\r\n\0\ny", 6));
  WriteFile("straddle.txt", straddling);
  struct Case {
    const char* what;
    int ZPOPT::*flag;
    std::vector<std::pair<std::string, std::string>> expected;
  } cases[] = {
      {"CR LF to LF",
       &ZPOPT::fCRLF_LF,
       {{"crlf.txt", "one\ntwo\nthree\n"},
        {"lf.txt", "one\ntwo\nthree\n"},
        {"binary.dat", std::string("x\r\n\0\ny", 6)}}},
      {"LF to CR LF",
       &ZPOPT::fLF_CRLF,
       {{"crlf.txt", "one\r\ntwo\r\nthree\r\n"},
        {"lf.txt", "one\r\ntwo\r\nthree\r\n"},
        {"binary.dat", std::string("x\r\n\0\ny", 6)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Shell("rm -rf out.zip x");
    ZPOPT o = ToolDefaults();
    o.*c.flag = 1;
    ASSERT_EQ(Zip(o, "out.zip", {"crlf.txt", "lf.txt", "binary.dat", "straddle.txt"}).code, ZE_OK);
    std::string out;
    ASSERT_EQ(Shell("7zz x -y -ox out.zip", &out), 0) << out;
    for (const auto& [name, data] : c.expected) EXPECT_EQ(ReadFile("x/" + name), data) << name;
    std::string converted;
    for (size_t i = 0; i < straddling.size(); ++i) {
      const char ch = straddling[i];
      if (c.flag == &ZPOPT::fCRLF_LF && ch == '\r' && i + 1 < straddling.size() &&
          straddling[i + 1] == '\n') {
        continue;
      }
      if (c.flag == &ZPOPT::fLF_CRLF && ch == '\n' && (i == 0 || straddling[i - 1] != '\r')) {
        converted += '\r';
      }
      converted += ch;
    }
    EXPECT_TRUE(ReadFile("x/straddle.txt") == converted);
    for (const Listed& l : List("out.zip")) {
      EXPECT_EQ(l.internalAttributes & 1, l.name == "binary.dat" ? 0 : 1) << l.name;
    }
  }
}

class ZipUpdateTest : public ZipEngineTest {
 protected:
  void SetUp() override {
    ZipEngineTest::SetUp();
    WriteFile("a.txt", "old a");
    WriteFile("b.txt", "old b");
    SetTime("a.txt", 1000000000);
    SetTime("b.txt", 1000000000);
    ASSERT_EQ(Zip(ToolDefaults(), "arc.zip", {"a.txt", "b.txt"}).code, ZE_OK);
    WriteFile("a.txt", "new a, newer");
    SetTime("a.txt", 1000000100);
    WriteFile("b.txt", "new b, older");
    SetTime("b.txt", 999999000);
    WriteFile("c.txt", "c");
  }
  std::string Content(const std::string& name) {
    std::string out;
    EXPECT_EQ(Shell("unzip -p arc.zip " + name, &out), 0);
    return out;
  }
};

TEST_F(ZipUpdateTest, UpdateReplacesOnlyNewerFilesAndAddsNewOnes) {
  ZPOPT o = ToolDefaults();
  o.fUpdate = 1;
  RunResult r = Zip(o, "arc.zip", {"a.txt", "b.txt", "c.txt"});
  ASSERT_EQ(r.code, ZE_OK) << r.Text();
  EXPECT_EQ(Names("arc.zip"), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(Content("a.txt"), "new a, newer");
  EXPECT_EQ(Content("b.txt"), "old b");
  EXPECT_EQ(r.serviced, (std::vector<std::string>{"a.txt", "c.txt"}));
  EXPECT_NE(r.Text().find("updating: a.txt"), std::string::npos) << r.Text();
}

TEST_F(ZipUpdateTest, FreshenReplacesOnlyNewerFilesAndAddsNothing) {
  ZPOPT o = ToolDefaults();
  o.fFreshen = 1;
  ASSERT_EQ(Zip(o, "arc.zip", {"a.txt", "b.txt", "c.txt"}).code, ZE_OK);
  EXPECT_EQ(Names("arc.zip"), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(Content("a.txt"), "new a, newer");
  EXPECT_EQ(Content("b.txt"), "old b");
  // Nothing newer left: nothing to do, archive untouched.
  const std::string before = ReadFile("arc.zip");
  EXPECT_EQ(Zip(o, "arc.zip", {"a.txt", "b.txt", "c.txt"}).code, ZE_NONE);
  EXPECT_TRUE(ReadFile("arc.zip") == before);
}

TEST_F(ZipUpdateTest, PlainAddReplacesInPlaceWhateverTheTimes) {
  ASSERT_EQ(Zip(ToolDefaults(), "arc.zip", {"c.txt", "b.txt"}).code, ZE_OK);
  EXPECT_EQ(Names("arc.zip"), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(Content("a.txt"), "old a");
  EXPECT_EQ(Content("b.txt"), "new b, older");
}

// Entries written by another tool are copied as they are, the archive comment is kept, and the
// replaced entry keeps its place.
TEST_F(ZipEngineTest, ForeignArchiveKeepsOrderCommentAndEntries) {
  ASSERT_EQ(Shell("python3 -c \"import zipfile\n"
                  "with zipfile.ZipFile('arc.zip','w',zipfile.ZIP_DEFLATED) as z:\n"
                  "  z.comment=b'kept comment'\n"
                  "  z.writestr('x.txt','x'*1000)\n"
                  "  z.writestr('y.txt','old y')\n"
                  "  z.writestr('z/','')\n"
                  "  z.writestr('z/w.txt','w'*10)\""),
            0);
  const std::vector<Listed> before = List("arc.zip");
  WriteFile("y.txt", "new y");
  ASSERT_EQ(Zip(ToolDefaults(), "arc.zip", {"y.txt"}).code, ZE_OK);
  const std::vector<Listed> after = List("arc.zip");
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(ArchiveComment("arc.zip"), "kept comment");
  for (size_t i : {0, 2, 3}) {
    EXPECT_EQ(after[i].name, before[i].name);
    EXPECT_EQ(after[i].crc, before[i].crc);
    EXPECT_EQ(after[i].packed, before[i].packed);
  }
  EXPECT_EQ(after[1].crc, Crc("new y"));
  std::string out;
  EXPECT_EQ(Shell("unzip -tq arc.zip", &out), 0) << out;
  EXPECT_EQ(Shell("unzip -p arc.zip x.txt", &out), 0);
  EXPECT_EQ(out, std::string(1000, 'x'));
}

// Exact names first, a pattern only for a name that equals no entry, and "dir/" with its
// contents.
TEST_F(ZipEngineTest, DeleteSelectsExactNamesFirst) {
  const char* make =
      "python3 -c \"import zipfile\n"
      "with zipfile.ZipFile('arc.zip','w') as z:\n"
      "  z.comment=b'c'\n"
      "  for n in ['a1.txt','a2.txt','a*.txt','A1.txt','dir/','dir/x','dir/sub/y','dirx/z']:\n"
      "    z.writestr(n, n)\"";
  struct Case {
    std::vector<std::string> names;
    std::vector<std::string> left;
    int code;
  } cases[] = {
      {{"a1.txt"}, {"a2.txt", "a*.txt", "A1.txt", "dir/", "dir/x", "dir/sub/y", "dirx/z"}, ZE_OK},
      {{"a*.txt"}, {"a1.txt", "a2.txt", "A1.txt", "dir/", "dir/x", "dir/sub/y", "dirx/z"}, ZE_OK},
      {{"a?.txt"}, {"A1.txt", "dir/", "dir/x", "dir/sub/y", "dirx/z"}, ZE_OK},
      {{"dir/"}, {"a1.txt", "a2.txt", "a*.txt", "A1.txt", "dirx/z"}, ZE_OK},
      {{"dir/x", "dirx/*"}, {"a1.txt", "a2.txt", "a*.txt", "A1.txt", "dir/", "dir/sub/y"}, ZE_OK},
      {{"*"}, {}, ZE_OK},
      {{"nothing.txt"},
       {"a1.txt", "a2.txt", "a*.txt", "A1.txt", "dir/", "dir/x", "dir/sub/y", "dirx/z"},
       ZE_NONE},
      {{},
       {"a1.txt", "a2.txt", "a*.txt", "A1.txt", "dir/", "dir/x", "dir/sub/y", "dirx/z"},
       ZE_NONE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.names.empty() ? "(no names)" : c.names[0]);
    Shell("rm -f arc.zip");
    ASSERT_EQ(Shell(make), 0);
    const std::string before = ReadFile("arc.zip");
    ZPOPT o = ToolDefaults();
    o.fDeleteEntries = 1;
    RunResult r = Zip(o, "arc.zip", c.names);
    EXPECT_EQ(r.code, c.code) << r.Text();
    EXPECT_EQ(Names("arc.zip"), c.left);
    EXPECT_EQ(ArchiveComment("arc.zip"), "c");
    if (c.code != ZE_OK) EXPECT_TRUE(ReadFile("arc.zip") == before);
    std::string out;
    EXPECT_EQ(Shell("7zz t arc.zip", &out), 0) << out;
    EXPECT_EQ(Shell("python3 -c \"import zipfile,sys; sys.exit(zipfile.ZipFile('arc.zip')"
                    ".testzip() is not None)\""),
              0);
    ExpectOnly(m_dir, {"arc.zip"});
  }
}

TEST_F(ZipEngineTest, EncryptedEntriesOpenWithThePassword) {
  WriteFile("secret.txt", Lines(200000));
  WriteFile("small.txt", "tiny");
  WriteFile("rand.bin", RandomBytes(700000, 11));
  ZPOPT o = ToolDefaults();
  o.fEncrypt = 1;
  RunResult r = Zip(o, "enc.zip", {"secret.txt", "small.txt", "rand.bin"}, {"pa55 word", ""});
  ASSERT_EQ(r.code, ZE_OK) << r.Text();
  EXPECT_EQ(r.passwordCalls, 1);
  for (const Listed& l : List("enc.zip")) EXPECT_EQ(l.flags & 1, 1) << l.name;
  std::string out;
  ASSERT_EQ(Shell("7zz x -y -o7 '-ppa55 word' enc.zip", &out), 0) << out;
  ASSERT_EQ(Shell("unzip -q -P 'pa55 word' enc.zip -d u", &out), 0) << out;
  for (const char* f : {"secret.txt", "small.txt", "rand.bin"}) {
    EXPECT_TRUE(ReadFile(std::string("7/") + f) == ReadFile(f)) << f;
    EXPECT_TRUE(ReadFile(std::string("u/") + f) == ReadFile(f)) << f;
  }
  EXPECT_NE(Shell("unzip -q -P wrong -o enc.zip -d w", &out), 0);
}

TEST_F(ZipEngineTest, CountZeroCreatesAnEmptyArchiveAndLeavesAnExistingFileAlone) {
  ASSERT_EQ(Zip(ProgramDefaults(), "new.zip", {}).code, ZE_OK);
  std::string out;
  EXPECT_EQ(Shell("7zz t new.zip", &out), 0) << out;
  EXPECT_EQ(Shell("python3 -c \"import zipfile,sys; sys.exit(len(zipfile.ZipFile('new.zip')"
                  ".namelist()))\""),
            0);
  WriteFile("a.txt", "a");
  ASSERT_EQ(Zip(ProgramDefaults(), "new.zip", {"a.txt"}).code, ZE_OK);
  const std::string zip = ReadFile("new.zip");
  EXPECT_EQ(Zip(ProgramDefaults(), "new.zip", {}).code, ZE_OK);
  EXPECT_TRUE(ReadFile("new.zip") == zip);
  WriteFile("text.zip", "not an archive");
  EXPECT_EQ(Zip(ProgramDefaults(), "text.zip", {}).code, ZE_READ);
  EXPECT_EQ(ReadFile("text.zip"), "not an archive");
}

TEST_F(ZipEngineTest, MessagesAndServiceCallsFollowTheEntries) {
  WriteFile("a.txt", Lines(5000));
  WriteFile("b.txt", "b");
  RunResult r = Zip(ToolDefaults(), "arc.zip", {"a.txt", "b.txt"});
  ASSERT_EQ(r.code, ZE_OK);
  ASSERT_EQ(r.lines.size(), 2u) << r.Text();
  EXPECT_TRUE(r.lines[0].rfind("  adding: a.txt (deflated ", 0) == 0) << r.lines[0];
  EXPECT_EQ(r.lines[1], "  adding: b.txt (stored 0%)");
  EXPECT_EQ(r.serviced, (std::vector<std::string>{"a.txt", "b.txt"}));
  ZPOPT quiet = ToolDefaults();
  quiet.fQuiet = 1;
  EXPECT_TRUE(Zip(quiet, "q.zip", {"a.txt"}).lines.empty());
  ZPOPT verbose = ToolDefaults();
  verbose.fVerbose = 1;
  r = Zip(verbose, "v.zip", {"a.txt"});
  ASSERT_EQ(r.lines.size(), 2u) << r.Text();
  EXPECT_EQ(r.lines[1].rfind("total bytes=", 0), 0u);
  ZPOPT del = ToolDefaults();
  del.fDeleteEntries = 1;
  r = Zip(del, "arc.zip", {"b.txt"});
  EXPECT_EQ(r.lines, std::vector<std::string>{"deleting: b.txt"});
  EXPECT_EQ(r.serviced, std::vector<std::string>{"b.txt"});
}

struct FailureCase {
  const char* what;
  std::function<void()> setup;  // runs in the scratch folder, after arc.zip is written
  std::function<void(ZPOPT&)> set;
  std::string archive;
  std::vector<std::string> names;
  Answers answers;
  int code;
};

// Every failure gives its code and a message line, and leaves the archive byte for byte as it
// was with no temporary file beside it.
TEST_F(ZipEngineTest, FailuresLeaveTheArchiveAsItWas) {
  WriteFile("a.txt", Lines(800000));
  WriteFile("b.txt", "b");
  const auto none = [](ZPOPT&) {};
  const std::vector<FailureCase> cases = {
      {"a name that matches no file",
       [] {},
       none,
       "arc.zip",
       {"b.txt", "missing.txt"},
       {},
       ZE_OPEN},
      {"a pattern that matches no file", [] {}, none, "arc.zip", {"*.none"}, {}, ZE_OPEN},
      {"a base folder that does not exist",
       [] {},
       [](ZPOPT& o) {
         static char root[] = "no-such-folder";
         o.szRootDir = root;
       },
       "arc.zip",
       {"b.txt"},
       {},
       ZE_OPEN},
      {"an archive in a folder that does not exist",
       [] {},
       none,
       "no-such-folder/new.zip",
       {"b.txt"},
       {},
       ZE_CREAT},
      {"an archive path under a file", [] {}, none, "b.txt/new.zip", {"b.txt"}, {}, ZE_CREAT},
      {"an archive name that is a folder",
       [] { Shell("mkdir folder.zip"); },
       none,
       "folder.zip",
       {"b.txt"},
       {},
       ZE_CREAT},
      {"an existing file that is not an archive",
       [] { WriteFile("text.zip", "just text"); },
       none,
       "text.zip",
       {"b.txt"},
       {},
       ZE_READ},
      {"a damaged archive",
       [] {
         std::string z = ReadFile("arc.zip");
         z[z.size() - 22 + 16] ^= 0x40;  // the central directory's offset
         WriteFile("bad.zip", z);
       },
       none,
       "bad.zip",
       {"b.txt"},
       {},
       ZE_FORM},
      {"a full disk",
       [] {
         cv::SetFaultInjection({/*writableBytes=*/100000, false});
       },
       none,
       "arc.zip",
       {"a.txt"},
       {},
       ZE_WRITE},
      {"a full disk while deleting",
       [] {
         cv::SetFaultInjection({/*writableBytes=*/10, false});
       },
       [](ZPOPT& o) { o.fDeleteEntries = 1; },
       "arc.zip",
       {"old.txt"},
       {},
       ZE_WRITE},
      {"a failed rename",
       [] {
         cv::SetFaultInjection({-1, /*failRename=*/true});
       },
       none,
       "arc.zip",
       {"b.txt"},
       {},
       ZE_TEMP},
      {"a stop request", [] {}, none, "arc.zip", {"b.txt", "a.txt"}, {"", "a.txt"}, ZE_ABORTED},
      {"a stop request while deleting",
       [] {},
       [](ZPOPT& o) { o.fDeleteEntries = 1; },
       "arc.zip",
       {"old.txt"},
       {"", "old.txt"},
       ZE_ABORTED},
      {"no password for encryption",
       [] {},
       [](ZPOPT& o) { o.fEncrypt = 1; },
       "arc.zip",
       {"b.txt"},
       {},
       ZE_LOGIC},
      {"an unknown compression level",
       [] {},
       [](ZPOPT& o) { o.fLevel = 'x'; },
       "arc.zip",
       {"b.txt"},
       {},
       ZE_PARMS},
      {"an unsupported option",
       [] {},
       [](ZPOPT& o) { o.fMove = 1; },
       "arc.zip",
       {"b.txt"},
       {},
       ZE_PARMS},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    Shell("rm -rf arc.zip bad.zip text.zip folder.zip");
    WriteFile("old.txt", "old");
    ASSERT_EQ(Zip(ToolDefaults(), "arc.zip", {"old.txt"}).code, ZE_OK);
    c.setup();
    const std::vector<std::string> before = FolderNames(m_dir);
    const std::string bytes = ReadFile(c.archive);
    ZPOPT o = ToolDefaults();
    c.set(o);
    RunResult r = Zip(o, c.archive, c.names, c.answers);
    cv::SetFaultInjection({});
    EXPECT_EQ(r.code, c.code) << r.Text();
    ASSERT_FALSE(r.lines.empty());
    EXPECT_EQ(r.lines.back().rfind("zip error: ", 0), 0u) << r.lines.back();
    EXPECT_TRUE(ReadFile(c.archive) == bytes);
    EXPECT_EQ(FolderNames(m_dir), before);
  }
}

// cvz add and delete: a command-line zip's defaults, -b as the program's base folder, the help's
// flag-to-field table.
TEST_F(ZipEngineTest, CvzToolAddsAndDeletes) {
  const std::string cvz = Quote(CVZ_PATH);
  ASSERT_EQ(Shell("mkdir -p base/d && echo a > base/a.txt && echo b > base/d/b.txt"), 0);
  std::string out;
  ASSERT_EQ(Shell(cvz + " add t.zip -r base", &out), 0) << out;
  EXPECT_EQ(Sorted(Names("t.zip")), Sorted({"base/", "base/a.txt", "base/d/", "base/d/b.txt"}));
  ASSERT_EQ(Shell(cvz + " add b.zip -b base -D -r -0 d a.txt", &out), 0) << out;
  EXPECT_EQ(Sorted(Names("b.zip")), Sorted({"a.txt", "d/b.txt"}));
  EXPECT_EQ(Shell(cvz + " add b.zip -b no-such-folder a.txt", &out), ZE_OPEN) << out;
  ASSERT_EQ(Shell(cvz + " delete t.zip base/d/", &out), 0) << out;
  EXPECT_EQ(Names("t.zip"), (std::vector<std::string>{"base/", "base/a.txt"}));
  EXPECT_EQ(Shell(cvz + " delete t.zip nothing", &out), ZE_NONE) << out;
  EXPECT_EQ(Shell(cvz + " add t.zip -u -f base", &out), 10) << out;  // a usage error
  ASSERT_EQ(Shell(cvz + " --help", &out), 0);
  for (const char* field : {"fRecurse", "fJunkDir", "fNoDirEntries", "szRootDir", "fLevel",
                            "fUpdate", "fFreshen", "fLF_CRLF", "fCRLF_LF", "fSystem", "fEncrypt"}) {
    EXPECT_NE(out.find(field), std::string::npos) << field;
  }
}

}  // namespace
}  // namespace ziptest
