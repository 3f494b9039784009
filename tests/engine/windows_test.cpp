// The engines' Windows platform layer under Wine: the DLLs loaded as the program loads them (long
// paths, case twins, locked and hidden files, ANSI names, drive letters, AES through CNG,
// Deflate64, code pages through the system, the Mark of the Web), and the platform layer itself,
// linked in, where the DLLs cannot be reached (replacing files, threads, the cryptographic
// primitives).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <functional>
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

std::vector<std::string> g_lines, g_asked, g_listed;
int g_reply = IDM_REPLACE_NO;
std::string g_password;  // the password callback's answer; empty: none

int CVUNZIP_CALL OnPrint(char* text, unsigned long length) {
  g_lines.emplace_back(text, length);
  return 0;
}
int CVUNZIP_CALL OnReplace(char* name) {
  g_asked.emplace_back(name);
  return g_reply;
}
std::function<void()> g_onPassword;  // runs inside the password callback
int CVUNZIP_CALL OnPassword(char* buffer, int size, const char*, const char*) {
  if (g_onPassword) g_onPassword();
  if (g_password.empty()) return 1;
  g_password.copy(buffer, size_t(size - 1));
  return 0;
}
void CVUNZIP_CALL OnEntry(unsigned long long, unsigned long long, unsigned, unsigned, unsigned,
                          unsigned, unsigned, unsigned, char, char* name, char* method, unsigned,
                          char) {
  g_listed.push_back(std::string(method) + " " + name);
}

// The Zone.Identifier stream of a file; "" when it has none.
std::string Mark(const std::string& path) {
  std::string text;
  HANDLE h = CreateFileW((cv::LongPath(path) + L":Zone.Identifier").c_str(), GENERIC_READ,
                         FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return text;
  char buffer[1024];
  DWORD n = 0;
  if (ReadFile(h, buffer, sizeof buffer, &n, nullptr)) text.assign(buffer, n);
  CloseHandle(h);
  return text;
}

// The names of the DLLs a loaded module imports statically.
std::vector<std::string> Imports(HMODULE module) {
  const auto* base = reinterpret_cast<const char*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  std::vector<std::string> names;
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       directory.VirtualAddress && d->Name; ++d) {
    std::string name = base + d->Name;
    for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    names.push_back(name);
  }
  return names;
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
    m_setCodePage = reinterpret_cast<decltype(m_setCodePage)>(
        GetProcAddress(m_unzipDll, "Wiz_SetNameCodePage"));
    m_zpSetEncryption =
        reinterpret_cast<decltype(m_zpSetEncryption)>(GetProcAddress(m_zipDll, "ZpSetEncryption"));
    m_zpSetCodePage =
        reinterpret_cast<decltype(m_zpSetCodePage)>(GetProcAddress(m_zipDll, "ZpSetNameCodePage"));
    m_setProgress =
        reinterpret_cast<decltype(m_setProgress)>(GetProcAddress(m_unzipDll, "Wiz_SetProgress"));
    m_zpSetProgress =
        reinterpret_cast<decltype(m_zpSetProgress)>(GetProcAddress(m_zipDll, "ZpSetProgress"));
    ASSERT_TRUE(m_unzip && m_zpInit && m_zpSetOptions && m_zpArchive && m_setCodePage &&
                m_zpSetEncryption && m_zpSetCodePage && m_setProgress && m_zpSetProgress);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    m_dir = std::string(temp) + "cvengine-" + std::to_string(GetTickCount64()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), nullptr));
    g_lines.clear();
    g_asked.clear();
    g_listed.clear();
    g_password.clear();
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
    f.password = OnPassword;
    f.SendApplicationMessage = OnEntry;
    return m_unzip(0, nullptr, 0, nullptr, &dcl, &f);
  }

  int Zip(const ZPOPT& options, const std::string& archive, std::vector<std::string> names) {
    ZIPUSERFUNCTIONS f{OnPrint, OnPassword, nullptr, nullptr};
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
  int(CVUNZIP_CALL* m_setCodePage)(unsigned) = nullptr;
  int(CVZIP_CALL* m_zpSetEncryption)(int) = nullptr;
  int(CVZIP_CALL* m_zpSetCodePage)(unsigned) = nullptr;
  int(CVUNZIP_CALL* m_setProgress)(DLLPROGRESS, void*) = nullptr;
  int(CVZIP_CALL* m_zpSetProgress)(ZPPROGRESS, void*) = nullptr;
  std::string m_dir;
};

// The progress calls of one run: how many came off the calling thread, and the last entry count.
struct ProgressLog {
  DWORD thread = GetCurrentThreadId();
  int stop = 0, offThread = 0;
  unsigned long long entriesDone = 0;
  static int CVUNZIP_CALL Record(void* log, unsigned long long, unsigned long long,
                                 unsigned long long entriesDone, unsigned long long) {
    auto* self = static_cast<ProgressLog*>(log);
    if (GetCurrentThreadId() != self->thread) ++self->offThread;
    self->entriesDone = entriesDone;
    return self->stop;
  }
};

