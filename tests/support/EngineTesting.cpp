#include "EngineTesting.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/Handle.h"

namespace corvane::test {
namespace {

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

void CollectFiles(const std::string& root, const std::string& relative,
                  std::set<std::string>& files) {
  WIN32_FIND_DATAA data;
  std::string folder = relative.empty() ? root : root + "\\" + relative;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = relative.empty() ? name : relative + "\\" + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CollectFiles(root, path, files);
    } else {
      files.insert(path);
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

uint32_t Read32(const std::string& data, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(data[at + i]);
  return value;
}

uint32_t Read16(const std::string& data, size_t at) {
  return static_cast<unsigned char>(data[at]) | static_cast<unsigned char>(data[at + 1]) << 8;
}

}  // namespace

TempFolder::TempFolder() {
  char temp[MAX_PATH + 1];
  GetTempPathA(sizeof temp, temp);
  static int counter = 0;
  for (;;) {
    m_sPath = std::string(temp) + "cvbind" + std::to_string(GetCurrentProcessId()) + "_" +
              std::to_string(++counter);
    if (CreateDirectoryA(m_sPath.c_str(), nullptr)) return;
  }
}

TempFolder::~TempFolder() {
  RemoveTree(m_sPath);
}

std::string TestArchive(const std::string& name) {
  // The folder comes as a Linux path; Wine shows the Linux root as drive Z:.
  const char* folder = std::getenv("CORVANE_TEST_ARCHIVES");
  std::string path = std::string("Z:") + (folder ? folder : "") + "/" + name;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

void WriteFileText(const std::string& path, const std::string& data) {
  for (size_t slash = path.find('\\', 3); slash != std::string::npos;
       slash = path.find('\\', slash + 1)) {
    CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
  }
  std::ofstream(path, std::ios::binary) << data;
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream data;
  data << in.rdbuf();
  return data.str();
}

void SetFileDate(const std::string& path, WORD year, WORD month, WORD day) {
  SYSTEMTIME local{year, month, 0, day, 12, 0, 0, 0};
  FILETIME localTime, utc;
  SystemTimeToFileTime(&local, &localTime);
  LocalFileTimeToFileTime(&localTime, &utc);
  UniqueKernelHandle file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  SetFileTime(file.Get(), nullptr, nullptr, &utc);
}

std::set<std::string> FilesUnder(const std::string& folder) {
  std::set<std::string> files;
  CollectFiles(folder, "", files);
  return files;
}

std::vector<std::string> ArchiveNames(const std::string& path) {
  std::string data = ReadFileText(path);
  std::vector<std::string> names;
  if (data.size() < 22) return names;
  size_t end = data.rfind(std::string("PK\5\6", 4));
  if (end == std::string::npos || end + 22 > data.size()) return names;
  size_t count = Read16(data, end + 10);
  size_t at = Read32(data, end + 16);
  for (size_t i = 0; i < count && at + 46 <= data.size(); ++i) {
    size_t nameLength = Read16(data, at + 28);
    size_t extraLength = Read16(data, at + 30);
    size_t commentLength = Read16(data, at + 32);
    names.push_back(data.substr(at + 46, nameLength));
    at += 46 + nameLength + extraLength + commentLength;
  }
  std::sort(names.begin(), names.end());
  return names;
}

long ErrorNumber(const std::function<void()>& call, std::string* source) {
  try {
    call();
  } catch (const Error& error) {
    if (source) *source = error.Source();
    return error.Number();
  }
  return 0;
}

DWORD HandleCount() {
  // GetProcessHandleCount gives 0 under Wine; the system's handle table counts them.
  struct Entry {
    ULONG ownerPid;
    BYTE objectType, flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
  };
  constexpr int kSystemHandleInformation = 16;
  using Query = LONG(WINAPI*)(int, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  std::vector<char> buffer(1 << 20);
  ULONG needed = 0;
  while (query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
               &needed) != 0) {
    if (buffer.size() > (1u << 28)) return 0;
    buffer.resize(buffer.size() * 2);
  }
  ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
  auto* entries = reinterpret_cast<Entry*>(buffer.data() + sizeof(ULONG_PTR));
  DWORD own = 0;
  for (ULONG i = 0; i < count; ++i) own += entries[i].ownerPid == GetCurrentProcessId();
  return own;
}

DWORD ThreadCount() {
  UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD count = 0;
  for (BOOL more = Thread32First(snapshot.Get(), &entry); more;
       more = Thread32Next(snapshot.Get(), &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  return count;
}

void Recorder::Note() {
  if (GetCurrentThreadId() != m_thread) otherThread = true;
}

void Recorder::Cancel(const std::string& sMsg, bool& bCancel) {
  Note();
  cancels.push_back(sMsg);
  if (during) std::exchange(during, nullptr)();
  bCancel = cancelAll;
}

void Recorder::OverWritePrompt(const std::string& sFile, int32_t& eResponse) {
  Note();
  prompts.push_back(sFile + "=" + std::to_string(eResponse));
  if (!responses.empty()) {
    eResponse = responses.front();
    responses.pop_front();
  }
}

void Recorder::PasswordRequest(std::string& sPassword, bool& bCancel) {
  Note();
  EXPECT_EQ(sPassword, "");
  EXPECT_FALSE(bCancel);
  ++passwordPrompts;
  sPassword = password;
  bCancel = cancelPassword;
}

void Recorder::Progress(int32_t lCount, const std::string& sMsg) {
  Note();
  EXPECT_EQ(lCount, 1);
  messages.push_back(sMsg);
}

}  // namespace corvane::test
