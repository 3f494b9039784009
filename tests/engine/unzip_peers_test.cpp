// Archives written by other ZIP tools: extracted trees equal the source byte for byte, with their
// times, and print lines in archive order; the test run passes; the listing equals what Python's
// zipfile reads from the same archive.
#include <map>
#include <memory>
#include <sstream>

#include "support.h"

namespace enginetest {
namespace {

struct PeerCase {
  const char* label;
  const char* command;   // run in the source folder; $A is the archive, $P the Python writer
  const char* password;  // nullptr: not encrypted
  bool storesFolders;    // empty folders come back
};

const PeerCase kPeers[] = {
    {"zip_store", "zip -q -r -0 $A .", nullptr, true},
    {"zip_fast", "zip -q -r -1 $A .", nullptr, true},
    {"zip_best", "zip -q -r -9 $A .", nullptr, true},
    {"zip_no_folder_entries", "zip -q -r -D $A .", nullptr, false},
    {"zip_forced_zip64", "zip -q -r -fz $A .", nullptr, true},
    {"zip_encrypted", "zip -q -r -e -P 'sesame pw' $A .", "sesame pw", true},
    {"7zz_deflate", "7zz a -bd -tzip $A . >/dev/null", nullptr, true},
    {"7zz_zipcrypto", "7zz a -tzip -mem=ZipCrypto -psesame $A . >/dev/null", "sesame", true},
    {"7zz_aes128", "7zz a -tzip -mem=AES128 -psesame $A . >/dev/null", "sesame", true},
    {"7zz_aes192", "7zz a -tzip -mem=AES192 -psesame $A . >/dev/null", "sesame", true},
    {"7zz_aes256", "7zz a -tzip -mem=AES256 '-pse same' $A . >/dev/null", "se same", true},
    {"7zz_aes256_stored", "7zz a -tzip -mm=Copy -mem=AES256 -psesame $A . >/dev/null", "sesame",
     true},
    {"7zz_deflate64", "7zz a -tzip -mm=Deflate64 $A . >/dev/null", nullptr, true},
    {"7zz_deflate64_best", "7zz a -tzip -mm=Deflate64 -mx=9 $A . >/dev/null", nullptr, true},
    {"python_zip64", "python3 -c \"$P\" $A zip64", nullptr, true},
    {"python_descriptors", "python3 -c \"$P\" $A stream", nullptr, true},
    {"python_stored_comments", "python3 -c \"$P\" $A comments", nullptr, true},
    {"bsdtar", "bsdtar --format zip -cf $A .", nullptr, true},
};

// Writes the current folder into an archive with Python's zipfile: forced zip64 records, data
// descriptors (the archive goes to a stream that cannot seek), or stored entries with comments.
const char kPythonWriter[] = R"PY(
import os, sys, zipfile
path, mode = sys.argv[1], sys.argv[2]
class Stream:
    def __init__(self, f): self.f = f; self.n = 0
    def write(self, b): self.n += len(b); return self.f.write(b)
    def tell(self): return self.n
    def flush(self): self.f.flush()
out = open(path, 'wb')
target = Stream(out) if mode == 'stream' else out
method = zipfile.ZIP_STORED if mode == 'comments' else zipfile.ZIP_DEFLATED
with zipfile.ZipFile(target, 'w', method) as z:
    if mode == 'comments': z.comment = b'archive comment ' * 100
    for root, dirs, files in os.walk('.'):
        for d in sorted(dirs):
            p = os.path.relpath(os.path.join(root, d))
            if not os.listdir(p): z.write(p)
        for f in sorted(files):
            p = os.path.relpath(os.path.join(root, f))
            if mode == 'zip64':
                info = zipfile.ZipInfo.from_file(p)
                info.compress_type = method
                with open(p, 'rb') as src, z.open(info, 'w', force_zip64=True) as dst:
                    dst.write(src.read())
            else:
                z.write(p)
                if mode == 'comments': z.getinfo(p).comment = ('comment of ' + p).encode()
out.close()
)PY";

// Prints one line per entry as Python's zipfile reads it.
const char kPythonLister[] = R"PY(
import sys, zipfile
for i in zipfile.ZipFile(sys.argv[1]).infolist():
    name = i.filename
    if not i.flag_bits & 0x800:
        # Tools on Linux store UTF-8 names without saying so; zipfile reads them as cp437.
        try: name = name.encode('cp437').decode('utf-8')
        except UnicodeError: pass
    y, mo, d, h, mi, s = i.date_time
    print('%s|%d|%d|%08x|%04d-%02d-%02d %02d:%02d|%d|%d' % (name, i.file_size,
          i.compress_size, i.CRC, y, mo, d, h, mi, i.compress_type, i.flag_bits & 1))
)PY";

