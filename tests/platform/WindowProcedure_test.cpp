// The window base class, on a probe window that notes in a shared log when its own procedure sees
// the probe message.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/BaseWindow.h"
#include "platform/Handle.h"

namespace corvane {
namespace {

constexpr UINT kProbe = WM_APP + 7;

// wParam 1 makes the probe's handler throw, and failCreate makes its WM_CREATE throw.
class ProbeWindow : public BaseWindow<ProbeWindow> {
 public:
  explicit ProbeWindow(std::string& log, bool failCreate = false)
      : m_log(log), m_bFailCreate(failCreate) {
    static const bool registered = [] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = ProbeWindow::Procedure;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "CorvaneProbe";
      return RegisterClassA(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    m_owned.Reset(CreateWindowExA(0, "CorvaneProbe", "", WS_OVERLAPPEDWINDOW, 10, 20, 200, 100,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), this));
    if (!m_owned) RethrowCreationError();
  }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE && m_bFailCreate) throw std::runtime_error("no controls");
    if (message == kProbe) {
      if (wParam == 1) throw std::runtime_error("a handler that fails");
      m_log += "window;";
      return 11;
    }
    return DefWindowProcA(m_hwnd, message, wParam, lParam);
  }

  UniqueWindow m_owned;

 private:
  std::string& m_log;
  bool m_bFailCreate;
};

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
