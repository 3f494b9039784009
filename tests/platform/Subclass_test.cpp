#include "platform/Subclass.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

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

TEST(SubclassTest, EachModeOrdersHandlerAndWindow) {
  const struct {
    LONG response;
    const char* log;
    LRESULT result;
  } cases[] = {
      {kPostProcess, "window;handler(7,5,6);", 11},
      {kPreProcess, "handler(7,5,6);window;", 11},
      {kConsume, "handler(7,5,6);", 22},
  };
  for (const auto& c : cases) {
    std::string log;
    ProbeWindow window(log);
    Handler handler(log, c.response);
    {
      SubclassAttachment attachment(window.Window(), kProbe, handler);
      EXPECT_EQ(SendMessageA(window.Window(), kProbe, 5, 6), c.result) << "mode " << c.response;
      EXPECT_EQ(log, c.log) << "mode " << c.response;
      log.clear();
      SendMessageA(window.Window(), kProbe + 1, 0, 0);  // other messages pass untouched
      EXPECT_EQ(log, "");
    }
    SendMessageA(window.Window(), kProbe, 0, 0);  // detached: the handler hears nothing
    EXPECT_EQ(log, "window;");
  }
}

TEST(SubclassTest, WindowMayGoFirstAndNoWindowRaises) {
  std::string log;
  Handler handler(log, kPostProcess);
  auto window = std::make_unique<ProbeWindow>(log);
  SubclassAttachment attachment(window->Window(), kProbe, handler);
  window.reset();  // destroyed while attached; the attachment's end must be harmless
  EXPECT_EQ(log, "destroyed;");
  EXPECT_THROW(SubclassAttachment(nullptr, kProbe, handler), std::exception);
}

}  // namespace
}  // namespace corvane
