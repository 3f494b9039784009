#include <gtest/gtest.h>

#include <sstream>

#include "EngineTestSupport.h"
#include "platform/Handle.h"

namespace corvane {
namespace {

using test::TempFolder;

// Runs engine_probe.exe from a copy of the bin folder, where it may move the engines away
// without disturbing tests that run at the same time, and returns its output lines.
std::vector<std::string> Probe(const TempFolder& bin, const std::string& arguments) {
  TempFolder output;
  std::string outputFile = output / "out.txt";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, /*bInheritHandle=*/TRUE};
  UniqueKernelHandle out(CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out.Get();
  startup.hStdError = out.Get();
  std::string commandLine = "\"" + (bin / "engine_probe.exe") + "\" " + arguments;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, /*bInheritHandles=*/TRUE, 0,
                      nullptr, bin.Path().c_str(), &startup, &process)) {
    ADD_FAILURE() << "cannot start the probe: " << GetLastError();
    return {};
  }
  UniqueKernelHandle processHandle(process.hProcess), thread(process.hThread);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  out.Reset();
  std::istringstream text(test::ReadFileText(outputFile));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

class MissingLibraryTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"engine_probe.exe", "cvunzip.dll", "cvzip.dll"}) {
      ASSERT_TRUE(CopyFileA((test::ExecutableFolder() + "\\" + name).c_str(), (bin / name).c_str(),
                            /*bFailIfExists=*/TRUE))
          << name;
    }
    test::WriteFileText(work / "file.txt", "data");
  }
  std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

  TempFolder bin, work;
};

TEST_F(MissingLibraryTest, UnzipEngineMissingRaisesFromMUnzipAndTheObjectRecovers) {
  std::string archive = Quoted(test::TestArchive("four.zip"));
  std::string target = Quoted(work / "out");
  std::vector<std::string> lines =
      Probe(bin, "hide cvunzip.dll directory " + archive + " unzip " + archive + " " + target +
                     " unzip-unnamed restore cvunzip.dll directory " + archive + " unzip " +
                     archive + " " + target);
  std::vector<std::string> expected = {
      "hide: done",
      "directory: error 126 engine_probe.mUnzip",
      "unzip: error 126 engine_probe.mUnzip",
      "unzip-unnamed: false",
      "restore: done",
      "directory: 4",
      "unzip: 0",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(test::FilesUnder(work / "out").size(), 4u);
}

TEST_F(MissingLibraryTest, ZipEngineMissingRaisesFromMZipAndTheObjectRecovers) {
  std::string archive = Quoted(work / "new.zip");
  std::string file = Quoted(work / "file.txt");
  std::vector<std::string> lines =
      Probe(bin, "hide cvzip.dll zip " + archive + " " + file + " delete " + archive +
                     " file.txt restore cvzip.dll zip " + archive + " " + file + " delete " +
                     archive + " file.txt directory " + archive);
  std::vector<std::string> expected = {
      "hide: done",
      "zip: error 126 engine_probe.mZip",
      "delete: error 126 engine_probe.mZip",
      "restore: done",
      "zip: 0",
      "delete: 0",
      "directory: 0",
  };
  EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace corvane
