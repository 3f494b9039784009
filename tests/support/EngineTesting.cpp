#include "EngineTesting.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Handle.h"
#include "platform/Text.h"

namespace corvane::test {
namespace {

// Paths are UTF-8 here, as everywhere in the program.
std::filesystem::path PathOf(const std::string& path) {
  return Wide(path);
}

}  // namespace

TempFolder::TempFolder() {
  static int counter = 0;
  std::filesystem::path folder;
  do {
    folder = std::filesystem::temp_directory_path() /
             ("cvtest" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter));
  } while (!std::filesystem::create_directory(folder));
  m_sPath = Utf8(folder.wstring());
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(PathOf(m_sPath), ignored)) {
    SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  std::filesystem::remove_all(PathOf(m_sPath), ignored);
}

std::string TestArchive(const std::string& name) {
  // The folder comes as a Linux path; Wine shows the Linux root as drive Z:.
  const char* folder = std::getenv("CORVANE_TEST_ARCHIVES");
  std::string path = std::string("Z:") + (folder ? folder : "") + "/" + name;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

void WriteFileText(const std::string& path, const std::string& data) {
  std::filesystem::create_directories(PathOf(path).parent_path());
  std::ofstream(PathOf(path), std::ios::binary) << data;
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream data;
  data << in.rdbuf();
  return data.str();
}

std::set<std::string> FilesUnder(const std::string& folder) {
  std::set<std::string> files;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(PathOf(folder), ignored)) {
    if (entry.is_regular_file()) {
      files.insert(Utf8(entry.path().lexically_relative(PathOf(folder)).wstring()));
    }
  }
  return files;
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

DWORD ThreadCount() {
  UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD count = 0;
  for (BOOL more = Thread32First(snapshot.Get(), &entry); more;
       more = Thread32Next(snapshot.Get(), &entry)) {
    count += entry.th32OwnerProcessID == GetCurrentProcessId();
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
  EXPECT_TRUE(sPassword.empty() && !bCancel);
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