std::string Substitute(std::string text, const std::string& key, const std::string& value) {
  for (size_t at = text.find(key); at != std::string::npos;
       at = text.find(key, at + value.size())) {
    text.replace(at, key.size(), value);
  }
  return text;
}

// A tree that exercises extraction: nested folders, an empty file, a one-byte file and an empty
// folder, text and binary data, repeats further apart than deflate's 32 KiB window, files of some
// MiB (the large ones decode on the overlapped path), names with spaces and non-ASCII letters.
void MakeSourceTree(const fs::path& root) {
  WriteFile(root / "readme.txt", Lines(5000));
  WriteFile(root / "empty.txt", "");
  WriteFile(root / "one.txt", "1");
  const std::string block = RandomBytes(40000, 9);
  WriteFile(root / "bin/far repeats.bin", block + RandomBytes(20000, 10) + block + block);
  WriteFile(root / "docs/guide.txt", Lines(120000));
  WriteFile(root / "docs/deeper/still deeper/note.md", "# note\n");
  WriteFile(root / "bin/random.bin", RandomBytes(300000, 42));
  WriteFile(root / "bin/zeros.bin", std::string(5 * 1024 * 1024 + 17, '\0'));
  WriteFile(root / "bin/big-words.txt", Lines(1024 * 1024));
  WriteFile(root / "names/na\xc3\xafve caf\xc3\xa9.txt", "utf-8 name\n");
  WriteFile(root / "names/\xe6\x97\xa5\xe6\x9c\xac.txt", "cjk name\n");
  WriteFile(root / "names/a[1].txt", "bracket\n");
  fs::create_directories(root / "empty folder");
}

// One source tree and one archive per peer, made on first use and shared by the three tests.
struct PeerArchive {
  fs::path dir = fs::temp_directory_path() / ("cvengine-peer-" + std::to_string(::getpid()));
  fs::path source, archive;
  ~PeerArchive() { fs::remove_all(dir); }
};

class PeerArchiveTest : public ScratchTest, public testing::WithParamInterface<PeerCase> {
 protected:
  static void SetUpTestSuite() {
    // Listing times are local: fix the zone so that they equal the peers' DOS times.
    setenv("TZ", "UTC", 1);
    tzset();
  }
  static void TearDownTestSuite() { s_archives.clear(); }

  void SetUp() override {
    ScratchTest::SetUp();
    auto& made = s_archives[GetParam().label];
    if (!made) {
      made = std::make_unique<PeerArchive>();
      made->source = made->dir / GetParam().label / "source";
      made->archive = made->dir / GetParam().label / "peer.zip";
      MakeSourceTree(made->source);
      // Even seconds: DOS times hold two-second steps and every tool rounds its own way.
      Shell("find " + Quote(made->source) + " -exec touch -h -d '2022-05-06 07:08:10' {} +");
      std::string command = Substitute(GetParam().command, "$A", Quote(made->archive));
      std::string python;
      for (char c : std::string(kPythonWriter))
        python += std::string(c == '"' || c == '\\' || c == '$' || c == '`' ? "\\" : "") + c;
      command = Substitute(command, "$P", python);
      std::string out;
      ASSERT_EQ(Shell("cd " + Quote(made->source) + " && " + command, &out), 0) << out;
    }
    m_source = made->source;
    m_archive = made->archive;
  }

