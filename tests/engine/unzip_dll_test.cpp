// Smoke suite of cvunzip.dll under Windows: loaded by name with LoadLibrary and called through
// GetProcAddress, as the program calls it. Archives are written by the test itself.
#include <windows.h>
#include <zlib.h>
#undef zlib_version

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cvunzip.h"

namespace {

namespace fs = std::filesystem;

using SingleEntryUnzip = int(CVUNZIP_CALL*)(int, char**, int, char**, LPDCL, LPUSERFUNCTION);
using Version2 = void(CVUNZIP_CALL*)(LPUZPVER);
using EntryPath = unsigned(CVUNZIP_CALL*)(const char*, int, int, char*, unsigned);

// A ZIP archive of stored or deflated entries with UTF-8 names.
std::string MakeArchive(const std::vector<std::pair<std::string, std::string>>& files,
                        bool compress) {
  auto put16 = [](std::string& s, unsigned v) {
    s += char(v & 0xff);
    s += char((v >> 8) & 0xff);
  };
  auto put32 = [&](std::string& s, uint32_t v) {
    put16(s, v & 0xffff);
    put16(s, v >> 16);
  };
  std::string out, central;
  for (const auto& [name, data] : files) {
    uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size()));
    std::string payload = data;
    if (compress) {
      z_stream z{};
      deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
      payload.resize(deflateBound(&z, uLong(data.size())));
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
      z.avail_in = uInt(data.size());
      z.next_out = reinterpret_cast<Bytef*>(payload.data());
      z.avail_out = uInt(payload.size());
      deflate(&z, Z_FINISH);
      payload.resize(z.total_out);
      deflateEnd(&z);
    }
    uint32_t offset = uint32_t(out.size());
    std::string header;
    put32(header, 0x04034b50);
    put16(header, 20);
    put16(header, 0x800);
    put16(header, compress ? 8 : 0);
    put16(header, 0x6000);  // 12:00
    put16(header, 0x5a6e);  // 2025-03-14
    put32(header, crc);
    put32(header, uint32_t(payload.size()));
    put32(header, uint32_t(data.size()));
    put16(header, unsigned(name.size()));
    put16(header, 0);
    out += header + name + payload;
    put32(central, 0x02014b50);
    put16(central, 20);
    central += header.substr(4, 26);
    put16(central, 0);
    put16(central, 0);
    put16(central, 0);
    put32(central, 0);
    put32(central, offset);
    central += name;
  }
  uint32_t cdOffset = uint32_t(out.size());
  out += central;
  put32(out, 0x06054b50);
  put32(out, 0);
  put16(out, unsigned(files.size()));
  put16(out, unsigned(files.size()));
  put32(out, uint32_t(central.size()));
  put32(out, cdOffset);
  put16(out, 0);
  return out;
}

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring w(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), w.data(), n);
  return w;
}

// Reads a file through its long-path form, which works past 260 characters.
bool ReadLong(const std::wstring& path, std::string* data) {
  HANDLE h = CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD n = 0;
  data->clear();
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) data->append(buffer, n);
  CloseHandle(h);
  return true;
}

struct Recorded {
  std::vector<std::string> lines, listed, asked;
  int reply = IDM_REPLACE_NO;
  std::string password;
  DWORD thread = 0;
  bool otherThread = false;
};
Recorded* g_rec = nullptr;

void NoteThread() {
  if (GetCurrentThreadId() != g_rec->thread) g_rec->otherThread = true;
}
int CVUNZIP_CALL OnPrint(char* text, unsigned long length) {
  NoteThread();
  g_rec->lines.emplace_back(text, length);
  return 0;
}
int CVUNZIP_CALL OnReplace(char* name) {
  NoteThread();
  g_rec->asked.emplace_back(name);
  return g_rec->reply;
}
int CVUNZIP_CALL OnPassword(char* buffer, int size, const char*, const char*) {
  NoteThread();
  if (g_rec->password.empty()) return 1;
  g_rec->password.copy(buffer, size_t(size - 1));
  return 0;
}
void CVUNZIP_CALL OnEntry(unsigned long long, unsigned long long size, unsigned, unsigned month,
                          unsigned day, unsigned year, unsigned, unsigned, char, char* name,
                          char* method, unsigned, char) {
  NoteThread();
  g_rec->listed.push_back(std::string(name) + "|" + std::to_string(size) + "|" + method + "|" +
                          std::to_string(year) + "-" + std::to_string(month) + "-" +
                          std::to_string(day));
}

