// The frame at 144 dots per inch. Wine takes the DPI from LogPixels in the prefix when a process
// starts, so the test sets it, runs itself again in a new process, and restores it: it must run
// alone, as every process started meanwhile would see the changed DPI.

#include <windows.h>
#include <commctrl.h>

#include "FrameTest.h"
#include "document/frmDocument.h"
#include "platform/Dpi.h"

namespace corvane {
namespace {

constexpr char kDesktop[] = "Control Panel\\Desktop";

class FrameDpiTest : public test::FrameTest {};

TEST_F(FrameDpiTest, PicturesAndPlacementFollowTheDpi) {
  if (!test::InChildRun()) {
    DWORD before = 0, size = sizeof before;
    bool had = RegGetValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels", RRF_RT_REG_DWORD, nullptr,
                            &before, &size) == ERROR_SUCCESS;
    DWORD dpi = 144;
    RegSetKeyValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    long code = test::RunThisTestIn(test::BesideTests("dpi_test.exe"));
    if (had) {
      RegSetKeyValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels", REG_DWORD, &before, sizeof before);
    } else {
      RegDeleteKeyValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels");
    }
    EXPECT_EQ(code, 0);
    return;
  }
  ASSERT_EQ(ScreenDpi(), 144);
  frmMain& main = Open();
  EXPECT_EQ(main.Dpi(), 144);
  auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(main.Toolbar(), TB_GETIMAGELIST, 0, 0));
  int cx = 0, cy = 0;
  ImageList_GetIconSize(images, &cx, &cy);
  EXPECT_EQ(std::make_pair(cx, cy), std::make_pair(36, 36));
  // The default placement of 6500 twips is 650 pixels at this DPI.
  RECT window;
  GetWindowRect(main.Window(), &window);
  EXPECT_EQ(window.right - window.left, 650);
  // A document window's icons, 16 pixels at 96 dots per inch.
  frmDocument& document = main.CreateDocumentWindow();
  ImageList_GetIconSize(ListView_GetImageList(document.lvwZip(), LVSIL_SMALL), &cx, &cy);
  EXPECT_EQ(cx, 24);
}

}  // namespace
}  // namespace corvane
