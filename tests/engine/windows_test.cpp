// The engines' Windows platform layer under Wine: the DLLs loaded as the program loads them (long
// paths, case twins, locked and hidden files, ANSI names, drive letters), and the platform layer
// itself, linked in, where the DLLs cannot be reached (replacing files, threads).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/reader.h"
#include "cvunzip.h"
#include "cvzip.h"
#include "platform/faults.h"
#include "platform/temporary_file.h"
#include "platform/threads.h"
#include "platform/win32.h"

namespace {

std::vector<std::string> g_lines, g_asked;
int g_reply = IDM_REPLACE_NO;

int CVUNZIP_CALL OnPrint(char* text, unsigned long length) {
  g_lines.emplace_back(text, length);
  return 0;
}
int CVUNZIP_CALL OnReplace(char* name) {
  g_asked.emplace_back(name);
  return g_reply;
}

// The folder of the crafted archives, which the Linux side writes before the suite runs.
std::string Crafted(const std::string& name) {
  std::string path = std::string("Z:") + std::getenv("CVENGINE_CRAFTED") + "/" + name;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// Whole files through the long-path form, which works past 260 characters.
bool ReadLong(const std::string& path, std::string* data) {
  HANDLE h = CreateFileW(cv::LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD n = 0;
  data->clear();
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) data->append(buffer, n);
  CloseHandle(h);
  return true;
}

void WriteLong(const std::string& path, const std::string& data) {
  HANDLE h = CreateFileW(cv::LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  DWORD n = 0;
  WriteFile(h, data.data(), DWORD(data.size()), &n, nullptr);
  CloseHandle(h);
}

// std::filesystem::remove_all stops at paths over 260 characters.
void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = fd.cFileName, child = path + L"\\" + name;
      if (name == L"." || name == L"..") continue;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(path.c_str());
}

std::vector<std::string> Names(const std::string& archive) {
  cv::ArchiveReader reader;
  std::vector<cv::Entry> entries;
  EXPECT_TRUE(reader.Open(archive).ok() && reader.ReadEntries(&entries).ok()) << archive;
  std::vector<std::string> names;
  for (const cv::Entry& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

// A scratch folder in the temporary folder, and the two engine DLLs loaded by name from the
// test's folder, entry points found with GetProcAddress.
class WindowsTest : public testing::Test {
 protected:
  void SetUp() override {
    m_unzipDll = LoadLibraryA("cvunzip.dll");
    m_zipDll = LoadLibraryA("cvzip.dll");
    ASSERT_TRUE(m_unzipDll && m_zipDll) << "the engine DLLs are not beside the test";
    m_unzip =
        reinterpret_cast<decltype(m_unzip)>(GetProcAddress(m_unzipDll, "Wiz_SingleEntryUnzip"));
    m_zpInit = reinterpret_cast<decltype(m_zpInit)>(GetProcAddress(m_zipDll, "ZpInit"));
    m_zpSetOptions =
        reinterpret_cast<decltype(m_zpSetOptions)>(GetProcAddress(m_zipDll, "ZpSetOptions"));
    m_zpArchive = reinterpret_cast<decltype(m_zpArchive)>(GetProcAddress(m_zipDll, "ZpArchive"));
    ASSERT_TRUE(m_unzip && m_zpInit && m_zpSetOptions && m_zpArchive);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    m_dir = std::string(temp) + "cvengine-" + std::to_string(GetTickCount64()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), nullptr));
    g_lines.clear();
    g_asked.clear();
  }
  void TearDown() override {
    RemoveTree(cv::LongPath(m_dir));
    FreeLibrary(m_unzipDll);
    FreeLibrary(m_zipDll);
  }

  int Unzip(const std::string& archive, const std::string& target, DCL dcl = {}) {
    std::string zip = archive, dir = target;
    dcl.lpszZipFN = zip.data();
    dcl.lpszExtractDir = dir.data();
    dcl.ndflag = 1;
    USERFUNCTION f{};
    f.print = OnPrint;
    f.replace = OnReplace;
    return m_unzip(0, nullptr, 0, nullptr, &dcl, &f);
  }

  int Zip(const ZPOPT& options, const std::string& archive, std::vector<std::string> names) {
    ZIPUSERFUNCTIONS f{OnPrint, nullptr, nullptr, nullptr};
    m_zpInit(&f);
    m_zpSetOptions(&options);
    auto list = std::make_unique<ZPNAMES>();
    for (size_t i = 0; i < names.size(); ++i) list->szName[i] = names[i].data();
    return m_zpArchive(int(names.size()), archive.c_str(), list.get());
  }

  static ZPOPT ProgramDefaults() {
    ZPOPT o{};
    o.fNoDirEntries = 1;
    o.fJunkDir = 1;
    return o;
  }

  HMODULE m_unzipDll = nullptr, m_zipDll = nullptr;
  int(CVUNZIP_CALL* m_unzip)(int, char**, int, char**, LPDCL, LPUSERFUNCTION) = nullptr;
  int(CVZIP_CALL* m_zpInit)(const ZIPUSERFUNCTIONS*) = nullptr;
  int(CVZIP_CALL* m_zpSetOptions)(const ZPOPT*) = nullptr;
  int(CVZIP_CALL* m_zpArchive)(int, const char*, const ZPNAMES*) = nullptr;
  std::string m_dir;
};

// Paths of any length are written and read through the long-path form, both ways.
TEST_F(WindowsTest, PathsLongerThan260Characters) {
  const std::string out = m_dir + "\\out";
  ASSERT_EQ(Unzip(Crafted("long_name.zip"), out), PK_OK);
  std::string name;
  for (int i = 0; i < 8; ++i) name += "\\d0" + std::to_string(i) + "_" + std::string(40, 'x');
  const std::string deep = out + name + "\\file.txt";
  ASSERT_GT(deep.size(), 300u);
  std::string data;
  ASSERT_TRUE(ReadLong(deep, &data));
  EXPECT_EQ(data, "deep\n");
  ZPOPT o{};
  o.fRecurse = 2;
  o.szRootDir = const_cast<char*>(out.c_str());
  ASSERT_EQ(Zip(o, m_dir + "\\long.zip", {out + "\\d00_" + std::string(40, 'x')}), ZE_OK);
  ASSERT_EQ(Names(m_dir + "\\long.zip").size(), 9u);  // 8 folders and the file
}

// Names that differ only in case are one file on Windows: the second meets the overwrite rules.
TEST_F(WindowsTest, CaseTwinsMeetTheOverwriteRules) {
  DCL dcl{};
  dcl.PromptToOverwrite = 1;
  g_reply = IDM_REPLACE_YES;
  EXPECT_EQ(Unzip(Crafted("duplicates.zip"), m_dir, dcl), PK_OK);
  EXPECT_EQ(g_asked, (std::vector<std::string>{"same.txt", "case.txt"}));
  std::string data;
  ASSERT_TRUE(ReadLong(m_dir + "\\CASE.TXT", &data));
  EXPECT_EQ(data, "lower\n");
}

// Case folds over all of Unicode: names that differ only so are one file. The later entry lands,
// and a base folder named in other case still cuts the stored names.
TEST_F(WindowsTest, UnicodeCaseTwins) {
  DCL dcl{};
  dcl.noflag = 1;
  EXPECT_EQ(Unzip(Crafted("unicode_twins.zip"), m_dir, dcl), PK_OK);
  std::string data;
  ASSERT_TRUE(ReadLong(m_dir + "\\\xc3\x89t\xc3\xa9.txt", &data));
  EXPECT_EQ(data, "later\n");
  const std::string upper = m_dir + "\\\xc9TUDE", lower = m_dir + "\\\xe9tude";  // code page 1252
  ASSERT_TRUE(CreateDirectoryA(upper.c_str(), nullptr));
  std::ofstream(lower + "\\a.txt") << "a";
  ZPOPT o{};
  o.szRootDir = const_cast<char*>(upper.c_str());
  ASSERT_EQ(Zip(o, m_dir + "\\u.zip", {lower + "\\a.txt"}), ZE_OK);
  EXPECT_EQ(Names(m_dir + "\\u.zip"), std::vector<std::string>{"a.txt"});
}

// A file another handle holds without sharing is reported and skipped, the others are added;
// hidden files are taken by recursion only with fSystem.
TEST_F(WindowsTest, LockedAndHiddenFiles) {
  WriteLong(m_dir + "\\a.txt", "a");
  WriteLong(m_dir + "\\locked.txt", "locked");
  CreateDirectoryA((m_dir + "\\sub").c_str(), nullptr);
  WriteLong(m_dir + "\\sub\\h.txt", "hidden");
  WriteLong(m_dir + "\\sub\\b.txt", "b");
  SetFileAttributesA((m_dir + "\\sub\\h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  HANDLE h = CreateFileA((m_dir + "\\locked.txt").c_str(), GENERIC_READ | GENERIC_WRITE,
                         /*dwShareMode=*/0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const int rc =
      Zip(ProgramDefaults(), m_dir + "\\l.zip", {m_dir + "\\locked.txt", m_dir + "\\a.txt"});
  CloseHandle(h);
  EXPECT_EQ(rc, ZE_OPEN);
  EXPECT_EQ(Names(m_dir + "\\l.zip"), std::vector<std::string>{"a.txt"});
  EXPECT_TRUE(std::any_of(g_lines.begin(), g_lines.end(), [](const std::string& l) {
    return l.rfind("zip warning: could not read locked.txt", 0) == 0;
  }));
  ZPOPT o = ProgramDefaults();
  o.fRecurse = 2;
  ASSERT_EQ(Zip(o, m_dir + "\\h1.zip", {m_dir + "\\sub"}), ZE_OK);
  EXPECT_EQ(Names(m_dir + "\\h1.zip"), std::vector<std::string>{"b.txt"});
  o.fSystem = 1;
  ASSERT_EQ(Zip(o, m_dir + "\\h2.zip", {m_dir + "\\sub"}), ZE_OK);
  EXPECT_EQ(Names(m_dir + "\\h2.zip"), (std::vector<std::string>{"b.txt", "h.txt"}));
}

// Without a manifest the code page is 1252: names arrive in it, are stored as UTF-8 and printed
// back in it; drive letters and either separator name the files.
TEST_F(WindowsTest, AnsiNamesDriveLettersAndSeparators) {
  ASSERT_EQ(GetACP(), 1252u);
  const std::string ansi = m_dir + "\\Zo\xeb.txt";
  std::ofstream(ansi) << "umlaut";
  ASSERT_EQ(Zip(ProgramDefaults(), m_dir + "\\ansi.zip", {ansi}), ZE_OK);
  EXPECT_EQ(Names(m_dir + "\\ansi.zip"), std::vector<std::string>{"Zo\xc3\xab.txt"});
  EXPECT_EQ(g_lines.at(0), "  adding: Zo\xeb.txt (stored 0%)");
  CreateDirectoryA((m_dir + "\\sub").c_str(), nullptr);
  std::ofstream(m_dir + "\\sub\\b.txt") << "b";
  ZPOPT o{};
  o.szRootDir = const_cast<char*>(m_dir.c_str());
  ASSERT_EQ(Zip(o, m_dir + "\\out.zip", {m_dir + "/sub/b.txt", m_dir + "\\sub\\*.txt"}), ZE_OK);
  EXPECT_EQ(Names(m_dir + "\\out.zip"), std::vector<std::string>{"sub/b.txt"});
  // Files on another drive than the base folder keep their path below the drive's root.
  std::string root = m_dir.substr(0, 3), stored = m_dir.substr(3) + "\\sub\\b.txt";
  std::replace(stored.begin(), stored.end(), '\\', '/');
  ZPOPT program = ProgramDefaults();
  program.fJunkDir = 0;
  program.szRootDir = root.data();
  ASSERT_EQ(Zip(program, m_dir + "\\drive.zip", {m_dir + "\\sub\\b.txt"}), ZE_OK);
  EXPECT_EQ(Names(m_dir + "\\drive.zip"), std::vector<std::string>{stored});
}

// A finished file moves in where nothing stands, replaces an existing one with ReplaceFileW, and
// waits out a sharing violation of a reader that goes away (as a virus scanner does).
TEST_F(WindowsTest, ReplacingWaitsOutASharingViolation) {
  const std::string target = m_dir + "\\t.zip";
  auto commit = [&](const std::string& data) {
    cv::TemporaryFile temp;
    EXPECT_TRUE(cv::TemporaryFile::Create(target, &temp).ok());
    EXPECT_TRUE(temp.file().Write(data.data(), data.size()).ok());
    cv::StartRecording();
    const cv::Status s = temp.Commit();
    EXPECT_TRUE(s.ok()) << s.message();
    return cv::RecordedCalls();
  };
  std::vector<std::string> calls = commit("one");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].rfind("flush " + target + ".", 0), 0u) << calls[0];
  EXPECT_EQ(calls[1].rfind("move " + target + ".", 0), 0u) << calls[1];
  HANDLE h = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::thread reader([h] {
    Sleep(300);
    CloseHandle(h);
  });
  calls = commit("two");
  reader.join();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[1], "replace " + target);
  EXPECT_EQ(calls[2], "retry");
  std::string data;
  ASSERT_TRUE(ReadLong(target, &data));
  EXPECT_EQ(data, "two");
}

// A thread the system will not start is a failure to report, neither an exception nor a hang;
// what a thread's body throws comes back from Join.
TEST(ThreadTest, ThreadsThatCannotStartOrThrow) {
  cv::Thread thread;
  cv::SetFaultInjection({.threadStarts = 0});
  const cv::Status refused = cv::Thread::Start([] {}, &thread);
  cv::SetFaultInjection({});
  EXPECT_EQ(refused.kind(), cv::StatusKind::kOutOfMemory) << refused.message();
  EXPECT_FALSE(thread.joinable());
  ASSERT_TRUE(cv::Thread::Start([] { throw std::bad_alloc(); }, &thread).ok());
  EXPECT_EQ(thread.Join().kind(), cv::StatusKind::kOutOfMemory);
}

}  // namespace
