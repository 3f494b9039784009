#include "platform/BaseWindow.h"

#include <gtest/gtest.h>

#include "ProbeWindow.h"
#include "platform/CommandScope.h"

namespace corvane {
namespace {

TEST(BaseWindowTest, ExceptionEndsAtTheWindowProcedureButFailsCreation) {
  std::string log;
  ProbeWindow window(log);
  EXPECT_EQ(window.Dpi(), DpiOf(window.Window()));
  EXPECT_EQ(SendMessageA(window.Window(), kProbe, 1, 0), 0);
  EXPECT_EQ(SendMessageA(window.Window(), kProbe, 0, 0), 11);
  EXPECT_EQ(log, "window;");
  // A WM_CREATE that throws fails the creation, and the creator gets the exception.
  try {
    ProbeWindow failing(log, /*failCreate=*/true);
    ADD_FAILURE() << "created";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "no controls");
  }
}

TEST(BaseWindowTest, DpiChangeTakesTheNewDpiAndTheSuggestedRectangle) {
  std::string log;
  ProbeWindow window(log);
  RECT suggested{30, 40, 330, 190};
  SendMessageA(window.Window(), WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(log, "dpi 144;");
  EXPECT_EQ(window.Dpi(), 144);
  EXPECT_EQ(window.Px(1440), 144);
  RECT now;
  GetWindowRect(window.Window(), &now);
  EXPECT_EQ(std::vector<LONG>({now.left, now.top, now.right, now.bottom}),
            std::vector<LONG>({30, 40, 330, 190}));
}

TEST(CommandScopeTest, KeepsMessagesUntilTheOutermostScopeEnds) {
  std::string log;
  ProbeWindow window(log);
  HWND hwnd = window.Window();
  EXPECT_FALSE(CommandScope::DeferWhileInProgress(hwnd, kProbe, 0, 0));
  auto pending = [&] {
    MSG msg;
    std::vector<WPARAM> posted;
    while (PeekMessageA(&msg, hwnd, kProbe, kProbe, PM_REMOVE)) posted.push_back(msg.wParam);
    return posted;
  };
  {
    CommandScope outer;
    {
      CommandScope inner;
      EXPECT_TRUE(CommandScope::DeferWhileInProgress(hwnd, kProbe, 2, 0));
    }
    EXPECT_TRUE(CommandScope::InProgress());
    EXPECT_TRUE(CommandScope::DeferWhileInProgress(hwnd, kProbe, 3, 0));
    EXPECT_EQ(pending(), std::vector<WPARAM>{});
  }
  EXPECT_FALSE(CommandScope::InProgress());
  EXPECT_EQ(pending(), (std::vector<WPARAM>{2, 3}));  // posted back, in the order they came
}

}  // namespace
}  // namespace corvane