// The progress extension through the DLLs' exports: on the calling thread up to the whole run; a
// stop leaves the archive as it was and no temporary file.
TEST_F(WindowsTest, ProgressReachesTheTotalsAndStopsTheRun) {
  ProgressLog extracting, adding;
  ASSERT_EQ(m_setProgress(ProgressLog::Record, &extracting), 1);
  ASSERT_EQ(Unzip(Crafted("large_entry.zip"), m_dir), PK_OK);
  EXPECT_EQ(extracting.offThread, 0);
  EXPECT_EQ(extracting.entriesDone, 2u);
  const std::string archive = m_dir + "\\new.zip";
  ASSERT_EQ(Zip(ProgramDefaults(), archive, {m_dir + "\\after.txt"}), ZE_OK);
  std::string before, after;
  ASSERT_TRUE(ReadLong(archive, &before));
  adding.stop = 1;
  ASSERT_EQ(m_zpSetProgress(ProgressLog::Record, &adding), 1);
  EXPECT_EQ(Zip(ProgramDefaults(), archive, {m_dir + "\\large.bin"}), ZE_ABORTED);
  EXPECT_EQ(adding.offThread, 0);
  ASSERT_TRUE(ReadLong(archive, &after));
  EXPECT_TRUE(after == before);
  WIN32_FIND_DATAA found;
  EXPECT_EQ(FindFirstFileA((m_dir + "\\*.cvztmp").c_str(), &found), INVALID_HANDLE_VALUE);
}

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

// AES through the system's CNG, loaded at run time: 7zz's entries read, a damaged one refused
// without touching the file it would replace, our own written at the chosen key size for one run
// only and read back.
TEST_F(WindowsTest, AesThroughCng) {
  for (HMODULE dll : {m_unzipDll, m_zipDll}) {
    const std::vector<std::string> imports = Imports(dll);
    EXPECT_EQ(std::count(imports.begin(), imports.end(), "bcrypt.dll"), 0);
  }
  g_password = "pw";
  ASSERT_EQ(Unzip(Crafted("aes.zip"), m_dir + "\\aes"), PK_OK);
  std::string data;
  ASSERT_TRUE(ReadLong(m_dir + "\\aes\\secret2.txt", &data));
  EXPECT_EQ(data.substr(0, 9), "The quick");
  DCL overwrite{};
  overwrite.noflag = 1;
  CreateDirectoryA((m_dir + "\\bad").c_str(), nullptr);
  WriteLong(m_dir + "\\bad\\secret1.txt", "old");
  EXPECT_EQ(Unzip(Crafted("aes_bad_code.zip"), m_dir + "\\bad", overwrite), PK_ERR);
  ASSERT_TRUE(ReadLong(m_dir + "\\bad\\secret1.txt", &data));
  EXPECT_EQ(data, "old");
  g_password = "Geheim 1";
  WriteLong(m_dir + "\\plain.txt", std::string(5000, 'p'));
  WriteLong(m_dir + "\\tiny.txt", "t");
  ZPOPT o = ProgramDefaults();
  o.fEncrypt = 1;
  ASSERT_EQ(m_zpSetEncryption(ZP_ENCRYPTION_AES192), 1);
  EXPECT_EQ(m_zpSetEncryption(7), 0);
  ASSERT_EQ(Zip(o, m_dir + "\\ours.zip", {m_dir + "\\plain.txt", m_dir + "\\tiny.txt"}), ZE_OK);
  ASSERT_EQ(Zip(o, m_dir + "\\next.zip", {m_dir + "\\plain.txt"}), ZE_OK);
  ASSERT_EQ(Unzip(m_dir + "\\ours.zip", m_dir + "\\ours"), PK_OK);
  ASSERT_TRUE(ReadLong(m_dir + "\\ours\\plain.txt", &data));
  EXPECT_EQ(data, std::string(5000, 'p'));
  ASSERT_TRUE(ReadLong(m_dir + "\\ours\\tiny.txt", &data));
  EXPECT_EQ(data, "t");
  g_listed.clear();
  DCL list{};
  list.nvflag = 1;
  Unzip(m_dir + "\\ours.zip", "", list);
  Unzip(m_dir + "\\next.zip", "", list);
  EXPECT_EQ(g_listed, (std::vector<std::string>{"AES-192 plain.txt", "AES-192 tiny.txt",
                                                "Defl:N plain.txt"}));
}

// Deflate64's long matches and far distances; names in code page 932 converted by the system.
TEST_F(WindowsTest, Deflate64AndCodePages) {
  EXPECT_EQ(Unzip(Crafted("deflate64_long_match.zip"), m_dir + "\\d64"), PK_OK);
  DCL list{};
  list.nvflag = 1;
  ASSERT_EQ(m_setCodePage(932), 1);
  ASSERT_EQ(Unzip(Crafted("codepage_932.zip"), "", list), PK_OK);
  EXPECT_EQ(g_listed.at(0), "Stored 日本語.txt");
  ASSERT_EQ(m_setCodePage(932), 1);
  ASSERT_EQ(Unzip(Crafted("codepage_932.zip"), m_dir + "\\cp"), PK_OK);
  std::string data;
  ASSERT_TRUE(ReadLong(m_dir + "\\cp\\日本語.txt", &data));
  EXPECT_EQ(data, "日本語.txt");
  EXPECT_EQ(m_setCodePage(12345), 0);
  EXPECT_EQ(m_zpSetCodePage(866), 1);
  EXPECT_EQ(m_zpSetCodePage(12345), 0);
}