class CvunzipDllTest : public testing::Test {
 protected:
  void SetUp() override {
    m_module = LoadLibraryA("cvunzip.dll");
    ASSERT_NE(m_module, nullptr) << "cvunzip.dll not found beside the test";
    m_unzip = reinterpret_cast<SingleEntryUnzip>(GetProcAddress(m_module, "Wiz_SingleEntryUnzip"));
    m_version = reinterpret_cast<Version2>(GetProcAddress(m_module, "UzpVersion2"));
    m_entryPath = reinterpret_cast<EntryPath>(GetProcAddress(m_module, "Wiz_EntryPath"));
    ASSERT_TRUE(m_unzip && m_version && m_entryPath);
    m_dir = fs::temp_directory_path() / ("cvunzip-smoke-" + std::to_string(GetTickCount64()));
    fs::create_directories(m_dir);
    m_rec.thread = GetCurrentThreadId();
    g_rec = &m_rec;
  }
  void TearDown() override {
    g_rec = nullptr;
    if (m_module) FreeLibrary(m_module);
    std::error_code ignored;
    fs::remove_all(L"\\\\?\\" + m_dir.wstring(), ignored);
  }

  std::string WriteArchive(const std::vector<std::pair<std::string, std::string>>& files,
                           bool compress = true) {
    fs::path p = m_dir / "test.zip";
    FILE* f = _wfopen(p.c_str(), L"wb");
    std::string data = MakeArchive(files, compress);
    fwrite(data.data(), 1, data.size(), f);
    fclose(f);
    return p.string();
  }

  int Run(const std::string& archive, const std::string& target, int nvflag, DCL dcl = {}) {
    std::string zip = archive, dir = target;
    dcl.lpszZipFN = zip.data();
    dcl.lpszExtractDir = dir.data();
    dcl.nvflag = nvflag;
    if (!nvflag) dcl.ndflag = 1;
    USERFUNCTION f{};
    f.print = OnPrint;
    f.replace = OnReplace;
    f.password = OnPassword;
    f.SendApplicationMessage = OnEntry;
    return m_unzip(0, nullptr, 0, nullptr, &dcl, &f);
  }

  HMODULE m_module = nullptr;
  SingleEntryUnzip m_unzip = nullptr;
  Version2 m_version = nullptr;
  EntryPath m_entryPath = nullptr;
  fs::path m_dir;
  Recorded m_rec;
};

TEST_F(CvunzipDllTest, ListsAndExtractsOnTheCallingThread) {
  std::string archive = WriteArchive({{"docs/readme.txt", std::string(5000, 'r')},
                                      {"Zo\xc3\xab \xe6\x97\xa5\xe6\x9c\xac.txt", "utf8"}});
  EXPECT_EQ(Run(archive, "", 1), PK_OK);
  EXPECT_EQ(m_rec.listed, (std::vector<std::string>{
                              "docs/readme.txt|5000|Defl:N|2025-3-14",
                              "Zo\xc3\xab \xe6\x97\xa5\xe6\x9c\xac.txt|4|Defl:N|2025-3-14"}));
  std::string target = (m_dir / "out").string();
  EXPECT_EQ(Run(archive, target, 0), PK_OK);
  std::string data;
  ASSERT_TRUE(ReadLong((m_dir / "out" / "docs" / "readme.txt").wstring(), &data));
  EXPECT_EQ(data, std::string(5000, 'r'));
  ASSERT_TRUE(ReadLong(
      (m_dir / "out").wstring() + L"\\" + Wide("Zo\xc3\xab \xe6\x97\xa5\xe6\x9c\xac.txt"), &data));
  EXPECT_EQ(data, "utf8");
  EXPECT_FALSE(m_rec.otherThread);
}

