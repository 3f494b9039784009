// Shared by the zip engine's native tests: a scratch folder, files with chosen times, runs of the
// engine through its C entry points with recorded callbacks, and peer tools run as black boxes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cvzip.h"

namespace ziptest {

// What one engine run reported.
struct RunResult {
  int code = -1;
  std::vector<std::string> lines;     // print callback
  std::vector<std::string> serviced;  // service callback names, in order
  int passwordCalls = 0;
  std::string Text() const;
};

// Callback answers for a run.
struct Answers {
  std::string password;  // empty: the password callback refuses
  std::string stopAt;    // the service callback stops at this name
};

// Runs ZpInit, ZpSetOptions and ZpArchive with the names.
RunResult Zip(const ZPOPT& options, const std::string& archive,
              const std::vector<std::string>& names, const Answers& answers = {});

// The options the program's archive builder leaves after creation: no folder names, no folder
// entries, no recursion, everything else 0.
ZPOPT ProgramDefaults();
// A command-line zip's habits: folder names and folder entries stored.
ZPOPT ToolDefaults();

// One entry as our own reader sees it.
struct Listed {
  std::string name;
  uint16_t method = 0;
  uint16_t flags = 0;
  uint16_t internalAttributes = 0;
  uint32_t crc = 0;
  uint64_t size = 0;
  uint64_t packed = 0;
};
std::vector<Listed> List(const std::string& archive);
std::vector<std::string> Names(const std::string& archive);
std::string ArchiveComment(const std::string& archive);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);
void SetTime(const std::string& path, int64_t unixTime);
uint32_t Crc(const std::string& data);
// Runs a shell command; returns its exit status, output (stdout and stderr) in *output.
int Shell(const std::string& command, std::string* output = nullptr);
std::string Quote(const std::string& s);
// Names of the files in a folder (no recursion).
std::vector<std::string> FolderNames(const std::string& dir);

// A scratch folder, made current for the test and removed after it.
class ZipTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Path(const std::string& relative) const { return m_dir + "/" + relative; }
  // Asserts the folder holds nothing but the given names (no temporary file left).
  void ExpectOnly(const std::string& dir, std::vector<std::string> names) const;

  std::string m_dir;
  std::string m_previous;
};

}  // namespace ziptest
