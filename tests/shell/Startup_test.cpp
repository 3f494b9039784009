#include "shell/Startup.h"

#include <gtest/gtest.h>

#include "Testing.h"

namespace corvane {
namespace {

using namespace test;

TEST(StartupTest, CommandLineIsTheTextAfterTheProgramPath) {
  const struct {
    const wchar_t* full;
    const wchar_t* tail;
  } cases[] = {
      {L"\"C:\\Program Files\\Corvane.exe\" \"C:\\my files\\a b.zip\"",
       L"\"C:\\my files\\a b.zip\""},
      {L"\"C:\\Corvane.exe\"\t  \"a.zip\" ", L"\"a.zip\" "},
      {L"\"C:\\Corvane.exe\"\"a.zip\"", L"\"a.zip\""},
      {L"C:\\Corvane.exe  C:\\a.zip", L"C:\\a.zip"},
      {L"\"C:\\Corvane.exe\"    ", L""},
      {L"\"C:\\unclosed quote.exe a.zip", L""},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandLineTail(c.full), c.tail) << testing::PrintToString(std::wstring(c.full));
  }
}

// The command line's path goes to the first instance absolute, and only such a path, or the one
// zero byte of an empty command line, is taken from a later one.
TEST(StartupTest, HandOverCarriesAnAbsolutePath) {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, folder);
  const std::string here = std::string(folder) + "\\";
  const struct {
    const char* line;
    std::string absolute;
    bool taken;  // as it is, from a later instance
  } cases[] = {
      {"\"a b.zip\"", "\"" + here + "a b.zip\"", false},
      {"  sub\\..\\a.zip ", "\"" + here + "a.zip\"", false},
      {"\"C:\\x\\a.zip\" /extra", "\"C:\\x\\a.zip\"", true},
      {"\\\\server\\share\\a.zip", "\"\\\\server\\share\\a.zip\"", true},
      {"\\a.zip", "\"" + here.substr(0, 2) + "\\a.zip\"", false},
      {"x", "", false},
      {"\"\"", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AbsoluteCommandLine(c.line), c.absolute) << c.line;
    EXPECT_EQ(IsAcceptableHandOver(c.line), c.taken) << c.line;
    EXPECT_TRUE(c.absolute.empty() || IsAcceptableHandOver(c.absolute)) << c.line;
  }
  EXPECT_TRUE(IsAcceptableHandOver(std::string(1, '\0')));
  EXPECT_FALSE(IsAcceptableHandOver(std::string(2, '\0')));
}

// A later instance's check leaves the first one's handle: once that is released, the next start is
// first again.
TEST(StartupTest, InstanceMutexIsClosedOnce) {
  const char kName[] = "Corvane_test_once";
  EXPECT_TRUE(IsFirstInstance(kName));
  EXPECT_FALSE(IsFirstInstance(kName));
  ReleaseInstanceMutex();
  EXPECT_TRUE(IsFirstInstance(kName));
  ReleaseInstanceMutex();
}

// Where the UTF-8 code page is not in force, the program says why in a box and does not start;
// the failed start gives up the instance mutex.
TEST(StartupTest, FailedStartShowsTheBox) {
  std::string texts;
  DialogAnswer box("Corvane", [&](HWND dialog) {
    texts = ChildTexts(dialog);
    Click(dialog, IDOK);
  });
  EXPECT_EQ(Main(1252), 1);
  EXPECT_TRUE(box.Answered());
  for (const char* shown : {"Windows 10 version 1903", "1252"}) {
    EXPECT_NE(texts.find(shown), std::string::npos) << texts;
  }
  EXPECT_TRUE(IsFirstInstance("Corvane_APPLICATION_MUTEX"));
  ReleaseInstanceMutex();
}

}  // namespace
}  // namespace corvane