TEST_F(CvunzipDllTest, PathsLongerThan260CharactersExtract) {
  std::string name;
  for (int i = 0; i < 8; ++i)
    name += "folder" + std::to_string(i) + "_" + std::string(40, 'x') + "/";
  name += "file.txt";
  std::string archive = WriteArchive({{name, "deep"}});
  std::string target = (m_dir / "out").string();
  ASSERT_GT(target.size() + name.size(), 300u);
  EXPECT_EQ(Run(archive, target, 0), PK_OK);
  std::wstring path = (m_dir / "out").wstring() + L"\\" + Wide(name);
  for (auto& c : path) c = c == L'/' ? L'\\' : c;
  std::string data;
  ASSERT_TRUE(ReadLong(path, &data));
  EXPECT_EQ(data, "deep");
}

TEST_F(CvunzipDllTest, NamesDifferingInCaseMeetTheOverwriteRules) {
  std::string archive = WriteArchive({{"Readme.txt", "first"}, {"README.TXT", "second"}});
  std::string target = (m_dir / "out").string();
  DCL dcl{};
  dcl.PromptToOverwrite = 1;
  m_rec.reply = IDM_REPLACE_YES;
  EXPECT_EQ(Run(archive, target, 0, dcl), PK_OK);
  ASSERT_EQ(m_rec.asked.size(), 1u);
  EXPECT_EQ(m_rec.asked[0], "README.TXT");
  std::string data;
  ASSERT_TRUE(ReadLong((m_dir / "out" / "readme.txt").wstring(), &data));
  EXPECT_EQ(data, "second");
}

TEST_F(CvunzipDllTest, UnsafeNamesStayInTheTarget) {
  std::string archive =
      WriteArchive({{"..\\..\\evil.txt", "e"}, {"C:\\x\\aux.txt", "a"}, {"bad:name?.txt", "b"}});
  std::string target = (m_dir / "out").string();
  EXPECT_EQ(Run(archive, target, 0), PK_OK);
  std::string data;
  EXPECT_TRUE(ReadLong((m_dir / "out" / "evil.txt").wstring(), &data));
  EXPECT_TRUE(ReadLong((m_dir / "out" / "x" / "_aux.txt").wstring(), &data));
  EXPECT_TRUE(ReadLong((m_dir / "out" / "bad_name_.txt").wstring(), &data));
  EXPECT_FALSE(fs::exists(m_dir / "evil.txt"));
  char buffer[MAX_PATH];
  EXPECT_EQ(m_entryPath("a/b/c.txt", 1, 0, buffer, sizeof buffer), 9u);
  EXPECT_STREQ(buffer, "a\\b\\c.txt");
}

TEST_F(CvunzipDllTest, VersionRecord) {
  UZPVER v;
  memset(&v, ' ', sizeof v);
  v.structlen = 64;
  m_version(&v);
  EXPECT_EQ(v.unzip.major, 1);
  EXPECT_EQ(v.dllapimin.major, 1);
  EXPECT_EQ(v.dllapimin.minor, 0);
  EXPECT_STREQ(v.betalevel, "");
  EXPECT_GT(strlen(v.zlib_version), 0u);
}

// The program loads and frees the library around each run: no worker may outlive a call.
TEST_F(CvunzipDllTest, LibraryCanBeFreedRightAfterEachRun) {
  std::vector<std::pair<std::string, std::string>> files;
  for (int i = 0; i < 40; ++i)
    files.push_back({"f" + std::to_string(i) + ".bin", std::string(100000, char('a' + i % 26))});
  std::string archive = WriteArchive(files);
  for (int round = 0; round < 10; ++round) {
    std::string target = (m_dir / ("out" + std::to_string(round))).string();
    EXPECT_EQ(Run(archive, target, 0), PK_OK);
    FreeLibrary(m_module);
    m_module = LoadLibraryA("cvunzip.dll");
    ASSERT_NE(m_module, nullptr);
    m_unzip = reinterpret_cast<SingleEntryUnzip>(GetProcAddress(m_module, "Wiz_SingleEntryUnzip"));
  }
  EXPECT_FALSE(m_rec.otherThread);
}

}  // namespace
