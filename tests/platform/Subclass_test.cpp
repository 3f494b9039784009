#include "platform/Subclass.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "ProbeWindow.h"

namespace corvane {
namespace {

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
