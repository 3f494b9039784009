// The Options dialog, shown modally in this process and driven through its real controls.
#include "settings/frmOptions.h"

#include <gtest/gtest.h>

#include <functional>

#include "WindowTesting.h"
#include "cRegistryTestHelper.h"
#include "platform/Twips.h"
#include "settings/AppSettings.h"
#include "settings/Association.h"

namespace corvane {
namespace {

using testing_support::Click;
using testing_support::DialogAnswer;
using testing_support::TextOf;

constexpr char kProgram[] = "C:\\Program Files\\Corvane\\Corvane.exe";
using F = frmOptions;

void RemoveAssociation() {
  for (const char* key : {".ZIP", "Corvane.ZipFile"}) {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
    RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\Classes\\") + key).c_str());
  }
}

// The way a row leaves the dialog.
void PressEsc(HWND dialog) {
  MSG key{GetDlgItem(dialog, F::kCheck1), WM_KEYDOWN, VK_ESCAPE, 0};
  IsDialogMessageA(dialog, &key);
}

class frmOptionsTest : public testing::Test {
 protected:
  void SetUp() override {
    g_bStoreFolderNames = false;
    g_sBasePath = "C:\\";
    g_iFirstRun = 1;
    RemoveAssociation();
    m_owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 700,
                              500, nullptr, nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    DestroyWindow(m_owner);
    RemoveAssociation();
  }

  // Shows the dialog and runs the steps on it once it is up; the steps close it.
  void Run(const std::function<void(HWND)>& steps) {
    DialogAnswer answer("Options", steps);
    frmOptions::Show(m_owner, kProgram);
    EXPECT_TRUE(answer.Answered());
  }

