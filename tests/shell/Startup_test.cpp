#include "shell/Startup.h"

#include <gtest/gtest.h>

#include "WindowTesting.h"

namespace corvane {
namespace {

using testing_support::ChildTexts;
using testing_support::Click;
using testing_support::DialogAnswer;

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

// Where the UTF-8 code page is not in force, the program says why in a box and does not start.
TEST(StartupTest, OtherCodePageIsRefused) {
  std::vector<std::string> texts;
  DialogAnswer box("Corvane", [&](HWND dialog) {
    texts = ChildTexts(dialog);
    Click(dialog, IDOK);
  });
  EXPECT_EQ(Main(1252), 1);
  ASSERT_TRUE(box.Answered());
  std::string all;
  for (const std::string& text : texts) all += text + "\n";
  EXPECT_NE(all.find("Windows 10 version 1903"), std::string::npos) << all;
  EXPECT_NE(all.find("1252"), std::string::npos) << all;
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

// A frame that cannot be created is reported, not run without its document area.
TEST(StartupTest, FrameCreationFailureShowsTheBox) {
  g_hook = SetWindowsHookExA(WH_CBT, NoMdiClient, nullptr, GetCurrentThreadId());
  std::vector<std::string> texts;
  DialogAnswer box("Corvane", [&](HWND dialog) {
    texts = ChildTexts(dialog);
    Click(dialog, IDOK);
  });
  EXPECT_EQ(Main(CP_UTF8), 1);
  UnhookWindowsHookEx(g_hook);
  ASSERT_TRUE(box.Answered());
  std::string all;
  for (const std::string& text : texts) all += text + "\n";
  EXPECT_NE(all.find("(MDICLIENT)"), std::string::npos) << all;
  // The failed start gave up the instance mutex: the next start is a first instance.
  EXPECT_TRUE(IsFirstInstance("Corvane_APPLICATION_MUTEX"));
  ReleaseInstanceMutex();
}

}  // namespace
}  // namespace corvane
