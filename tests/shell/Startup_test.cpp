#include "shell/Startup.h"

#include <gtest/gtest.h>

#include <utility>

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
  // The program's manifest makes UTF-8 the ANSI code page: bytes, not characters, are handed over.
  ASSERT_EQ(GetACP(), 65001u);
  EXPECT_EQ(HandOverPayload(L""), std::string(1, '\0'));
  EXPECT_EQ(HandOverPayload(L"Zo\u00EB\u65E5"), "Zo\xC3\xAB\xE6\x97\xA5");
}

HHOOK g_hook = nullptr;

// Refuses the creation of every MDI client window of this thread.
LRESULT CALLBACK NoMdiClient(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const char* className = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->lpszClass;
    if (HIWORD(className) && lstrcmpiA(className, "MDICLIENT") == 0) return 1;
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

// Where the UTF-8 code page is not in force, or the frame cannot be created, the program says why
// in a box and does not start; the failed start gives up the instance mutex.
TEST(StartupTest, FailedStartShowsTheBox) {
  const struct {
    UINT codePage;
    std::vector<const char*> shown;
  } cases[] = {{1252, {"Windows 10 version 1903", "1252"}}, {CP_UTF8, {"(MDICLIENT)"}}};
  for (const auto& c : cases) {
    if (c.codePage == CP_UTF8) {
      g_hook = SetWindowsHookExA(WH_CBT, NoMdiClient, nullptr, GetCurrentThreadId());
    }
    std::string texts;
    DialogAnswer box("Corvane", [&](HWND dialog) {
      texts = ChildTexts(dialog);
      Click(dialog, IDOK);
    });
    EXPECT_EQ(Main(c.codePage), 1);
    if (g_hook) UnhookWindowsHookEx(std::exchange(g_hook, nullptr));
    EXPECT_TRUE(box.Answered());
    for (const char* shown : c.shown) EXPECT_NE(texts.find(shown), std::string::npos) << texts;
    EXPECT_TRUE(IsFirstInstance("Corvane_APPLICATION_MUTEX"));
    ReleaseInstanceMutex();
  }
}

}  // namespace
}  // namespace corvane
