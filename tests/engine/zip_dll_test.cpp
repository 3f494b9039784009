// Smoke suite of cvzip.dll as the program uses it: loaded with LoadLibrary, entry points found by
// name, Windows paths with drive letters and backslashes, the caller's ANSI code page, hidden
// files and a file locked by another handle.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "core/reader.h"
#include "cvzip.h"

namespace {

using InitFn = int(CVZIP_CALL*)(const ZIPUSERFUNCTIONS*);
using SetOptionsFn = int(CVZIP_CALL*)(const ZPOPT*);
using GetOptionsFn = ZPOPT(CVZIP_CALL*)(void);
using ArchiveFn = int(CVZIP_CALL*)(int, const char*, const ZPNAMES*);

std::vector<std::string> g_lines;
std::vector<std::string> g_serviced;
std::string g_stopAt;

int CVZIP_CALL OnPrint(char* text, unsigned long length) {
  g_lines.emplace_back(text, length);
  return 0;
}
int CVZIP_CALL OnService(const char* text, unsigned long) {
  g_serviced.push_back(text);
  return g_stopAt == text ? 1 : 0;
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ZipDllTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dll = LoadLibraryA("cvzip.dll");
    ASSERT_NE(m_dll, nullptr) << "cvzip.dll not found beside the test";
    m_init = reinterpret_cast<InitFn>(GetProcAddress(m_dll, "ZpInit"));
    m_setOptions = reinterpret_cast<SetOptionsFn>(GetProcAddress(m_dll, "ZpSetOptions"));
    m_getOptions = reinterpret_cast<GetOptionsFn>(GetProcAddress(m_dll, "ZpGetOptions"));
    m_archive = reinterpret_cast<ArchiveFn>(GetProcAddress(m_dll, "ZpArchive"));
    ASSERT_TRUE(m_init && m_setOptions && m_getOptions && m_archive);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    m_dir = std::string(temp) + "cvzip-dll-" + std::to_string(GetCurrentProcessId()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((m_dir + "\\sub").c_str(), nullptr));
    WriteFile(m_dir + "\\a.txt", "alpha");
    WriteFile(m_dir + "\\sub\\b.txt", "beta");
    g_lines.clear();
    g_serviced.clear();
    g_stopAt.clear();
  }
  void TearDown() override {
    SHFileOp(m_dir);
    FreeLibrary(m_dll);
  }
  static void SHFileOp(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = dir + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          SHFileOp(path);
        } else {
          DeleteFileA(path.c_str());
        }
      } while (FindNextFileA(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
  }

  // The program's defaults: no folder names, no folder entries, no recursion.
  static ZPOPT ProgramDefaults() {
    ZPOPT o{};
    o.fNoDirEntries = 1;
    o.fJunkDir = 1;
    return o;
  }

  int Run(const ZPOPT& options, const std::string& archive, std::vector<std::string> names) {
    ZIPUSERFUNCTIONS f{OnPrint, nullptr, nullptr, OnService};
    m_init(&f);
    m_setOptions(&options);
    auto list = std::make_unique<ZPNAMES>();
    for (size_t i = 0; i < names.size(); ++i) list->szName[i] = names[i].data();
    return m_archive(int(names.size()), archive.c_str(), list.get());
  }

  std::vector<std::string> Names(const std::string& archive) {
    cv::ArchiveReader reader;
    std::vector<cv::Entry> entries;
    EXPECT_TRUE(reader.Open(archive).ok());
    EXPECT_TRUE(reader.ReadEntries(&entries).ok());
    std::vector<std::string> names;
    for (const cv::Entry& e : entries) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
  }

  bool TempFileLeft() {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((m_dir + "\\*.cvztmp").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
  }

  HMODULE m_dll = nullptr;
  InitFn m_init = nullptr;
  SetOptionsFn m_setOptions = nullptr;
  GetOptionsFn m_getOptions = nullptr;
  ArchiveFn m_archive = nullptr;
  std::string m_dir;
};

TEST_F(ZipDllTest, DriveLettersAndBackslashes) {
  const std::string zip = m_dir + "\\out.zip";
  ZPOPT o{};
  o.szRootDir = m_dir.data();
  o.fRecurse = 2;
  // Absolute with a drive letter, a mixed-separator name, and a wildcard in backslash form.
  ASSERT_EQ(Run(o, zip, {m_dir + "\\a.txt", m_dir + "/sub/b.txt", m_dir + "\\sub\\*.txt"}), ZE_OK);
  EXPECT_EQ(Names(zip), (std::vector<std::string>{"a.txt", "sub/b.txt"}));
  // The builder's Add Files with files on another drive: the drive's root is the base folder.
  const std::string junk = m_dir + "\\junk.zip";
  ZPOPT program = ProgramDefaults();
  std::string root = m_dir.substr(0, 3);
  program.szRootDir = root.data();
  ASSERT_EQ(Run(program, junk, {m_dir + "\\a.txt", m_dir + "\\sub\\b.txt"}), ZE_OK);
  EXPECT_EQ(Names(junk), (std::vector<std::string>{"a.txt", "b.txt"}));
  program.fJunkDir = 0;
  ASSERT_EQ(Run(program, junk, {m_dir + "\\sub\\b.txt"}), ZE_OK);
  const std::string relative = m_dir.substr(3);
  std::string stored = relative + "\\sub\\b.txt";
  std::replace(stored.begin(), stored.end(), '\\', '/');
  EXPECT_EQ(Names(junk), (std::vector<std::string>{"a.txt", "b.txt", stored}));
  EXPECT_FALSE(TempFileLeft());
}

TEST_F(ZipDllTest, RelativeNamesFollowTheCurrentFolder) {
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(m_dir.c_str()));
  ZPOPT o{};
  o.szRootDir = m_dir.data();
  const int rc = Run(o, "rel.zip", {"a.txt", "sub\\b.txt"});
  SetCurrentDirectoryA(previous);
  ASSERT_EQ(rc, ZE_OK);
  EXPECT_EQ(Names(m_dir + "\\rel.zip"), (std::vector<std::string>{"a.txt", "sub/b.txt"}));
}

