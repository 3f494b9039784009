#include "support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "core/overlap.h"
#include "core/reader.h"

namespace enginetest {
namespace {

UnzipRun* g_unzip = nullptr;
std::thread::id g_caller;

// The engine promises its callbacks on the thread that called it, whatever workers it runs.
void ExpectCallingThread() {
  EXPECT_EQ(std::this_thread::get_id(), g_caller) << "callback made off the calling thread";
}

int CVUNZIP_CALL OnPrint(char* text, unsigned long length) {
  ExpectCallingThread();
  g_unzip->lines.emplace_back(text, length);
  return 0;
}

int CVUNZIP_CALL OnReplace(char* name) {
  ExpectCallingThread();
  g_unzip->replaceAsked.emplace_back(name);
  if (g_unzip->replies.empty()) return IDM_REPLACE_NO;
  int reply = g_unzip->replies.front();
  g_unzip->replies.pop_front();
  return reply;
}

int CVUNZIP_CALL OnPassword(char* buffer, int size, const char*, const char* name) {
  ExpectCallingThread();
  g_unzip->passwordAsked.emplace_back(name);
  EXPECT_EQ(size, 256);
  EXPECT_EQ(std::count(buffer, buffer + size, '\0'), size) << "password buffer not zero-filled";
  if (g_unzip->passwords.empty()) return 1;
  g_unzip->passwords.front().copy(buffer, size_t(size - 1));
  g_unzip->passwords.pop_front();
  return 0;
}

void CVUNZIP_CALL OnEntry(unsigned long long compressedSize, unsigned long long size,
                          unsigned ratio, unsigned month, unsigned day, unsigned year,
                          unsigned hour, unsigned minute, char, char* name, char* method,
                          unsigned crc, char flags) {
  ExpectCallingThread();
  g_unzip->listed.push_back({compressedSize, size, ratio, month, day, year, hour, minute, name,
                             method, crc, (flags & 0x40) != 0, (flags & 0x80) != 0});
}

int CVUNZIP_CALL OnService(const char* text, unsigned long length) {
  ExpectCallingThread();
  EXPECT_EQ(std::string(text).size(), length);
  g_unzip->serviced.emplace_back(text);
  return int(g_unzip->serviced.size()) - 1 == g_unzip->stopAt ? 1 : 0;
}

int CVUNZIP_CALL OnProgress(void* run, unsigned long long bytesDone, unsigned long long bytesTotal,
                            unsigned long long entriesDone, unsigned long long entriesTotal) {
  ExpectCallingThread();
  auto* r = static_cast<UnzipRun*>(run);
  r->progress.push_back({bytesDone, bytesTotal, entriesDone, entriesTotal});
  return Reached(r->stopAtStage, r->progress.back()) ? 1 : 0;
}

ZipResult* g_zip = nullptr;
const ZipAnswers* g_answers = nullptr;

int OnZipPrint(char* text, unsigned long length) {
  g_zip->lines.emplace_back(text, length);
  return 0;
}

int OnZipPassword(char* buffer, int size, const char*, const char*) {
  ++g_zip->passwordCalls;
  if (g_answers->password.empty()) return 1;
  std::snprintf(buffer, size_t(size), "%s", g_answers->password.c_str());
  return 0;
}

int OnZipProgress(void* result, unsigned long long bytesDone, unsigned long long bytesTotal,
                  unsigned long long entriesDone, unsigned long long entriesTotal) {
  ExpectCallingThread();
  auto* r = static_cast<ZipResult*>(result);
  r->progress.push_back({bytesDone, bytesTotal, entriesDone, entriesTotal});
  if (g_answers->onProgress) g_answers->onProgress(r->progress.back());
  return Reached(g_answers->stopAtStage, r->progress.back()) ? 1 : 0;
}

int OnZipService(const char* text, unsigned long length) {
  std::string name(text, strnlen(text, length));
  g_zip->serviced.push_back(name);
  if (g_answers->onService) g_answers->onService(name);
  return name == g_answers->stopAt ? 1 : 0;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

}  // namespace

void ScratchTest::SetUp() {
  char cwd[4096];
  m_previous = ::getcwd(cwd, sizeof cwd) ? cwd : "/";
  char templ[] = "/tmp/cvengine-test.XXXXXX";
  m_dir = ::mkdtemp(templ);
  ASSERT_EQ(::chdir(m_dir.c_str()), 0);
}

void ScratchTest::TearDown() {
  (void)::chdir(m_previous.c_str());
  Shell("chmod -R u+rwx " + Quote(m_dir) + "; rm -rf " + Quote(m_dir));
}

void WriteFile(const fs::path& path, const std::string& data) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void SetTime(const fs::path& path, int64_t unixTime) {
  struct timespec times[2] = {{time_t(unixTime), 0}, {time_t(unixTime), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

int64_t FileTime(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return int64_t(st.st_mtime);
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

std::string Quote(const fs::path& path) {
  std::string q = "'";
  for (char c : path.string()) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::vector<std::string> Tree(const fs::path& root, bool folders) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& e : fs::recursive_directory_iterator(root, ignored)) {
    const bool folder = e.is_directory() && !e.is_symlink();
    if (folder && !folders) continue;
    names.push_back(fs::relative(e.path(), root).string() + (folder ? "/" : ""));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string CompareTrees(const fs::path& expected, const fs::path& actual) {
  const std::vector<std::string> want = Tree(expected, true), got = Tree(actual, true);
  for (const std::string& name : want) {
    if (!std::binary_search(got.begin(), got.end(), name)) return "missing: " + name;
    if (name.back() != '/' && ReadFile(expected / name) != ReadFile(actual / name)) {
      return "content differs: " + name;
    }
  }
  for (const std::string& name : got) {
    if (!std::binary_search(want.begin(), want.end(), name)) return "unexpected: " + name;
  }
  return {};
}

std::string Lines(size_t size, const char* end) {
  std::string s;
  for (size_t i = 0; s.size() < size; ++i) s += "line " + std::to_string(i * 7919 % 100003) + end;
  return s;
}

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (char& c : s) c = char(rng());
  return s;
}

fs::path Crafted(const std::string& name) {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("cvengine-crafted-" + std::to_string(::getpid()));
    if (Shell("python3 " + Quote(CVENGINE_CRAFTED_SCRIPT) + " " + Quote(d)) != 0) {
      ADD_FAILURE() << "the archive generator failed";
    }
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(fs::temp_directory_path() / ("cvengine-crafted-" + std::to_string(::getpid())),
                     ignored);
    });
    return d;
  }();
  return dir / name;
}

UnzipRun::UnzipRun() {
  dcl.ndflag = 1;
  functions.print = OnPrint;
  functions.replace = OnReplace;
  functions.password = OnPassword;
  functions.SendApplicationMessage = OnEntry;
  functions.ServCallBk = OnService;
}

int UnzipRun::List(const fs::path& archive) {
  dcl.nvflag = 1;
  return Call(archive, nullptr);
}

int UnzipRun::Test(const fs::path& archive) {
  dcl.ntflag = 1;
  return Call(archive, nullptr);
}

int UnzipRun::Extract(const fs::path& archive, const fs::path& target) {
  return Call(archive, target.c_str());
}

int UnzipRun::Call(const fs::path& archive, const char* target) {
  std::string zip = archive.string(), dir = target ? target : "";
  dcl.lpszZipFN = zip.data();
  dcl.lpszExtractDir = target ? dir.data() : nullptr;
  std::vector<char*> in, ex;
  for (auto& s : include) in.push_back(s.data());
  for (auto& s : exclude) ex.push_back(s.data());
  g_unzip = this;
  g_caller = std::this_thread::get_id();
  progress.clear();
  EXPECT_EQ(Wiz_SetProgress(OnProgress, this), 1);
  int rc =
      Wiz_SingleEntryUnzip(int(in.size()), in.data(), int(ex.size()), ex.data(), &dcl, &functions);
  g_unzip = nullptr;
  EXPECT_EQ(ProgressFault(progress, rc == PK_OK), "") << zip;
  return rc;
}

std::string UnzipRun::Output() const {
  return Joined(lines);
}

std::vector<std::string> UnzipRun::Done() const {
  std::vector<std::string> names;
  for (const std::string& line : lines) {
    for (const char* verb : {"  inflating: ", " extracting: ", "    testing: "}) {
      if (line.rfind(verb, 0) != 0) continue;
      std::string name = line.substr(std::string(verb).size());
      names.push_back(name.substr(0, name.rfind("   OK")));
    }
  }
  return names;
}

std::string ZipResult::Text() const {
  return Joined(lines);
}

ZipResult Zip(const ZPOPT& options, const std::string& archive,
              const std::vector<std::string>& names, const ZipAnswers& answers) {
  ZipResult result;
  g_zip = &result;
  g_answers = &answers;
  ZIPUSERFUNCTIONS functions{OnZipPrint, OnZipPassword, nullptr, OnZipService};
  ZpInit(&functions);
  ZpSetOptions(&options);
  EXPECT_EQ(ZpSetEncryption(answers.encryption), 1);
  if (answers.codePage) EXPECT_EQ(ZpSetNameCodePage(answers.codePage), 1);
  g_caller = std::this_thread::get_id();
  EXPECT_EQ(ZpSetProgress(OnZipProgress, &result), 1);
  std::vector<std::string> copies = names;
  std::vector<char*> slots(std::max<size_t>(copies.size(), ZPNAMES_SLOTS), nullptr);
  for (size_t i = 0; i < copies.size(); ++i) slots[i] = copies[i].data();
  result.code =
      ZpArchive(int(names.size()), archive.c_str(), reinterpret_cast<const ZPNAMES*>(slots.data()));
  g_zip = nullptr;
  EXPECT_EQ(ProgressFault(result.progress, result.code == ZE_OK), "") << archive;
  return result;
}

bool Reached(Stage stage, const Progress& p) {
  return stage == Stage::kFirstReport || (stage == Stage::kAfterFirstEntry && p.entriesDone >= 1) ||
         (stage == Stage::kAllEntriesDone && p.entriesDone == p.entriesTotal) ||
         (stage == Stage::kInsideLastEntry && p.entriesDone + 1 == p.entriesTotal &&
          p.bytesDone > p.bytesTotal / 2 && p.bytesDone < p.bytesTotal);
}

std::string ProgressFault(const std::vector<Progress>& calls, bool succeeded) {
  if (calls.empty()) return succeeded ? "no progress reported" : "";
  for (size_t i = 1; i < calls.size(); ++i) {
    const Progress &p = calls[i], &before = calls[i - 1];
    if (p.bytesTotal != before.bytesTotal || p.entriesTotal != before.entriesTotal ||
        p.bytesDone < before.bytesDone || p.entriesDone < before.entriesDone) {
      return "call " + std::to_string(i) + " changed a total or went back";
    }
  }
  const Progress& last = calls.back();
  if (last.bytesDone > last.bytesTotal || last.entriesDone > last.entriesTotal)
    return "past the totals";
  if (succeeded && (last.bytesDone != last.bytesTotal || last.entriesDone != last.entriesTotal)) {
    return "the last call is not complete";
  }
  return "";
}

ZPOPT ProgramDefaults() {
  ZPOPT o{};
  o.fNoDirEntries = 1;
  o.fJunkDir = 1;
  return o;
}

std::vector<Listed> List(const std::string& archive, std::string* comment) {
  cv::ArchiveReader reader;
  std::vector<cv::Entry> entries;
  cv::Status s = reader.Open(archive);
  if (s.ok()) s = reader.ReadEntries(&entries);
  EXPECT_TRUE(s.ok()) << archive << ": " << s.message();
  if (comment) *comment = reader.info().comment;
  std::vector<Listed> out;
  for (const cv::Entry& e : entries) {
    out.push_back({e.name, e.method, e.flags, e.internalAttributes, e.dosDate, e.dosTime, e.crc,
                   e.uncompressedSize, e.compressedSize, e.localHeaderOffset, e.hasUtcTime,
                   e.utcTime});
  }
  return out;
}

std::vector<std::string> Names(const std::string& archive) {
  std::vector<std::string> names;
  for (const Listed& l : List(archive)) names.push_back(l.name);
  return names;
}

std::vector<std::string> EntryBytes(const std::string& archive) {
  cv::ArchiveReader reader;
  std::vector<cv::Entry> entries;
  EXPECT_TRUE(reader.Open(archive).ok() && reader.ReadEntries(&entries).ok()) << archive;
  const std::vector<uint64_t> limits = cv::ComputeEntryLimits(entries, reader.info());
  std::vector<std::string> bytes;
  for (size_t i = 0; i < entries.size(); ++i) {
    std::string b(limits[i] - entries[i].localHeaderOffset, '\0');
    EXPECT_TRUE(reader.file().ReadExactAt(entries[i].localHeaderOffset, b.data(), b.size()).ok());
    bytes.push_back(b);
  }
  return bytes;
}

std::string PeersAccept(const std::string& archive) {
  const std::string a = Quote(archive);
  // unzip warns about an archive without entries.
  for (std::string command :
       {(Names(archive).empty() ? "true " : "unzip -tqq ") + a, "7zz t " + a,
        "python3 -c \"import sys,zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not "
        "None)\" " +
            a}) {
    std::string out;
    if (Shell(command, &out) != 0) return command + ":\n" + out;
  }
  return {};
}

}  // namespace enginetest