  HWND m_owner = nullptr;
};

TEST_F(frmOptionsTest, FieldsReachTheSettingsOnlyThroughOKAndApply) {
  const struct {
    const char* what;
    std::function<void(HWND)> leave;
    bool storeFolderNames;
    const char* basePath;
  } cases[] = {
      {"Cancel", [](HWND d) { Click(d, F::kCmdCancel); }, false, "C:\\"},
      {"Esc", PressEsc, false, "C:\\"},
      {"close box", [](HWND d) { SendMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, false, "C:\\"},
      {"Apply, then Cancel",
       [](HWND d) {
         Click(d, F::kCmdApply);
         EXPECT_TRUE(IsWindowVisible(d));
         Click(d, F::kCmdCancel);
       },
       true, "D:\\Zo\xC3\xAB"},
      {"OK", [](HWND d) { Click(d, F::kCmdOK); }, true, "D:\\Zo\xC3\xAB"},
      {"OK with an empty base path",
       [](HWND d) {
         SetDlgItemTextA(d, F::kTxtBase, "");
         Click(d, F::kCmdOK);
       },
       true, ""},
      // No button is the default: Enter in the text box leaves the dialog open.
      {"Enter, then Cancel",
       [](HWND d) {
         MSG key{GetDlgItem(d, F::kTxtBase), WM_KEYDOWN, VK_RETURN, 0};
         IsDialogMessageA(d, &key);
         EXPECT_TRUE(IsWindowVisible(d));
         Click(d, F::kCmdCancel);
       },
       false, "C:\\"},
  };
  for (const auto& c : cases) {
    g_bStoreFolderNames = false;
    g_sBasePath = "C:\\";
    Run([&](HWND dialog) {
      EXPECT_EQ(IsDlgButtonChecked(dialog, F::kCheck1), static_cast<UINT>(BST_UNCHECKED));
      EXPECT_EQ(TextOf(GetDlgItem(dialog, F::kTxtBase)), "C:\\");
      Click(dialog, F::kCheck1);
      SetDlgItemTextA(dialog, F::kTxtBase, "D:\\Zo\xC3\xAB");
      c.leave(dialog);
    });
    EXPECT_EQ(g_bStoreFolderNames, c.storeFolderNames) << c.what;
    EXPECT_EQ(g_sBasePath, c.basePath) << c.what;
    EXPECT_EQ(g_iFirstRun, 1) << c.what;
    // Opened again, it shows the settings as they now are.
    Run([&](HWND dialog) {
      EXPECT_EQ(IsDlgButtonChecked(dialog, F::kCheck1) == BST_CHECKED, c.storeFolderNames);
      EXPECT_EQ(TextOf(GetDlgItem(dialog, F::kTxtBase)), c.basePath);
      Click(dialog, F::kCmdCancel);
    });
  }
}

TEST_F(frmOptionsTest, AssociateWritesAtOnceAndStopAssociatingKeepsTheKeys) {
  Run([](HWND dialog) {
    Click(dialog, F::kCmdAssoc);
    EXPECT_EQ(g_iFirstRun, 2);
    char value[512] = "";
    DWORD size = sizeof value;
    EXPECT_EQ(RegGetValueA(HKEY_CLASSES_ROOT, "Corvane.ZipFile\\shell\\open\\command", nullptr,
                           RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(value), "\"" + std::string(kProgram) + "\" \"%1\"");
    Click(dialog, F::kCmdDeAssoc);
    EXPECT_EQ(g_iFirstRun, 0);
    Click(dialog, F::kCmdCancel);  // takes back neither
  });
  EXPECT_EQ(g_iFirstRun, 0);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, ".ZIP", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);

  // A failed association shows the registry error; the dialog stays and "frun" does not change.
  cRegistryTestHelper refusing({HKEY_LOCAL_MACHINE}, ERROR_WRITE_FAULT);
  std::vector<std::string> shown;
  Run([&](HWND dialog) {
    DialogAnswer box("Corvane", [&](HWND message) {
      shown = testing_support::ChildTexts(message);
      Click(message, IDOK);
    });
    Click(dialog, F::kCmdAssoc);
    EXPECT_TRUE(box.Answered());
    EXPECT_TRUE(IsWindowVisible(dialog));
    Click(dialog, F::kCmdCancel);
  });
  EXPECT_EQ(g_iFirstRun, 0);
  bool named = false;
  for (const std::string& text : shown) {
    named |= text.find(
                 "Failed to set registry value Key: '-2147483646',Section: "
                 "'SOFTWARE\\Classes\\.ZIP'") == 0;
  }
  EXPECT_TRUE(named);
}

TEST_F(frmOptionsTest, FixedDialogLaidOutFromTwipsAtItsDpi) {
  Run([&](HWND dialog) {
    int dpi = ScreenDpi();
    auto px = [&](int twips) { return TwipsToPixels(twips, dpi); };
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, px(6135));
    EXPECT_EQ(client.bottom, px(2055));
    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), m_owner);
    RECT outer, owner;
    GetWindowRect(dialog, &outer);
    GetWindowRect(m_owner, &owner);
    EXPECT_NEAR(outer.left + outer.right, owner.left + owner.right, 2);
    EXPECT_NEAR(outer.top + outer.bottom, owner.top + owner.bottom, 2);

    // Tab order, from the control that has the focus at first.
    std::vector<int> order;
    HWND control = GetFocus();
    for (int i = 0; i < 7; ++i, control = GetNextDlgTabItem(dialog, control, FALSE)) {
      order.push_back(GetDlgCtrlID(control));
    }
    EXPECT_EQ(order, (std::vector<int>{F::kCmdOK, F::kCmdCancel, F::kCmdApply, F::kCheck1,
                                       F::kTxtBase, F::kCmdAssoc, F::kCmdDeAssoc}));
    for (int id : {F::kCmdOK, F::kCmdCancel, F::kCmdApply, F::kCmdAssoc, F::kCmdDeAssoc}) {
      if (GetDlgItem(dialog, id) == GetFocus()) continue;  // the focused button acts as default
      EXPECT_FALSE(GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & BS_DEFPUSHBUTTON) << id;
    }

    // Moved to a monitor of 144 dots per inch, it lays itself out again for that.
    LOGFONTA before{}, after{};
    GetObjectA(reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, F::kCmdOK, WM_GETFONT, 0, 0)),
               sizeof before, &before);
    RECT suggested{outer.left, outer.top, outer.left + (outer.right - outer.left) * 3 / 2,
                   outer.top + (outer.bottom - outer.top) * 3 / 2};
    SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, TwipsToPixels(6135, 144));
    EXPECT_EQ(client.bottom, TwipsToPixels(2055, 144));
    RECT ok;
    GetWindowRect(GetDlgItem(dialog, F::kCmdOK), &ok);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&ok), 2);
    EXPECT_EQ(ok.left, TwipsToPixels(2490, 144));
    EXPECT_EQ(ok.top, TwipsToPixels(1575, 144));
    EXPECT_EQ(ok.right - ok.left, TwipsToPixels(1095, 144));
    GetObjectA(reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, F::kCmdOK, WM_GETFONT, 0, 0)),
               sizeof after, &after);
    EXPECT_EQ(after.lfHeight, MulDiv(before.lfHeight, 144, dpi));
    Click(dialog, F::kCmdCancel);
  });
}

// Outside the dialog too, a failed association is shown once, with the registry error's text.
TEST_F(frmOptionsTest, FailedAssociationIsReported) {
  cRegistryTestHelper refusing({HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER});
  int boxes = 0;
  DialogAnswer box("Corvane", [&](HWND message) {
    ++boxes;
    Click(message, IDOK);
  });
  EXPECT_FALSE(TryAssociateZipFiles(m_owner, kProgram));
  EXPECT_EQ(boxes, 1);
}

}  // namespace
}  // namespace corvane