// Without a manifest the code page is 1252: names arrive in it and are stored as UTF-8.
TEST_F(ZipDllTest, AnsiNamesAreStoredAsUtf8) {
  ASSERT_EQ(GetACP(), 1252u);
  const std::string ansi = m_dir + "\\Zo\xeb.txt";
  WriteFile(ansi, "umlaut");
  ZPOPT o = ProgramDefaults();
  ASSERT_EQ(Run(o, m_dir + "\\ansi.zip", {ansi}), ZE_OK);
  EXPECT_EQ(Names(m_dir + "\\ansi.zip"), (std::vector<std::string>{"Zo\xc3\xab.txt"}));
  ASSERT_FALSE(g_lines.empty());
  EXPECT_EQ(g_lines[0], "  adding: Zo\xeb.txt (stored 0%)");
}

TEST_F(ZipDllTest, HiddenFilesOnlyWithTheSystemFlag) {
  WriteFile(m_dir + "\\sub\\h.txt", "hidden");
  SetFileAttributesA((m_dir + "\\sub\\h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  ZPOPT o = ProgramDefaults();
  o.fRecurse = 2;
  ASSERT_EQ(Run(o, m_dir + "\\h1.zip", {m_dir + "\\sub"}), ZE_OK);
  EXPECT_EQ(Names(m_dir + "\\h1.zip"), (std::vector<std::string>{"b.txt"}));
  o.fSystem = 1;
  ASSERT_EQ(Run(o, m_dir + "\\h2.zip", {m_dir + "\\sub"}), ZE_OK);
  EXPECT_EQ(Names(m_dir + "\\h2.zip"), (std::vector<std::string>{"b.txt", "h.txt"}));
}

// A file another handle holds without sharing is reported and skipped; the others are added.
TEST_F(ZipDllTest, LockedFileIsSkippedWithAWarning) {
  const std::string locked = m_dir + "\\locked.txt";
  WriteFile(locked, "locked");
  HANDLE h = CreateFileA(locked.c_str(), GENERIC_READ | GENERIC_WRITE, /*dwShareMode=*/0, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const int rc = Run(ProgramDefaults(), m_dir + "\\l.zip", {locked, m_dir + "\\a.txt"});
  CloseHandle(h);
  EXPECT_EQ(rc, ZE_OPEN);
  EXPECT_EQ(Names(m_dir + "\\l.zip"), (std::vector<std::string>{"a.txt"}));
  const bool warned = std::any_of(g_lines.begin(), g_lines.end(), [](const std::string& l) {
    return l.rfind("zip warning: could not open for reading: locked.txt", 0) == 0;
  });
  EXPECT_TRUE(warned);
}

TEST_F(ZipDllTest, DeleteAndStopLeaveNoTemporaryFile) {
  const std::string zip = m_dir + "\\d.zip";
  ZPOPT o{};
  o.szRootDir = m_dir.data();
  o.fRecurse = 2;
  ASSERT_EQ(Run(o, zip, {m_dir + "\\sub", m_dir + "\\a.txt"}), ZE_OK);
  const std::string before = ReadFile(zip);
  g_stopAt = "a.txt";
  ZPOPT del{};
  del.fDeleteEntries = 1;
  EXPECT_EQ(Run(del, zip, {"a.txt"}), ZE_ABORTED);
  EXPECT_TRUE(ReadFile(zip) == before);
  g_stopAt.clear();
  ASSERT_EQ(Run(del, zip, {"sub/"}), ZE_OK);
  EXPECT_EQ(Names(zip), (std::vector<std::string>{"a.txt"}));
  EXPECT_FALSE(TempFileLeft());
  // Options stay in force between runs and read back.
  const ZPOPT got = m_getOptions();
  EXPECT_EQ(got.fDeleteEntries, 1);
  EXPECT_EQ(got.fRecurse, 0);
}

}  // namespace
