// The main window's first start: the association question and the Options dialog before the
// window shows, and the association renewed, or not, at the starts after it. The main window is
// created in this process, which answers its dialogs from a timer.

#include <algorithm>
#include <functional>
#include <list>
#include <vector>

#include "FrameTest.h"
#include "cRegistryTestHelper.h"
#include "document/frmDocument.h"
#include "settings/frmOptions.h"
#include "shell/Startup.h"

namespace corvane {
namespace {

using namespace test;

bool Associated() {
  return RegGetValueA(HKEY_CLASSES_ROOT, "Corvane.ZipFile\\shell\\open\\command", nullptr,
                      RRF_RT_REG_SZ, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Whether a text of the box starts so.
bool Shows(HWND box, const std::string& start) {
  return ("\n" + ChildTexts(box)).find("\n" + start) != std::string::npos;
}

// A dialog to answer: its caption, and what to check and press in it.
struct Step {
  const char* caption;
  std::function<void(HWND)> action;
};

class FirstRunTest : public FrameTest {
 protected:
  // Starts the main window and answers its dialogs in the order given, each once the one before it
  // has been answered, runs loaded, then closes the window and returns "frun" as stored.
  std::string StartAndClose(
      const std::vector<Step>& steps, const std::function<void()>& loaded = [] {}) {
    m_main = std::make_unique<frmMain>();
    std::list<DialogAnswer> answers;  // earlier answers stay alive: one may be the caller
    std::function<void()> next = [&] {
      if (answers.size() == steps.size()) return;
      size_t index = answers.size();
      answers.emplace_back(steps[index].caption, [&, index](HWND dialog) {
        next();
        steps[index].action(dialog);
      });
    };
    next();
    m_main->Load("");
    EXPECT_TRUE(std::all_of(answers.begin(), answers.end(), [](auto& a) { return a.Answered(); }));
    EXPECT_EQ(answers.size(), steps.size());
    EXPECT_TRUE(IsWindowVisible(m_main->Window()));
    loaded();
    Close();
    return Stored("frun");
  }

  // The question, answered with this button, and the Options dialog after it, where these buttons
  // are pressed; both while the main window is hidden, the dialog owned by it.
  std::vector<Step> FirstRun(int answer, std::vector<int> buttons) {
    return {{"Corvane",
             [=, this](HWND box) {
               EXPECT_TRUE(Shows(box, "Would you like to register ZIP files with Corvane?"));
               EXPECT_FALSE(IsWindowVisible(m_main->Window()));
               Click(box, answer);
             }},
            {"Options", [=, this](HWND dialog) {
               EXPECT_EQ(GetWindow(dialog, GW_OWNER), m_main->Window());
               EXPECT_FALSE(IsWindowVisible(m_main->Window()));
               // Stop Associating says that it did.
               int stops = static_cast<int>(
                   std::count(buttons.begin(), buttons.end(), frmOptions::kCmdDeAssoc));
               DialogAnswer told(
                   "Corvane", [](HWND box) { Click(box, IDOK); }, stops);
               for (int button : buttons) Click(dialog, button);
               EXPECT_EQ(told.Answered(), stops);
             }}};
  }
};

TEST_F(FirstRunTest, AnswerDecidesWhetherLaterStartsAssociate) {
  using F = frmOptions;
  const struct {
    const char* what;
    int answer;
    std::vector<int> buttons;
    const char* frun;
    bool associated;  // after the first start
  } cases[] = {
      {"OK", IDOK, {F::kCmdCancel}, "2", true},
      {"Cancel", IDCANCEL, {F::kCmdCancel}, "0", false},
      {"Cancel, Associate", IDCANCEL, {F::kCmdAssoc, F::kCmdCancel}, "2", true},
      // Cancel takes back neither button; Stop Associating removes what was written.
      {"OK, Stop Associating", IDOK, {F::kCmdDeAssoc, F::kCmdCancel}, "0", false},
      {"Cancel, Associate, Stop",
       IDCANCEL,
       {F::kCmdAssoc, F::kCmdDeAssoc, F::kCmdCancel},
       "0",
       false},
  };
  for (const auto& c : cases) {
    Forget();
    EXPECT_EQ(StartAndClose(FirstRun(c.answer, c.buttons)), c.frun) << c.what;
    EXPECT_EQ(Associated(), c.associated) << c.what;
    // The next start asks nothing and writes the association again only when it was accepted.
    for (const char* key : {".ZIP", "Corvane.ZipFile"}) RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
    EXPECT_EQ(StartAndClose({}), c.frun) << c.what;
    EXPECT_EQ(Associated(), c.frun == std::string("2")) << c.what;
  }
}

// A later start while the question is open finds the window and hands its archive over; it opens
// once the load has ended, after the program's own command line.
TEST_F(FirstRunTest, StartDuringTheQuestionHandsItsArchiveOver) {
  Forget();
  ASSERT_TRUE(IsFirstInstance("Corvane_APPLICATION_MUTEX"));  // the window's close gives it up
  std::string archive = TestArchive("four.zip");
  std::vector<Step> steps = FirstRun(IDCANCEL, {frmOptions::kCmdCancel});
  steps[0].action = [&, ask = steps[0].action](HWND box) {
    Process later = Start("\"" + BesideTests("Corvane.exe") + "\" \"" + archive + "\"");
    EXPECT_EQ(Finish(later), 0);
    EXPECT_EQ(m_main->ActiveDocument(), nullptr);
    ask(box);
  };
  StartAndClose(steps, [&] {
    ASSERT_TRUE(WaitUntil([&] { return m_main->ActiveDocument() != nullptr; }));
    EXPECT_EQ(TextOf(m_main->ActiveDocument()->Label1()), archive);
  });
}

// A failed association shows the registry's message once, and the start goes on: at the first
// start, and at each start after one where it was accepted.
TEST_F(FirstRunTest, FailedAssociationIsShownAndTheStartGoesOn) {
  Forget();
  cRegistryTestHelper refusing({HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER});
  Step failure{"Corvane", [](HWND box) {
                 EXPECT_TRUE(Shows(box, "Failed to set registry value Key: '"));
                 Click(box, IDOK);
               }};
  std::vector<Step> steps = FirstRun(IDOK, {frmOptions::kCmdCancel});
  steps.insert(steps.begin() + 1, failure);
  EXPECT_EQ(StartAndClose(steps), "0");
  Store("frun", "2");
  EXPECT_EQ(StartAndClose({failure}), "2");
}

}  // namespace
}  // namespace corvane
