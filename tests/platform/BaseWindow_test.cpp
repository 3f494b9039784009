#include "platform/BaseWindow.h"

#include <gtest/gtest.h>

#include "ProbeWindow.h"

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

}  // namespace
}  // namespace corvane
