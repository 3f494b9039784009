#include "zip_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/reader.h"

namespace ziptest {
namespace {

RunResult* g_run = nullptr;
const Answers* g_answers = nullptr;

int OnPrint(char* text, unsigned long length) {
  g_run->lines.emplace_back(text, length);
  return 0;
}

int OnPassword(char* buffer, int size, const char*, const char*) {
  ++g_run->passwordCalls;
  if (g_answers->password.empty()) return 1;
  std::snprintf(buffer, size_t(size), "%s", g_answers->password.c_str());
  return 0;
}

int OnService(const char* text, unsigned long length) {
  std::string name(text, strnlen(text, length));
  g_run->serviced.push_back(name);
  return name == g_answers->stopAt ? 1 : 0;
}

}  // namespace

std::string RunResult::Text() const {
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

RunResult Zip(const ZPOPT& options, const std::string& archive,
              const std::vector<std::string>& names, const Answers& answers) {
  RunResult result;
  g_run = &result;
  g_answers = &answers;
  ZIPUSERFUNCTIONS functions{OnPrint, OnPassword, nullptr, OnService};
  ZpInit(&functions);
  ZpSetOptions(&options);
  auto list = std::make_unique<ZPNAMES>();
  std::vector<std::string> copies = names;
  for (size_t i = 0; i < copies.size(); ++i) list->szName[i] = copies[i].data();
  result.code = ZpArchive(int(names.size()), archive.c_str(), list.get());
  g_run = nullptr;
  return result;
}

ZPOPT ProgramDefaults() {
  ZPOPT o{};
  o.fNoDirEntries = 1;
  o.fJunkDir = 1;
  return o;
}

ZPOPT ToolDefaults() {
  return ZPOPT{};
}

std::vector<Listed> List(const std::string& archive) {
  cv::ArchiveReader reader;
  std::vector<cv::Entry> entries;
  cv::Status s = reader.Open(archive);
  if (s.ok()) s = reader.ReadEntries(&entries);
  EXPECT_TRUE(s.ok()) << s.message();
  std::vector<Listed> out;
  for (const cv::Entry& e : entries) {
    out.push_back({e.name, e.method, e.flags, e.internalAttributes, e.crc, e.uncompressedSize,
                   e.compressedSize});
  }
  return out;
}

std::vector<std::string> Names(const std::string& archive) {
  std::vector<std::string> names;
  for (const Listed& l : List(archive)) names.push_back(l.name);
  return names;
}

std::string ArchiveComment(const std::string& archive) {
  cv::ArchiveReader reader;
  EXPECT_TRUE(reader.Open(archive).ok());
  return reader.info().comment;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

void SetTime(const std::string& path, int64_t unixTime) {
  struct timespec times[2] = {{time_t(unixTime), 0}, {time_t(unixTime), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

uint32_t Crc(const std::string& data) {
  return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
}

int Shell(const std::string& command, std::string* output) {
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) text.append(buffer, n);
  const int status = ::pclose(p);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::vector<std::string> FolderNames(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void ZipTest::SetUp() {
  char cwd[4096];
  m_previous = ::getcwd(cwd, sizeof cwd) ? cwd : "/";
  char templ[] = "/tmp/cvzip-test.XXXXXX";
  m_dir = ::mkdtemp(templ);
  ASSERT_EQ(::chdir(m_dir.c_str()), 0);
}

void ZipTest::TearDown() {
  (void)::chdir(m_previous.c_str());
  Shell("rm -rf " + Quote(m_dir));
}

void ZipTest::ExpectOnly(const std::string& dir, std::vector<std::string> names) const {
  std::sort(names.begin(), names.end());
  EXPECT_EQ(FolderNames(dir), names);
}

}  // namespace ziptest