  // The entries as Python reads them, one line each.
  std::vector<std::string> PythonListing() {
    WriteFile("list.py", kPythonLister);
    std::string out;
    EXPECT_EQ(Shell("python3 list.py " + Quote(m_archive) + " 2>/dev/null", &out), 0);
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static inline std::map<std::string, std::unique_ptr<PeerArchive>> s_archives;
  fs::path m_source, m_archive;
};

TEST_P(PeerArchiveTest, ExtractsTheSourceTreeByteForByteInArchiveOrder) {
  UnzipRun run;
  if (GetParam().password) run.passwords.push_back(GetParam().password);
  ASSERT_EQ(run.Extract(m_archive, "out"), PK_OK) << run.Output();
  // An empty folder has no entry to come back from when folders are not stored.
  EXPECT_EQ(CompareTrees(m_source, "out"),
            GetParam().storesFolders ? "" : "missing: empty folder/");
  // The password that worked is tried first: asked once for all encrypted entries.
  EXPECT_EQ(run.passwordAsked.size(), GetParam().password ? 1u : 0u);
  for (const std::string& file : Tree(m_source)) {
    EXPECT_EQ(FileTime("out" / fs::path(file)), FileTime(m_source / file)) << file;
  }
  // The print lines come in archive order, whatever order the workers finished in.
  std::vector<std::string> files;
  for (const std::string& line : PythonListing()) {
    std::string name = line.substr(0, line.find('|'));
    if (name.back() != '/') files.push_back(name.substr(name.rfind("./", 0) == 0 ? 2 : 0));
  }
  EXPECT_EQ(run.Done(), files);
}

TEST_P(PeerArchiveTest, TestRunChecksEveryEntryAndWritesNothing) {
  UnzipRun run;
  if (GetParam().password) run.passwords.push_back(GetParam().password);
  EXPECT_EQ(run.Test(m_archive), PK_OK) << run.Output();
  EXPECT_TRUE(run.Printed("No errors detected")) << run.Output();
  EXPECT_TRUE(run.Printed("bin/random.bin   OK")) << run.Output();
  EXPECT_TRUE(Tree(".", true).empty());
}

TEST_P(PeerArchiveTest, ListingEqualsWhatPythonReads) {
  UnzipRun run;
  ASSERT_EQ(run.List(m_archive), PK_OK) << run.Output();
  std::vector<std::string> ours;
  for (const UnzipRun::Listed& e : run.listed) {
    char text[96];
    std::snprintf(text, sizeof text, "|%llu|%llu|%08x|%04u-%02u-%02u %02u:%02u|%d|%d", e.size,
                  e.compressedSize, e.crc, e.year, e.month, e.day, e.hour, e.minute,
                  e.method == "Stored"             ? 0
                  : e.method.rfind("Defl", 0) == 0 ? 8
                  : e.method == "Def64"            ? 9
                  : e.method.rfind("AES-", 0) == 0 ? 99
                                                   : -1,
                  e.encrypted);
    ours.push_back(e.name + text);
    unsigned ratio = e.size == 0 ? 0 : unsigned((e.compressedSize * 100 + e.size - 1) / e.size);
    EXPECT_EQ(e.ratio, ratio) << e.name;
  }
  EXPECT_EQ(ours, PythonListing());
  EXPECT_EQ(run.functions.NumMembers, run.listed.size());
}

INSTANTIATE_TEST_SUITE_P(Peers, PeerArchiveTest, testing::ValuesIn(kPeers),
                         [](const auto& info) { return std::string(info.param.label); });

// Methods we do not decode: listed by name, skipped with a line, the others extracted.
TEST_F(ScratchTest, EntriesOfOtherMethodsAreListedAndSkipped) {
  WriteFile("src/plain.txt", "plain\n");
  WriteFile("src/big.txt", std::string(100000, 'x'));
  ASSERT_EQ(Shell("cd src && 7zz a -bd -tzip -mm=LZMA ../lzma.zip big.txt >/dev/null && "
                  "zip -q -0 ../lzma.zip plain.txt && zip -q -Z bzip2 ../bz.zip big.txt"),
            0);
  UnzipRun list, bz;
  ASSERT_EQ(list.List("lzma.zip"), PK_OK);
  ASSERT_EQ(bz.List("bz.zip"), PK_OK);
  ASSERT_EQ(list.listed.size(), 2u);
  EXPECT_EQ(list.listed[0].method + " " + bz.listed.at(0).method, "LZMA BZip2");
  UnzipRun run;
  EXPECT_EQ(run.Extract("lzma.zip", "out"), IZ_UNSUP);
  EXPECT_TRUE(run.Printed("skipping: big.txt  unsupported compression method 14 (LZMA)"))
      << run.Output();
  EXPECT_EQ(Tree("out"), std::vector<std::string>{"plain.txt"});
  EXPECT_EQ(UnzipRun().Test("bz.zip"), IZ_UNSUP);
}

}  // namespace
}  // namespace enginetest
