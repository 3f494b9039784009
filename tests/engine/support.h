// What the engine's native suites share: a scratch folder, files, the shell, folder listings,
// recorded runs of both engines through their C entry points, and our reader's view of an archive.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cvunzip.h"
#include "cvzip.h"

namespace enginetest {

namespace fs = std::filesystem;

// A fresh folder under the temporary folder, made current while the fixture runs and removed
// with everything in it afterwards. Relative paths in a test are relative to it.
class ScratchTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  const std::string& dir() const { return m_dir; }

 private:
  std::string m_dir;
  std::string m_previous;
};

// Creates the parent folders.
void WriteFile(const fs::path& path, const std::string& data);
std::string ReadFile(const fs::path& path);
// Modification times in seconds since 1970 UTC.
void SetTime(const fs::path& path, int64_t unixTime);
int64_t FileTime(const fs::path& path);
uint32_t Crc(const std::string& data);
// Runs a shell command; returns its exit status, with stdout and stderr in *output.
int Shell(const std::string& command, std::string* output = nullptr);
std::string Quote(const fs::path& path);
// The files (and, with folders, the folders as "name/") below root, relative, sorted.
std::vector<std::string> Tree(const fs::path& root, bool folders = false);
// Empty when both trees hold the same files with the same bytes and the same folders; otherwise
// the first difference.
std::string CompareTrees(const fs::path& expected, const fs::path& actual);
// Text that deflate shrinks, long enough for several blocks; data that does not shrink.
std::string Lines(size_t size, const char* end = "\n");
std::string RandomBytes(size_t size, unsigned seed);
// The crafted archives of make_hostile_archives.py, written once per test program.
fs::path Crafted(const std::string& name);

// One call of either engine's progress callback.
struct Progress {
  unsigned long long bytesDone, bytesTotal, entriesDone, entriesTotal;
};
// Where a test stops a run through the progress callback (with the faults' progressEveryStep).
enum class Stage {
  kNone,
  kFirstReport,      // before the first entry
  kAfterFirstEntry,  // between entries
  kInsideLastEntry,  // all but the last entry done, the last one more than half done
  kAllEntriesDone,   // zip: while the central directory is written
};
bool Reached(Stage stage, const Progress& p);
// Empty when the calls keep their totals, their done counts only grow and stay within the
// totals, and (for a run that succeeded) the last one is complete; else what is wrong.
std::string ProgressFault(const std::vector<Progress>& calls, bool succeeded);

// One unzip engine run with every callback recorded. Fill the options, then List, Test or Extract.
struct UnzipRun {
  UnzipRun();
  DCL dcl{};
  std::vector<std::string> include, exclude;
  std::deque<int> replies;            // of the replace callback (then 100)
  std::deque<std::string> passwords;  // answers of the password callback (then none)
  int stopAt = -1;                    // the service call (0-based) that answers 1
  Stage stopAtStage = Stage::kNone;   // the progress call that answers 1
  USERFUNCTION functions{};
  std::vector<Progress> progress;

  struct Listed {
    unsigned long long compressedSize, size;
    unsigned ratio, month, day, year, hour, minute;
    std::string name, method;
    unsigned crc;
    bool encrypted;
    bool zeroInName;  // flag 0x80
  };
  std::vector<std::string> lines, replaceAsked, passwordAsked, serviced;
  std::vector<Listed> listed;

  int List(const fs::path& archive);
  int Test(const fs::path& archive);
  int Extract(const fs::path& archive, const fs::path& target);
  // Every print line, one a line, for failure messages and searches.
  std::string Output() const;
  bool Printed(const std::string& part) const { return Output().find(part) != std::string::npos; }
  // The entry names of the "inflating:", "extracting:" and "testing:" lines, in print order.
  std::vector<std::string> Done() const;

 private:
  int Call(const fs::path& archive, const char* target);
};

// One zip engine run: ZpInit, ZpSetOptions and ZpArchive, with the callbacks recorded.
struct ZipResult {
  int code = -1;
  std::vector<std::string> lines, serviced;
  int passwordCalls = 0;
  std::vector<Progress> progress;
  std::string Text() const;
  bool Printed(const std::string& part) const { return Text().find(part) != std::string::npos; }
};
struct ZipAnswers {
  std::string password;  // empty: the password callback gives none
  std::string stopAt;    // the service callback stops at this name
  // The run's choices beyond ZPOPT: ZpSetEncryption and ZpSetNameCodePage (0: none).
  int encryption = ZP_ENCRYPTION_TRADITIONAL;
  unsigned codePage = 0;
  std::function<void(const std::string& name)> onService;  // runs inside the service callback
  std::function<void(const Progress&)> onProgress;         // runs inside the progress callback
  Stage stopAtStage = Stage::kNone;                        // the progress call that answers 1
};
ZipResult Zip(const ZPOPT& options, const std::string& archive,
              const std::vector<std::string>& names, const ZipAnswers& answers = {});
// The options the program's archive builder leaves after creation: no folder names, no folder
// entries, no recursion.
ZPOPT ProgramDefaults();

// One entry as our reader sees it, and the archive's comment.
struct Listed {
  std::string name;
  uint16_t method, flags, internalAttributes, dosDate, dosTime;
  uint32_t crc;
  uint64_t size, packed, offset;
  bool hasUtcTime;
  int64_t utcTime;
};
std::vector<Listed> List(const std::string& archive, std::string* comment = nullptr);
std::vector<std::string> Names(const std::string& archive);
// Each entry's bytes as they stand in the archive (local header, data, data descriptor), in the
// order of the central directory.
std::vector<std::string> EntryBytes(const std::string& archive);
// Whether peers read it: unzip -t, 7zz t and Python's zipfile; empty, or what failed.
std::string PeersAccept(const std::string& archive);

}  // namespace enginetest
