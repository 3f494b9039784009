// The Options dialog, shown modally in this process and driven through its real controls.
#include "settings/frmOptions.h"

#include <gtest/gtest.h>

#include <functional>

#include "Testing.h"
#include "settings/AppSettings.h"

namespace corvane {
namespace {

using namespace test;
using F = frmOptions;

// Shows the dialog and runs the steps on it; the steps close it.
void ShowOptions(const std::function<void(HWND dialog)>& steps) {
  DialogAnswer answer("Options", steps);
  frmOptions::Show(nullptr, "C:\\Corvane\\Corvane.exe");
  EXPECT_TRUE(answer.Answered());
}

// Leaving by buttons, by keys typed in the text box as the dialog's own message loop sees them, or
// by the close box; what was typed is taken by OK and Apply only, an empty base path too. A base
// path that is no folder is taken only when the user keeps it in the warning box.
TEST(frmOptionsTest, FieldsReachTheSettingsOnlyThroughOKAndApply) {
  const std::string folder = "C:\\windows";
  const struct {
    std::vector<int> steps;
    std::string typed;
    bool applied;
    int warning;  // the warning box's answer; 0: no box
  } cases[] = {
      {{VK_ESCAPE}, "D:\\Zo\xC3\xAB", false, 0},
      {{SC_CLOSE}, "", false, 0},
      {{VK_RETURN, F::kCmdCancel}, "D:\\Zo\xC3\xAB", false, 0},  // no button is the default
      {{F::kCmdApply, F::kCmdCancel}, "D:\\Zo\xC3\xAB", true, IDYES},
      {{F::kCmdOK, F::kCmdCancel}, "D:\\Zo\xC3\xAB", false, IDNO},  // the dialog stays open
      {{F::kCmdOK}, folder, true, 0},
      {{F::kCmdOK}, "", true, 0},
  };
  g_iFirstRun = 1;
  for (const auto& c : cases) {
    g_bStoreFolderNames = false;
    g_sBasePath = "C:\\";
    DialogAnswer warning(kAppTitle, [&](HWND box) {
      EXPECT_NE(TextOf(GetDlgItem(box, 0xFFFF)).find(c.typed), std::string::npos);
      Click(box, c.warning);
    });
    ShowOptions([&](HWND dialog) {
      Click(dialog, F::kCheck1);
      SetDlgItemTextA(dialog, F::kTxtBase, c.typed.c_str());
      for (int step : c.steps) {
        MSG key{GetDlgItem(dialog, F::kTxtBase), WM_KEYDOWN, static_cast<WPARAM>(step), 0};
        if (step == SC_CLOSE) {
          SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (step == VK_ESCAPE || step == VK_RETURN) {
          IsDialogMessageA(dialog, &key);
        } else {
          Click(dialog, step);
        }
      }
    });
    EXPECT_EQ(warning.Answered(), c.warning ? 1 : 0) << c.typed;
    EXPECT_EQ(g_bStoreFolderNames, c.applied) << c.steps[0];
    EXPECT_EQ(g_sBasePath, c.applied ? c.typed : "C:\\") << c.steps[0];
    ShowOptions([&](HWND dialog) {  // opened again, it shows them as they now are
      EXPECT_EQ(IsDlgButtonChecked(dialog, F::kCheck1) == BST_CHECKED, c.applied) << c.steps[0];
      EXPECT_EQ(TextOf(GetDlgItem(dialog, F::kTxtBase)), g_sBasePath) << c.steps[0];
      Click(dialog, F::kCmdCancel);
    });
  }
  EXPECT_EQ(g_iFirstRun, 1);
}

// Every caption fits its control in the dialog's font: the room a button or check box leaves for
// text, with the box's mark and the edges taken off.
TEST(frmOptionsTest, EveryTextFitsItsControl) {
  ShowOptions([](HWND dialog) {
    for (int id : {F::kCmdOK, F::kCmdCancel, F::kCmdApply, F::kCheck1, F::kLabel2, F::kCmdAssoc,
                   F::kCmdDeAssoc}) {
      HWND control = GetDlgItem(dialog, id);
      std::wstring text(256, L'\0');
      text.resize(GetWindowTextW(control, text.data(), 256));
      HDC dc = GetDC(control);
      HGDIOBJ old =
          SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
      SIZE size{};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
      SelectObject(dc, old);
      ReleaseDC(control, dc);
      RECT client;
      GetClientRect(control, &client);
      int room = client.right - (id == F::kCheck1 ? GetSystemMetrics(SM_CXMENUCHECK) + 6 : 0) -
                 (id == F::kLabel2 ? 0 : 8);
      EXPECT_LE(size.cx, room) << id;
    }
    Click(dialog, F::kCmdCancel);
  });
}

}  // namespace
}  // namespace corvane
