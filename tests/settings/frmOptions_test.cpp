// The Options dialog, shown modally in this process and driven through its real controls.
#include "settings/frmOptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "WindowTesting.h"
#include "cRegistryTestHelper.h"
#include "platform/Twips.h"
#include "settings/AppSettings.h"

namespace corvane {
namespace {

using testing_support::Click;
using testing_support::DialogAnswer;
using testing_support::TextOf;
using F = frmOptions;

// A key the dialog's own message loop handles, as if typed in the control.
void Press(HWND dialog, int control, WPARAM key) {
  MSG msg{GetDlgItem(dialog, control), WM_KEYDOWN, key, 0};
  IsDialogMessageA(dialog, &msg);
}

class frmOptionsTest : public testing::Test {
 protected:
  void SetUp() override {
    g_bStoreFolderNames = false;
    g_sBasePath = "C:\\";
    g_iFirstRun = 1;
    m_owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 700,
                              500, nullptr, nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    DestroyWindow(m_owner);
    for (const char* key : {".ZIP", "Corvane.ZipFile"}) RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
  }

  // Shows the dialog and runs the steps on it once it is up; the steps close it.
  void Run(const std::function<void(HWND)>& steps) {
    DialogAnswer answer("Options", steps);
    frmOptions::Show(m_owner, "C:\\Corvane\\Corvane.exe");
    EXPECT_TRUE(answer.Answered());
  }

  HWND m_owner = nullptr;
};

TEST_F(frmOptionsTest, FieldsReachTheSettingsOnlyThroughOKAndApply) {
  auto cancel = [](HWND d) { Click(d, F::kCmdCancel); };
  const struct {
    const char* what;
    std::function<void(HWND)> leave;
    bool applied;
  } cases[] = {
      {"Cancel", cancel, false},
      {"Esc", [](HWND d) { Press(d, F::kCheck1, VK_ESCAPE); }, false},
      {"close box", [](HWND d) { SendMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, false},
      // No button is the default: Enter in the text box does nothing.
      {"Enter, Cancel",
       [&](HWND d) {
         Press(d, F::kTxtBase, VK_RETURN);
         cancel(d);
       },
       false},
      {"Apply, Cancel",
       [&](HWND d) {
         Click(d, F::kCmdApply);
         cancel(d);
       },
       true},
      {"OK", [](HWND d) { Click(d, F::kCmdOK); }, true},
  };
  for (const auto& c : cases) {
    for (const char* typed : {"D:\\Zo\xC3\xAB", ""}) {  // an empty base path is taken as well
      g_bStoreFolderNames = false;
      g_sBasePath = "C:\\";
      Run([&](HWND dialog) {
        Click(dialog, F::kCheck1);
        SetDlgItemTextA(dialog, F::kTxtBase, typed);
        c.leave(dialog);
      });
      EXPECT_EQ(g_bStoreFolderNames, c.applied) << c.what;
      EXPECT_EQ(g_sBasePath, c.applied ? typed : "C:\\") << c.what;
      // Opened again, it shows the settings as they now are.
      Run([&](HWND dialog) {
        EXPECT_EQ(IsDlgButtonChecked(dialog, F::kCheck1) == BST_CHECKED, c.applied) << c.what;
        EXPECT_EQ(TextOf(GetDlgItem(dialog, F::kTxtBase)), g_sBasePath) << c.what;
        cancel(dialog);
      });
    }
  }
  EXPECT_EQ(g_iFirstRun, 1);
}

TEST_F(frmOptionsTest, AssociateWritesAtOnceAndStopAssociatingKeepsTheKeys) {
  auto associated = [] {
    return RegGetValueA(HKEY_CLASSES_ROOT, ".ZIP", nullptr, RRF_RT_REG_SZ, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
  };
  Run([&](HWND dialog) {
    Click(dialog, F::kCmdAssoc);
    EXPECT_EQ(g_iFirstRun, 2);
    EXPECT_TRUE(associated());
    Click(dialog, F::kCmdDeAssoc);
    Click(dialog, F::kCmdCancel);  // takes back neither
  });
  EXPECT_EQ(g_iFirstRun, 0);
  EXPECT_TRUE(associated());

  // A failed association shows the registry error once; the dialog stays and "frun" stays.
  cRegistryTestHelper refusing({HKEY_LOCAL_MACHINE}, ERROR_WRITE_FAULT);
  int boxes = 0;
  Run([&](HWND dialog) {
    DialogAnswer box("Corvane", [&](HWND message) {
      ++boxes;
      std::vector<std::string> texts = testing_support::ChildTexts(message);
      EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const std::string& text) {
        return text.rfind("Failed to set registry value Key: '-2147483646'", 0) == 0;
      }));
      Click(message, IDOK);
    });
    Click(dialog, F::kCmdAssoc);
    EXPECT_TRUE(IsWindowVisible(dialog));
    Click(dialog, F::kCmdCancel);
  });
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(g_iFirstRun, 0);
}

TEST_F(frmOptionsTest, FixedDialogLaidOutFromTwipsAtItsDpi) {
  Run([&](HWND dialog) {
    auto expectLayout = [&](int dpi) {
      RECT client, ok;
      GetClientRect(dialog, &client);
      EXPECT_EQ(client.right, TwipsToPixels(6135, dpi));
      EXPECT_EQ(client.bottom, TwipsToPixels(2055, dpi));
      GetWindowRect(GetDlgItem(dialog, F::kCmdOK), &ok);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&ok), 2);
      EXPECT_EQ(ok.left, TwipsToPixels(2490, dpi));
      EXPECT_EQ(ok.top, TwipsToPixels(1575, dpi));
    };
    expectLayout(ScreenDpi());
    EXPECT_FALSE(GetWindowLongA(dialog, GWL_STYLE) &
                 (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    RECT outer, owner;
    GetWindowRect(dialog, &outer);
    GetWindowRect(m_owner, &owner);
    EXPECT_NEAR(outer.left + outer.right, owner.left + owner.right, 2);
    EXPECT_NEAR(outer.top + outer.bottom, owner.top + owner.bottom, 2);
    std::vector<int> order;
    for (HWND control = GetFocus(); order.size() < 8;
         control = GetNextDlgTabItem(dialog, control, FALSE)) {
      order.push_back(GetDlgCtrlID(control));
    }
    EXPECT_EQ(order, (std::vector<int>{F::kCmdOK, F::kCmdCancel, F::kCmdApply, F::kCheck1,
                                       F::kTxtBase, F::kCmdAssoc, F::kCmdDeAssoc, F::kCmdOK}));

    // Moved to a monitor of 144 dots per inch, it lays itself out again for that.
    LOGFONTA before{}, after{};
    auto font = [&] {
      return reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, F::kCmdOK, WM_GETFONT, 0, 0));
    };
    GetObjectA(font(), sizeof before, &before);
    RECT suggested{outer.left, outer.top, outer.right * 3 / 2, outer.bottom * 3 / 2};
    SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    expectLayout(144);
    GetObjectA(font(), sizeof after, &after);
    EXPECT_EQ(after.lfHeight, MulDiv(before.lfHeight, 144, ScreenDpi()));
    Click(dialog, F::kCmdCancel);
  });
}

}  // namespace
}  // namespace corvane
