// zip64 where it is needed, written and read: more than 65,535 entries, an entry over 4 GiB (a
// sparse file, so the test stays fast) decoded again, and an entry whose header lies beyond 4 GiB.
// Peer tools read the archives. And a 100 MB Deflate64 entry of 7zz, extracted byte for byte.
#include <fcntl.h>
#include <unistd.h>

#include <fstream>

#include "support.h"

namespace enginetest {
namespace {

TEST_F(ScratchTest, MoreThan65535Entries) {
  const int count = 65600;
  ASSERT_EQ(Shell("mkdir many && cd many && seq -f 'f%05g' 1 " + std::to_string(count) +
                  " | xargs touch"),
            0);
  WriteFile("many/f00001", "one");
  ZPOPT o = ProgramDefaults();
  o.fRecurse = 2;
  o.fQuiet = 1;
  ZipResult r = Zip(o, "many.zip", {"many"});
  ASSERT_EQ(r.code, ZE_OK) << r.Text();
  std::string out;
  ASSERT_EQ(Shell("7zz t many.zip", &out), 0) << out;
  EXPECT_NE(out.find("Files: " + std::to_string(count)), std::string::npos) << out;
  EXPECT_EQ(Shell("python3 -c \"import zipfile,sys; z=zipfile.ZipFile('many.zip'); "
                  "sys.exit(len(z.namelist()) != " +
                      std::to_string(count) + " or z.read('f00001') != b'one')\"",
                  &out),
            0)
      << out;
  // Deleting copies the rest raw and keeps the zip64 end records.
  ZPOPT del{};
  del.fDeleteEntries = 1;
  del.fQuiet = 1;
  ASSERT_EQ(Zip(del, "many.zip", {"f00002"}).code, ZE_OK);
  ASSERT_EQ(Shell("7zz t many.zip", &out), 0) << out;
  EXPECT_NE(out.find("Files: " + std::to_string(count - 1)), std::string::npos) << out;
}

// A sparse file of `size` bytes ending in "tail".
void WriteSparse(const char* path, uint64_t size) {
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, off_t(size - 4)), 0);
  ASSERT_EQ(::pwrite(fd, "tail", 4, off_t(size - 4)), 4);
  ::close(fd);
}

// A local header gets a zip64 field only when the entry's sizes can reach 4 GiB: a file 16 MiB
// short of it, compressed at worst, still fits.
TEST_F(ScratchTest, Zip64OnlyWhereTheSizesNeedIt) {
  WriteSparse("almost.bin", 0xff000000);
  ZPOPT o = ProgramDefaults();
  o.fLevel = '1';
  ASSERT_EQ(Zip(o, "almost.zip", {"almost.bin"}).code, ZE_OK);
  const std::string header = EntryBytes("almost.zip").at(0).substr(0, 30);
  EXPECT_EQ(header.substr(22, 4), std::string("\x00\x00\x00\xff", 4));  // the size itself
  EXPECT_EQ(List("almost.zip").at(0).size, 0xff000000u);
}

TEST_F(ScratchTest, EntryOver4GiBAndAnEntryBeyond4GiB) {
  const uint64_t size = (uint64_t(1) << 32) + 12345;
  WriteSparse("huge.bin", size);
  WriteFile("after.txt", "after the big one");
  // Deflated, the big entry needs zip64 sizes; stored, the next entry's header lies past 4 GiB.
  for (char level : {'1', '0'}) {
    SCOPED_TRACE(std::string("level ") + level);
    ZPOPT o = ProgramDefaults();
    o.fLevel = level;
    ZipResult r = Zip(o, "huge.zip", {"huge.bin", "after.txt"});
    ASSERT_EQ(r.code, ZE_OK) << r.Text();
    std::string out;
    EXPECT_EQ(Shell("7zz t huge.zip", &out), 0) << out;
    EXPECT_EQ(Shell("python3 -c \"import zipfile,sys; z=zipfile.ZipFile('huge.zip'); "
                    "sys.exit(z.getinfo('huge.bin').file_size != " +
                        std::to_string(size) + " or z.read('after.txt') != b'after the big one')\"",
                    &out),
              0)
        << out;
    const std::vector<Listed> listed = List("huge.zip");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].size, size);
    UnzipRun test;
    EXPECT_EQ(test.Test("huge.zip"), PK_OK) << test.Output();
    fs::remove("huge.zip");
  }
}

TEST_F(ScratchTest, Deflate64EntryOf100MB) {
  {
    std::ofstream out("big.bin", std::ios::binary);
    for (unsigned i = 0; i < 96; ++i) {
      // Text, then random bytes that come back 40 KiB on: back references past deflate's window.
      const std::string noise = RandomBytes(24 * 1024, i);
      out << Lines(1024 * 1024) << noise << RandomBytes(16 * 1024, i + 1000) << noise;
    }
  }
  ASSERT_GT(fs::file_size("big.bin"), 100u * 1000 * 1000);
  std::string out;
  ASSERT_EQ(Shell("7zz a -bd -tzip -mm=Deflate64 -mx=1 big.zip big.bin", &out), 0) << out;
  ASSERT_EQ(List("big.zip").at(0).method, 9);
  UnzipRun run;
  ASSERT_EQ(run.Extract("big.zip", "out"), PK_OK) << run.Output();
  EXPECT_TRUE(ReadFile("out/big.bin") == ReadFile("big.bin"));
}

}  // namespace
}  // namespace enginetest
