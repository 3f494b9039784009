#include "unzip_test_support.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace unzip_test {
namespace {

EngineRun* g_run = nullptr;

int CVUNZIP_CALL OnPrint(char* text, unsigned long length) {
  g_run->lines.emplace_back(text, length);
  return 0;
}

int CVUNZIP_CALL OnReplace(char* name) {
  g_run->replaceAsked.emplace_back(name);
  if (g_run->replaceAnswers.empty()) return IDM_REPLACE_NO;
  int answer = g_run->replaceAnswers.front();
  g_run->replaceAnswers.pop_front();
  return answer;
}

int CVUNZIP_CALL OnPassword(char* buffer, int size, const char*, const char* name) {
  g_run->passwordAsked.emplace_back(name);
  EXPECT_EQ(size, 256);
  for (int i = 0; i < size; ++i) EXPECT_EQ(buffer[i], 0) << "password buffer not zero-filled";
  if (g_run->passwords.empty()) return 1;
  std::string p = g_run->passwords.front();
  g_run->passwords.pop_front();
  p.copy(buffer, size_t(size - 1));
  return 0;
}

void CVUNZIP_CALL OnEntry(unsigned long long compressedSize, unsigned long long size,
                          unsigned ratio, unsigned month, unsigned day, unsigned year,
                          unsigned hour, unsigned minute, char, char* name, char* method,
                          unsigned crc, char flags) {
  g_run->listed.push_back({compressedSize, size, ratio, month, day, year, hour, minute, name,
                           method, crc, (flags & 0x40) != 0});
}

int CVUNZIP_CALL OnService(const char* text, unsigned long length) {
  EXPECT_EQ(std::string(text).size(), length);
  g_run->serviced.emplace_back(text);
  return int(g_run->serviced.size()) - 1 == g_run->stopAtService ? 1 : 0;
}

}  // namespace

ScratchDir::ScratchDir() {
  static std::mt19937_64 random{std::random_device{}()};
  m_path = fs::temp_directory_path() / ("cvunzip-test-" + std::to_string(random()));
  fs::create_directories(m_path);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(m_path, ignored);
}

EngineRun::EngineRun() {
  dcl.ndflag = 1;
  functions.print = OnPrint;
  functions.replace = OnReplace;
  functions.password = OnPassword;
  functions.SendApplicationMessage = OnEntry;
  functions.ServCallBk = OnService;
}

int EngineRun::List(const fs::path& archive) {
  m_archive = archive.string();
  dcl.nvflag = 1;
  dcl.lpszExtractDir = nullptr;
  return Call();
}

int EngineRun::Test(const fs::path& archive) {
  m_archive = archive.string();
  dcl.nvflag = 0;
  dcl.ntflag = 1;
  dcl.lpszExtractDir = nullptr;
  return Call();
}

int EngineRun::Extract(const fs::path& archive, const fs::path& target) {
  m_archive = archive.string();
  m_target = target.string();
  dcl.nvflag = 0;
  dcl.lpszExtractDir = m_target.data();
  return Call();
}

int EngineRun::Call() {
  dcl.lpszZipFN = m_archive.data();
  if (!withPasswordCallback) functions.password = nullptr;
  std::vector<char*> in, ex;
  for (auto& s : include) in.push_back(s.data());
  for (auto& s : exclude) ex.push_back(s.data());
  g_run = this;
  int rc =
      Wiz_SingleEntryUnzip(int(in.size()), in.data(), int(ex.size()), ex.data(), &dcl, &functions);
  g_run = nullptr;
  return rc;
}

std::string EngineRun::Output() const {
  std::string out;
  for (const auto& line : lines) out += line + "\n";
  return out;
}

int Shell(const std::string& command) {
  int rc = std::system(command.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string Quote(const fs::path& path) {
  std::string out = "'";
  for (char c : path.string()) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

void WriteFile(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void MakeSourceTree(const fs::path& root) {
  std::mt19937 random(42);
  std::string words;
  const char* vocabulary[] = {"archive ", "entry ", "folder ", "deflate ", "zip ", "data\n"};
  for (int i = 0; i < 20000; ++i) words += vocabulary[random() % 6];
  std::string binary(300000, '\0');
  for (char& c : binary) c = char(random());
  WriteFile(root / "readme.txt", words.substr(0, 5000));
  WriteFile(root / "empty.txt", "");
  WriteFile(root / "docs/guide.txt", words);
  WriteFile(root / "docs/deeper/still deeper/note.md", "# note\n");
  WriteFile(root / "bin/random.bin", binary);
  WriteFile(root / "bin/zeros.bin", std::string(5 * 1024 * 1024 + 17, '\0'));
  WriteFile(root / "bin/big-words.txt", [&] {
    std::string big;
    while (big.size() < 1024 * 1024) big += words;
    return big;
  }());
  WriteFile(root / "names/na\xc3\xafve caf\xc3\xa9.txt", "utf-8 name\n");
  WriteFile(root / "names/\xe6\x97\xa5\xe6\x9c\xac.txt", "cjk name\n");
  WriteFile(root / "names/a[1].txt", "bracket\n");
  fs::create_directories(root / "empty folder");
}

std::string CompareTrees(const fs::path& expected, const fs::path& actual) {
  auto collect = [](const fs::path& root) {
    std::map<std::string, fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
      files[fs::relative(e.path(), root).string() + (e.is_directory() ? "/" : "")] = e.path();
    }
    return files;
  };
  auto want = collect(expected);
  auto got = collect(actual);
  for (const auto& [name, path] : want) {
    auto it = got.find(name);
    if (it == got.end()) return "missing: " + name;
    if (name.back() != '/' && ReadFile(path) != ReadFile(it->second)) {
      return "content differs: " + name;
    }
  }
  for (const auto& [name, path] : got) {
    if (!want.count(name)) return "unexpected: " + name;
  }
  return {};
}

const fs::path& HostileArchives() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("cvunzip-hostile-" + std::to_string(::getpid()));
    int rc = Shell(std::string("python3 ") + CVUNZIP_HOSTILE_SCRIPT + " " + Quote(d));
    if (rc != 0) ADD_FAILURE() << "the archive generator failed";
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(fs::temp_directory_path() / ("cvunzip-hostile-" + std::to_string(::getpid())),
                     ignored);
    });
    return d;
  }();
  return dir;
}

}  // namespace unzip_test
