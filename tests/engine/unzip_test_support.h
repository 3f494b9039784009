// Shared helpers of the unzip engine tests: scratch folders, a run of the engine with recorded
// callbacks, peer tools run through the shell, and tree comparison.
#pragma once

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "cvunzip.h"

namespace unzip_test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const fs::path& path() const { return m_path; }
  fs::path operator/(const std::string& name) const { return m_path / name; }

 private:
  fs::path m_path;
};

struct ListedEntry {
  unsigned long long compressedSize, size;
  unsigned ratio, month, day, year, hour, minute;
  std::string name, method;
  unsigned crc;
  bool encrypted;
};

// One engine run with every callback recorded. Fill the options, then call List, Test or
// Extract.
class EngineRun {
 public:
  EngineRun();
  DCL dcl{};
  std::vector<std::string> include;
  std::vector<std::string> exclude;
  std::deque<int> replaceAnswers;     // replies of the replace callback (then 100)
  std::deque<std::string> passwords;  // answers of the password callback (then none)
  bool withPasswordCallback = true;
  int stopAtService = -1;  // the service call (0-based) that answers 1

  std::vector<std::string> lines;          // print
  std::vector<std::string> replaceAsked;   // replace
  std::vector<std::string> passwordAsked;  // password: entry names
  std::vector<ListedEntry> listed;         // application message
  std::vector<std::string> serviced;       // service
  USERFUNCTION functions{};

  int List(const fs::path& archive);
  int Test(const fs::path& archive);
  int Extract(const fs::path& archive, const fs::path& target);
  // All print lines joined by newlines, for failure messages and searches.
  std::string Output() const;
  bool Printed(const std::string& part) const { return Output().find(part) != std::string::npos; }

 private:
  int Call();
  std::string m_archive;
  std::string m_target;
};

// Runs a shell command; returns its exit status.
int Shell(const std::string& command);
// Quotes a path for the shell.
std::string Quote(const fs::path& path);

void WriteFile(const fs::path& path, const std::string& data);
std::string ReadFile(const fs::path& path);

// A tree of files that exercises extraction: nested folders, an empty file and folder, binary
// and text data, a file of some MiB, names with spaces and non-ASCII letters.
void MakeSourceTree(const fs::path& root);
// Empty when both trees hold the same files with the same bytes (folders compared too);
// otherwise a description of the first difference.
std::string CompareTrees(const fs::path& expected, const fs::path& actual);

// The folder the crafted archives are written to, made once per test program.
const fs::path& HostileArchives();

}  // namespace unzip_test
