#include "shell/Startup.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(StartupTest, CommandLineIsTheTextAfterTheProgramPath) {
  const struct {
    const wchar_t* full;
    const wchar_t* tail;
  } cases[] = {
      {L"\"C:\\Program Files\\Corvane\\Corvane.exe\" \"C:\\my files\\a b.zip\"",
       L"\"C:\\my files\\a b.zip\""},
      {L"\"C:\\Corvane.exe\"   \"a.zip\"", L"\"a.zip\""},
      {L"\"C:\\Corvane.exe\"\t\"a.zip\" ", L"\"a.zip\" "},
      {L"\"C:\\Corvane.exe\"\"a.zip\"", L"\"a.zip\""},
      {L"C:\\Corvane.exe \"a.zip\"", L"\"a.zip\""},
      {L"Corvane  C:\\a.zip", L"C:\\a.zip"},
      {L"\"C:\\Corvane.exe\"", L""},
      {L"\"C:\\Corvane.exe\"    ", L""},
      {L"C:\\Corvane.exe", L""},
      {L"\"C:\\unclosed quote.exe a.zip", L""},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandLineTail(c.full), c.tail) << testing::PrintToString(std::wstring(c.full));
  }
}

TEST(StartupTest, PayloadIsAnsiBytesWithoutTerminator) {
  // The program's manifest makes UTF-8 the ANSI code page; without it this test means little.
  ASSERT_EQ(GetACP(), 65001u);
  EXPECT_EQ(HandOverPayload(L""), std::string(1, '\0'));
  EXPECT_EQ(HandOverPayload(L"\"a.zip\""), "\"a.zip\"");
  // Bytes, not characters: three characters, five bytes.
  EXPECT_EQ(HandOverPayload(L"Zo\u00EB\u65E5"), "Zo\xC3\xAB\xE6\x97\xA5");
  EXPECT_EQ(AnsiText(L""), "");
}

}  // namespace
}  // namespace corvane