// Files from a marked archive get its zone and addresses; from an unmarked one, no mark. A mark
// that cannot be written is a warning and the file stays. Under Wine a stream is a file beside
// the main one, so a folder of its name makes the write fail; Windows could not make that folder.
// A rewritten archive keeps its own mark.
TEST_F(WindowsTest, MarkOfTheWeb) {
  const std::string archive = m_dir + "\\marked.zip";
  ASSERT_TRUE(CopyFileA(Crafted("text_entry.zip").c_str(), archive.c_str(), TRUE));
  ASSERT_TRUE(CopyFileA(Crafted("text_entry.zip").c_str(), (m_dir + "\\plain.zip").c_str(), TRUE));
  const std::string mark =
      "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.com/\r\n"
      "HostUrl=https://example.com/marked.zip\r\n";
  HANDLE h = CreateFileW((cv::LongPath(archive) + L":Zone.Identifier").c_str(), GENERIC_WRITE, 0,
                         nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  WriteFile(h, mark.data(), DWORD(mark.size()), &n, nullptr);
  CloseHandle(h);
  ASSERT_EQ(Unzip(archive, m_dir + "\\out"), PK_OK);
  EXPECT_EQ(Mark(m_dir + "\\out\\text.txt"), mark);
  EXPECT_EQ(Mark(m_dir + "\\out\\binary.bin"), mark);
  // A replaced file gets the archive's mark, not the one it had.
  WriteLong(m_dir + "\\out\\text.txt:Zone.Identifier", "[ZoneTransfer]\r\nZoneId=2\r\n");
  DCL overwrite{};
  overwrite.noflag = 1;
  ASSERT_EQ(Unzip(archive, m_dir + "\\out", overwrite), PK_OK);
  EXPECT_EQ(Mark(m_dir + "\\out\\text.txt"), mark);
  // While an entry is being written (here: its password asked after its file was made), it is
  // not yet under its name, and the file under the temporary one carries the mark already.
  const std::string secrets = m_dir + "\\secrets.zip", secret = m_dir + "\\secret\\";
  ASSERT_TRUE(CopyFileA(Crafted("encrypted.zip").c_str(), secrets.c_str(), TRUE));
  WriteLong(secrets + ":Zone.Identifier", mark);
  // Whether each file matching the pattern carries the mark.
  auto marks = [&](const char* pattern) {
    std::vector<bool> marked;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((secret + pattern).c_str(), &found);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found)) {
      marked.push_back(Mark(secret + found.cFileName) == mark);
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return marked;
  };
  std::vector<bool> named, temporary;
  g_onPassword = [&] { named = marks("secret1.txt"), temporary = marks("*.cvztmp"); };
  g_password = "pw";
  DCL prompting{};
  prompting.PromptToOverwrite = 1;  // the file is made before the password is asked
  EXPECT_EQ(Unzip(secrets, secret, prompting), PK_OK);
  g_onPassword = nullptr;
  EXPECT_EQ(std::make_pair(named.size(), temporary), std::make_pair(size_t(0), std::vector{true}));
  // All three files are marked, and nothing is left of the temporary ones (nor, under Wine,
  // of their streams).
  EXPECT_EQ(std::make_pair(marks("*.txt"), marks("*.cvztmp*").size()),
            std::make_pair(std::vector{true, true, true}, size_t(0)));
  ASSERT_EQ(Unzip(m_dir + "\\plain.zip", m_dir + "\\plain"), PK_OK);
  EXPECT_EQ(Mark(m_dir + "\\plain\\text.txt"), "");
  CreateDirectoryA((m_dir + "\\blocked").c_str(), nullptr);
  ASSERT_TRUE(CreateDirectoryW(
      (cv::LongPath(m_dir + "\\blocked\\text.txt") + L":Zone.Identifier").c_str(), nullptr));
  EXPECT_EQ(Unzip(archive, m_dir + "\\blocked"), PK_WARN);
  std::string data;
  EXPECT_TRUE(ReadLong(m_dir + "\\blocked\\text.txt", &data));
  EXPECT_TRUE(std::any_of(g_lines.begin(), g_lines.end(), [](const std::string& l) {
    return l.find("text.txt is not marked as downloaded") != std::string::npos;
  }));
  WriteLong(m_dir + "\\more.txt", "more");
  ASSERT_EQ(Zip(ProgramDefaults(), archive, {m_dir + "\\more.txt"}), ZE_OK);
  EXPECT_EQ(Names(archive).size(), 3u);
  EXPECT_EQ(Mark(archive), mark);
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
