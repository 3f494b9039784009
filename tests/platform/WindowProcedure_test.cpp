// The window base class and message subclassing, on a probe window that notes in a shared log
// when its own procedure sees the probe message.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>

#include "platform/BaseWindow.h"
#include "platform/Handle.h"
#include "platform/Subclass.h"

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

class Handler : public ISubclass {
 public:
  Handler(std::string& log, LONG response) : m_log(log), m_response(response) {}
  LONG MsgResponse() override { return m_response; }
  void MsgResponse(LONG value) override { m_response = value; }
  LRESULT WindowProc(HWND, UINT iMsg, WPARAM wParam, LPARAM lParam) override {
    m_log += "handler(" + std::to_string(iMsg - WM_APP) + "," + std::to_string(wParam) + "," +
             std::to_string(lParam) + ");";
    return 22;
  }

 private:
  std::string& m_log;
  LONG m_response;
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

TEST(SubclassTest, EachModeOrdersHandlerAndWindowUntilDetached) {
  for (auto [response, order, result] : {std::tuple{kPostProcess, "window;handler(7,5,6);", 11},
                                         std::tuple{kPreProcess, "handler(7,5,6);window;", 11},
                                         std::tuple{kConsume, "handler(7,5,6);", 22}}) {
    std::string log;
    ProbeWindow window(log);
    Handler handler(log, response);
    {
      SubclassAttachment attachment(window.Window(), kProbe, handler);
      EXPECT_EQ(SendMessageA(window.Window(), kProbe, 5, 6), result) << response;
      SendMessageA(window.Window(), kProbe + 1, 0, 0);  // other messages pass untouched
      EXPECT_EQ(log, order);
    }
    log.clear();
    SendMessageA(window.Window(), kProbe, 0, 0);  // detached: the handler hears nothing
    EXPECT_EQ(log, "window;");
  }
  // The window may go first; the attachment's end is then harmless. No window raises.
  std::string log;
  Handler handler(log, kPostProcess);
  auto window = std::make_unique<ProbeWindow>(log);
  SubclassAttachment attachment(window->Window(), kProbe, handler);
  window.reset();
  EXPECT_THROW(SubclassAttachment(nullptr, kProbe, handler), std::exception);
}

}  // namespace
}  // namespace corvane
