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
