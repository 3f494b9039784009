// The main window's first start: the association question and the Options dialog before the
// window shows, and the association renewed, or not, at the starts after it. The main window is
// created in this process, which answers its dialogs from a timer.

#include <gtest/gtest.h>

#include <functional>
#include <list>
#include <memory>
#include <vector>

#include "WindowTesting.h"
#include "cRegistryTestHelper.h"
#include "settings/AppSettings.h"
#include "settings/frmOptions.h"
#include "shell/frmMain.h"

namespace corvane {
namespace {

using testing_support::ChildTexts;
using testing_support::Click;
using testing_support::DialogAnswer;
using testing_support::PumpFor;
using testing_support::WaitUntil;

constexpr char kSection[] = "Software\\Corvane\\Settings";
constexpr char kQuestion[] = "Would you like to register ZIP files with Corvane?";

std::string StoredFirstRun() {
  char data[16] = "";
  DWORD size = sizeof data;
  if (RegGetValueA(HKEY_CURRENT_USER, kSection, "frun", RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS) {
    return "<absent>";
  }
  return data;
}

bool Associated() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "Corvane.ZipFile\\shell\\open\\command", 0, KEY_READ,
                    &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

void RemoveAssociation() {
  for (const char* key : {".ZIP", "Corvane.ZipFile"}) RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
}

bool HasText(HWND box, const std::string& text, bool prefix = false) {
  for (const std::string& shown : ChildTexts(box)) {
    if (prefix ? shown.rfind(text, 0) == 0 : shown == text) return true;
  }
  return false;
}

// Answers dialogs one after the other, each found by its caption once the one before it has been
// answered. Each step checks what it sees.
class DialogSeries {
 public:
  struct Step {
    const char* caption;
    std::function<void(HWND)> action;
  };
  explicit DialogSeries(std::vector<Step> steps) : m_steps(std::move(steps)) { Next(); }
  size_t Answered() const { return m_answered; }

 private:
  void Next() {
    if (m_answers.size() == m_steps.size()) return;
    const Step& step = m_steps[m_answers.size()];
    // Earlier answers stay alive: one of them may be the caller.
    m_answers.emplace_back(step.caption, [this, &step](HWND dialog) {
      ++m_answered;
      Next();
      step.action(dialog);
    });
  }

  std::vector<Step> m_steps;
  std::list<DialogAnswer> m_answers;
  size_t m_answered = 0;
};

// A first start: no settings stored, no association.
void ForgetEverything() {
  RegDeleteTreeA(HKEY_CURRENT_USER, kSection);
  RemoveAssociation();
}

class FirstRunTest : public testing::Test {
 protected:
  void SetUp() override { ForgetEverything(); }
  void TearDown() override {
    m_main.reset();
    ForgetEverything();
  }

  // Starts the main window with the dialogs answered by the steps, and checks that every step ran.
  void Start(std::vector<DialogSeries::Step> steps) {
    size_t count = steps.size();
    m_main = std::make_unique<frmMain>();
    DialogSeries series(std::move(steps));
    m_main->Load("");
    PumpFor(50);
    EXPECT_EQ(series.Answered(), count);
    EXPECT_TRUE(IsWindowVisible(m_main->Window()));
  }

  void Close() {
    HWND window = m_main->Window();
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }));
    m_main.reset();
  }

  // The question, answered with the button given, while the main window is still hidden.
  DialogSeries::Step Question(int button) {
    return {"Corvane", [this, button](HWND box) {
              EXPECT_TRUE(HasText(box, kQuestion));
              EXPECT_FALSE(IsWindowVisible(m_main->Window()));
              Click(box, button);
            }};
  }
  // The Options dialog, owned by the hidden main window, where the buttons given are pressed.
  DialogSeries::Step Options(std::vector<int> buttons) {
    return {"Options", [this, buttons](HWND dialog) {
              EXPECT_EQ(GetWindow(dialog, GW_OWNER), m_main->Window());
              EXPECT_FALSE(IsWindowVisible(m_main->Window()));
              for (int button : buttons) Click(dialog, button);
            }};
  }

  std::unique_ptr<frmMain> m_main;
};

TEST_F(FirstRunTest, AnswerDecidesWhetherLaterStartsAssociate) {
  const struct {
    const char* what;
    int answer;
    std::vector<int> optionsButtons;
    std::int16_t firstRun;
    bool associatedNow;
  } cases[] = {
      {"OK", IDOK, {frmOptions::kCmdCancel}, 2, true},
      {"Cancel", IDCANCEL, {frmOptions::kCmdCancel}, 0, false},
      {"Cancel, then Associate",
       IDCANCEL,
       {frmOptions::kCmdAssoc, frmOptions::kCmdCancel},
       2,
       true},
      {"OK, then Stop Associating", IDOK, {frmOptions::kCmdDeAssoc, frmOptions::kCmdOK}, 0, true},
  };
  for (const auto& c : cases) {
    ForgetEverything();
    Start({Question(c.answer), Options(c.optionsButtons)});
    EXPECT_EQ(g_iFirstRun, c.firstRun) << c.what;
    EXPECT_EQ(Associated(), c.associatedNow) << c.what;
    Close();
    EXPECT_EQ(StoredFirstRun(), std::to_string(c.firstRun)) << c.what;

    // The next start asks nothing, and writes the association again only when it was accepted.
    RemoveAssociation();
    Start({});
    EXPECT_EQ(Associated(), c.firstRun == 2) << c.what;
    Close();
  }

  // Later, View > Options shows the same dialog, owned by the visible window.
  Start({});
  bool shown = false;
  DialogAnswer options("Options", [&](HWND dialog) {
    shown = GetWindow(dialog, GW_OWNER) == m_main->Window() && IsWindowVisible(m_main->Window());
    Click(dialog, frmOptions::kCmdCancel);
  });
  SendMessageA(m_main->Window(), WM_COMMAND, frmMain::mnuViewOptions, 0);
  EXPECT_TRUE(shown);
}

// A failed association is shown once, with the registry's message, and the start goes on.
TEST_F(FirstRunTest, FailedAssociationIsShownAndTheStartGoesOn) {
  cRegistryTestHelper refusing({HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER});
  auto failure =
      DialogSeries::Step{"Corvane", [](HWND box) {
                           EXPECT_TRUE(HasText(box, "Failed to set registry value Key: '", true));
                           Click(box, IDOK);
                         }};
  Start({Question(IDOK), failure, Options({frmOptions::kCmdCancel})});
  EXPECT_EQ(g_iFirstRun, 0);
  Close();

  // Accepted before, refused now: each start shows the one message and opens all the same.
  RegDeleteTreeA(HKEY_CURRENT_USER, kSection);
  RegSetKeyValueA(HKEY_CURRENT_USER, kSection, "frun", REG_SZ, "2", 2);
  Start({failure});
  EXPECT_EQ(g_iFirstRun, 2);
}

}  // namespace
}  // namespace corvane
