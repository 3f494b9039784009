// Archives written by other ZIP tools: extracted trees equal the source byte for byte, the test
// run passes, and the listing equals what Python's zipfile reads from the same archive.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>

#include "unzip_test_support.h"

namespace unzip_test {
namespace {

struct PeerCase {
  const char* label;
  // Run in the source folder; $A is the archive path.
  const char* command;
  const char* password;  // nullptr: not encrypted
  bool storesFolders;    // empty folders come back
};

const PeerCase kPeers[] = {
    {"zip_store", "zip -q -r -0 $A .", nullptr, true},
    {"zip_fast", "zip -q -r -1 $A .", nullptr, true},
    {"zip_default", "zip -q -r -6 $A .", nullptr, true},
    {"zip_best", "zip -q -r -9 $A .", nullptr, true},
    {"zip_no_folder_entries", "zip -q -r -D $A .", nullptr, false},
    {"zip_forced_zip64", "zip -q -r -fz $A .", nullptr, true},
    {"zip_encrypted", "zip -q -r -e -P 'sesame pw' $A .", "sesame pw", true},
    {"7zz_deflate", "7zz a -bd -tzip $A . >/dev/null", nullptr, true},
    {"7zz_zipcrypto", "7zz a -bd -tzip -mem=ZipCrypto -p'sesame pw' $A . >/dev/null", "sesame pw",
     true},
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

std::string EscapeForDoubleQuotes(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\' || c == '$' || c == '`') out += '\\';
    out += c;
  }
  return out;
}

// One source tree and one archive per peer, made on first use and shared by the three tests.
struct PeerArchive {
  ScratchDir dir;
  fs::path source = dir / "source";
  fs::path archive = dir / "peer.zip";
};

class PeerArchiveTest : public testing::TestWithParam<PeerCase> {
 protected:
  static void SetUpTestSuite() {
    // Listing times are local: fix the zone so that they equal the peers' DOS times.
    setenv("TZ", "UTC", 1);
    tzset();
  }
  static void TearDownTestSuite() { s_archives.clear(); }

  void SetUp() override {
    const PeerCase& peer = GetParam();
    auto& made = s_archives[peer.label];
    if (!made) {
      made = std::make_unique<PeerArchive>();
      MakeSourceTree(made->source);
      // Even seconds: DOS times hold two-second steps and every tool rounds its own way.
      Shell("find " + Quote(made->source) + " -exec touch -h -d '2022-05-06 07:08:10' {} +");
      std::string command = Substitute(peer.command, "$A", Quote(made->archive));
      command = Substitute(command, "$P", EscapeForDoubleQuotes(kPythonWriter));
      ASSERT_EQ(Shell("cd " + Quote(made->source) + " && " + command), 0) << command;
    }
    m_source = made->source;
    m_archive = made->archive;
  }

  static inline std::map<std::string, std::unique_ptr<PeerArchive>> s_archives;
  ScratchDir m_dir;
  fs::path m_source;
  fs::path m_archive;
};

TEST_P(PeerArchiveTest, ExtractsTheSourceTreeByteForByte) {
  EngineRun run;
  if (GetParam().password) run.passwords.push_back(GetParam().password);
  fs::path out = m_dir / "out";
  ASSERT_EQ(run.Extract(m_archive, out), PK_OK) << run.Output();
  std::string difference = CompareTrees(m_source, out);
  if (!GetParam().storesFolders) {
    // An empty folder has no entry to come back from.
    EXPECT_EQ(difference, "missing: empty folder/");
  } else {
    EXPECT_EQ(difference, "");
  }
  // The password that worked is tried first: asked once for all encrypted entries.
  EXPECT_EQ(run.passwordAsked.size(), GetParam().password ? 1u : 0u);
  // Modification times come back.
  EXPECT_EQ(fs::last_write_time(out / "docs/guide.txt"),
            fs::last_write_time(m_source / "docs/guide.txt"));
}

TEST_P(PeerArchiveTest, TestRunChecksEveryEntryAndWritesNothing) {
  EngineRun run;
  if (GetParam().password) run.passwords.push_back(GetParam().password);
  auto before = std::distance(fs::recursive_directory_iterator(m_dir.path()), {});
  EXPECT_EQ(run.Test(m_archive), PK_OK) << run.Output();
  EXPECT_TRUE(run.Printed("No errors detected")) << run.Output();
  EXPECT_TRUE(run.Printed("bin/random.bin   OK")) << run.Output();
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(m_dir.path()), {}), before);
}

TEST_P(PeerArchiveTest, ListingEqualsWhatPythonReads) {
  EngineRun run;
  ASSERT_EQ(run.List(m_archive), PK_OK) << run.Output();
  fs::path script = m_dir / "list.py";
  WriteFile(script, kPythonLister);
  fs::path listing = m_dir / "listing.txt";
  ASSERT_EQ(Shell("python3 " + Quote(script) + " " + Quote(m_archive) + " > " + Quote(listing)), 0);
  std::istringstream expected(ReadFile(listing));
  std::string line;
  size_t i = 0;
  for (; std::getline(expected, line); ++i) {
    ASSERT_LT(i, run.listed.size()) << "entry missing from the listing: " << line;
    const ListedEntry& e = run.listed[i];
    char date[32];
    std::snprintf(date, sizeof date, "%04u-%02u-%02u %02u:%02u", e.year, e.month, e.day, e.hour,
                  e.minute);
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", e.crc);
    int method = e.method == "Stored" ? 0 : e.method.rfind("Defl", 0) == 0 ? 8 : -1;
    std::string ours = e.name + "|" + std::to_string(e.size) + "|" +
                       std::to_string(e.compressedSize) + "|" + crc + "|" + date + "|" +
                       std::to_string(method) + "|" + (e.encrypted ? "1" : "0");
    EXPECT_EQ(ours, line);
    unsigned ratio = e.size == 0 ? 0 : unsigned((e.compressedSize * 100 + e.size - 1) / e.size);
    EXPECT_EQ(e.ratio, ratio) << e.name;
  }
  EXPECT_EQ(i, run.listed.size());
  EXPECT_EQ(run.functions.NumMembers, run.listed.size());
}

INSTANTIATE_TEST_SUITE_P(Peers, PeerArchiveTest, testing::ValuesIn(kPeers),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(PeerUnsupportedTest, Deflate64EntryIsSkippedAndTheOthersExtracted) {
  ScratchDir dir;
  WriteFile(dir / "src/plain.txt", "plain\n");
  WriteFile(dir / "src/big.txt", std::string(100000, 'x'));
  fs::path archive = dir / "d64.zip";
  ASSERT_EQ(
      Shell("cd " + Quote(dir / "src") + " && 7zz a -bd -tzip -mm=Deflate64 " + Quote(archive) +
            " big.txt >/dev/null && zip -q -0 " + Quote(archive) + " plain.txt"),
      0);
  EngineRun list;
  ASSERT_EQ(list.List(archive), PK_OK);
  ASSERT_EQ(list.listed.size(), 2u);
  EXPECT_EQ(list.listed[0].method, "Def64");
  EngineRun run;
  EXPECT_EQ(run.Extract(archive, dir / "out"), IZ_UNSUP);
  EXPECT_TRUE(run.Printed("skipping: big.txt  unsupported compression method 9 (Def64)"))
      << run.Output();
  EXPECT_FALSE(fs::exists(dir / "out/big.txt"));
  EXPECT_EQ(ReadFile(dir / "out/plain.txt"), "plain\n");
}

TEST(PeerUnsupportedTest, Bzip2EntryListsItsMethod) {
  ScratchDir dir;
  WriteFile(dir / "src/a.txt", std::string(5000, 'a'));
  fs::path archive = dir / "bz.zip";
  ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && zip -q -Z bzip2 " + Quote(archive) + " a.txt"),
            0);
  EngineRun list;
  ASSERT_EQ(list.List(archive), PK_OK);
  ASSERT_EQ(list.listed.size(), 1u);
  EXPECT_EQ(list.listed[0].method, "BZip2");
  EngineRun run;
  EXPECT_EQ(run.Test(archive), IZ_UNSUP);
}

}  // namespace
}  // namespace unzip_test
