#include "platform/Subclass.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/BaseWindow.h"
#include "platform/Handle.h"

namespace corvane {
namespace {

constexpr UINT kProbe = WM_APP + 7;

// A window that notes in a shared log when its own procedure sees the probe message.
class ProbeWindow : public BaseWindow<ProbeWindow> {
 public:
  explicit ProbeWindow(std::string& log) : m_log(log) {
    static const bool registered = [] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = ProbeWindow::Procedure;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "CorvaneProbe";
      return RegisterClassA(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    m_owned.Reset(CreateWindowExA(0, "CorvaneProbe", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), this));
  }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
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

struct ModeCase {
  LONG response;
  const char* log;
  LRESULT result;
};

TEST(SubclassTest, EachModeOrdersHandlerAndWindow) {
  const ModeCase cases[] = {
      {kPostProcess, "window;handler(7,5,6);", 11},
      {kPreProcess, "handler(7,5,6);window;", 11},
      {kConsume, "handler(7,5,6);", 22},
  };
  for (const ModeCase& c : cases) {
    std::string log;
    ProbeWindow window(log);
    Handler handler(log, c.response);
    SubclassAttachment attachment(window.Window(), kProbe, handler);
    EXPECT_EQ(SendMessageA(window.Window(), kProbe, 5, 6), c.result) << "mode " << c.response;
    EXPECT_EQ(log, c.log) << "mode " << c.response;
    // Other messages pass untouched.
    log.clear();
    SendMessageA(window.Window(), kProbe + 1, 0, 0);
    EXPECT_EQ(log, "");
  }
}

TEST(SubclassTest, DetachedHandlerHearsNothing) {
  std::string log;
  ProbeWindow window(log);
  Handler handler(log, kPostProcess);
  { SubclassAttachment attachment(window.Window(), kProbe, handler); }
  SendMessageA(window.Window(), kProbe, 0, 0);
  EXPECT_EQ(log, "window;");
}

TEST(SubclassTest, WindowMayGoFirst) {
  std::string log;
  Handler handler(log, kPostProcess);
  auto window = std::make_unique<ProbeWindow>(log);
  SubclassAttachment attachment(window->Window(), kProbe, handler);
  window.reset();  // destroys the window while attached; the attachment's end must be harmless
  EXPECT_EQ(log, "");
}

TEST(SubclassTest, AttachingToNoWindowRaises) {
  std::string log;
  Handler handler(log, kPostProcess);
  EXPECT_THROW(SubclassAttachment(nullptr, kProbe, handler), std::exception);
}

TEST(BaseWindowTest, ExceptionEndsAtTheWindowProcedure) {
  std::string log;
  ProbeWindow window(log);
  EXPECT_EQ(SendMessageA(window.Window(), kProbe, 1, 0), 0);
  EXPECT_EQ(SendMessageA(window.Window(), kProbe, 0, 0), 11);
  EXPECT_EQ(log, "window;");
}

}  // namespace
}  // namespace corvane
