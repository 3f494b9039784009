// The main window, created in this process: its menus can be read only from inside the process
// that owns them.

#include "shell/frmMain.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "FrameTest.h"
#include "document/frmDocument.h"
#include "platform/CommandScope.h"
#include "platform/Dpi.h"
#include "settings/AppSettings.h"
#include "settings/frmAbout.h"
#include "shell/Startup.h"

namespace corvane {
namespace {

using namespace test;

RECT RectIn(HWND window, HWND parent) {
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Left, top, width and height; in pixels of lengths given in twips.
std::vector<LONG> Bounds(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}
std::vector<LONG> Pixels(std::vector<double> twips) {
  std::vector<LONG> pixels;
  for (double t : twips) pixels.push_back(TwipsToPixels(t, ScreenDpi()));
  return pixels;
}

class frmMainTest : public FrameTest {};

// Visible and marked; every shortcut a menu caption shows is translated to that item's command,
// and no other.
TEST_F(frmMainTest, FirstStartShowsTheFrameWithWorkingShortcuts) {
  frmMain& main = Open();
  EXPECT_TRUE(IsWindowVisible(main.Window()) && IsMainWindow(main.Window()));

  // (modifiers, key, command): "Ctrl+N" and function keys ("F5") as the captions show them.
  std::vector<std::tuple<int, int, UINT>> shown, translated;
  HMENU bar = GetMenu(main.Window());
  for (int m = 0; m < GetMenuItemCount(bar); ++m) {
    for (int i = 0; i < GetMenuItemCount(GetSubMenu(bar, m)); ++i) {
      char text[256] = "";
      GetMenuStringA(GetSubMenu(bar, m), i, text, sizeof text, MF_BYPOSITION);
      UINT command = GetMenuItemID(GetSubMenu(bar, m), i);
      if (const char* key = strstr(text, "\tCtrl+")) {
        shown.push_back({FVIRTKEY | FCONTROL, key[6], command});
      } else if (const char* function = strstr(text, "\tF")) {
        shown.push_back({FVIRTKEY, VK_F1 + std::atoi(function + 2) - 1, command});
      }
    }
  }
  ACCEL keys[16];
  for (int i = 0; i < CopyAcceleratorTableA(main.Accelerators(), keys, 16); ++i) {
    translated.push_back(
        {keys[i].fVirt & (FVIRTKEY | FCONTROL | FSHIFT | FALT), keys[i].key, keys[i].cmd});
  }
  std::sort(shown.begin(), shown.end());
  std::sort(translated.begin(), translated.end());
  EXPECT_EQ(translated, shown);
  EXPECT_FALSE(shown.empty());
}

// The status bar keeps the time. The documents get the space between the bars, which grow at a
// higher DPI with the toolbar's pictures, and all of it with both bars hidden by the View
// commands; every start shows both again.
TEST_F(frmMainTest, BarsKeepTheTimeFollowTheDpiAndTheViewCommands) {
  frmMain& main = Open();
  HWND window = main.Window(), status = main.StatusBar();
  char panel[64] = "", time[64] = "";
  // Kept current: within a few seconds of a minute's change the panel follows.
  EXPECT_TRUE(WaitUntil(
      [&] {
        SendMessageA(status, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(panel));
        GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, time, sizeof time);
        return strcmp(panel, time) == 0;
      },
      3000));
  auto height = [&](HWND bar) { return RectIn(bar, window).bottom - RectIn(bar, window).top; };
  auto clientEdges = [&] {
    return std::make_pair(RectIn(main.MdiClient(), window).top,
                          RectIn(main.MdiClient(), window).bottom);
  };
  int toolbarAt96 = height(main.Toolbar()), statusAt96 = height(status);
  for (int dpi : {144, main.Dpi()}) {
    RECT suggested{50, 60, 50 + ScaleForDpi(600, dpi), 60 + ScaleForDpi(400, dpi)};
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(Bounds(window),
              (std::vector<LONG>{50, 60, ScaleForDpi(600, dpi), ScaleForDpi(400, dpi)}));
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(main.Toolbar(), TB_GETIMAGELIST, 0, 0));
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(std::make_pair(cx, ImageList_GetImageCount(images)),
              std::make_pair(ScaleForDpi(24, dpi), 5));
    EXPECT_EQ(clientEdges(),
              std::make_pair(RectIn(main.Toolbar(), window).bottom, RectIn(status, window).top));
    EXPECT_EQ(height(main.Toolbar()) > toolbarAt96 * 5 / 4, dpi == 144);
    EXPECT_EQ(height(status) > statusAt96 * 5 / 4, dpi == 144);
  }
  RECT frame;
  GetClientRect(window, &frame);
  for (auto [command, bar] : {std::pair{frmMain::mnuViewToolbar, main.Toolbar()},
                              std::pair{frmMain::mnuViewStatusBar, status}}) {
    Command(command);
    EXPECT_FALSE(IsWindowVisible(bar) ||
                 GetMenuState(GetMenu(window), command, MF_BYCOMMAND) & MF_CHECKED);
  }
  EXPECT_EQ(clientEdges(), std::make_pair(0L, frame.bottom));
  Close();
  EXPECT_TRUE(IsWindowVisible(Open().Toolbar()) && IsWindowVisible(m_main->StatusBar()));
}

TEST_F(frmMainTest, DocumentWindowsAreNumberedAndListed) {
  frmMain& main = Open();
  HWND client = main.MdiClient();
  HWND docs[3];
  for (HWND& doc : docs) doc = main.CreateDocumentWindow().Window();
  EXPECT_EQ(TextOf(docs[2]), "Zip 3");
  // The Window menu lists them; choosing one activates it.
  char listed[64] = "";
  GetMenuStringA(GetMenu(main.Window()), frmMain::kFirstDocumentCommand, listed, sizeof listed,
                 MF_BYCOMMAND);
  EXPECT_STREQ(listed, "&1 Zip 1");
  Command(frmMain::kFirstDocumentCommand);
  EXPECT_EQ(m_main->ActiveDocument()->Window(), docs[0]);
  // Closing windows never reuses a number; the frame closes its documents when it closes.
  SendMessageA(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(docs[0]), 0);
  HWND fourth = main.CreateDocumentWindow().Window();
  EXPECT_EQ(TextOf(fourth), "Zip 4");
  Close();
  EXPECT_FALSE(IsWindow(docs[2]) || IsWindow(fourth));
}

// A forwarded command line is taken at once and opened from the frame's loop. It, or a close, that
// arrives while a command runs a nested loop waits for the command to return; one that comes due
// while another command runs waits again.
TEST_F(frmMainTest, CloseAndCommandLineWaitForTheCommandInProgress) {
  Open();
  // The archive is missing: once the line is carried out, a box says so and no window is left.
  std::string shown;
  DialogAnswer missing(
      kAppTitle,
      [&](HWND box) {
        shown += TextOf(GetDlgItem(box, 0xFFFF));
        Click(box, IDOK);
      },
      2);
  auto next = std::make_unique<CommandScope>();  // a command in its nested loop
  EXPECT_EQ(Forward("\"C:\\x.zip\""), 1);
  { CommandScope nested; }
  PumpFor(100);
  EXPECT_EQ(missing.Answered(), 0);
  next = std::make_unique<CommandScope>();  // the first ends, another starts before the loop runs
  PumpFor(100);
  EXPECT_EQ(missing.Answered(), 0);
  next.reset();
  EXPECT_TRUE(WaitUntil([&] { return missing.Answered() == 1; }));
  PumpFor(200);
  EXPECT_EQ(missing.Answered(), 1);  // carried out once
  EXPECT_EQ(shown.find("C:\\x.zip\r\n\r\n"), 0u) << shown;
  EXPECT_EQ(m_main->ActiveDocument(), nullptr);
  m_main.reset();

  // Help > About: owned, showing the program's version. Its command holds its scope while the box
  // runs its loop: a close meanwhile waits for it.
  HWND window = Open().Window(), seen = nullptr;
  DialogAnswer answer("About Corvane", [&](HWND box) {
    seen = box;
    EXPECT_EQ(GetWindow(box, GW_OWNER), window);
    EXPECT_EQ(TextOf(GetDlgItem(box, frmAbout::kLblVersion)), "Version 1.0.0");
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(box));
    Click(box, IDOK);
  });
  Command(frmMain::mnuHelpAbout);  // returns when the box has closed
  EXPECT_TRUE(seen && !IsWindow(seen) && IsWindow(window));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }));
}

// Closing, also by the end of the session, saves the placement and settings, which the next
// start takes; a minimised close writes nothing; a maximised one stores the maximised bounds.
TEST_F(frmMainTest, CloseSavesPlacementAndSettings) {
  frmMain& main = Open();
  HWND document = main.CreateDocumentWindow().Window();
  SetWindowPos(main.Window(), nullptr, 100, 120, 600, 400, SWP_NOZORDER);
  g_bStoreFolderNames = true;
  g_iFirstRun = 2;
  SendMessageA(main.Window(), WM_ENDSESSION, TRUE, 0);
  EXPECT_FALSE(IsWindow(document) || IsWindow(main.Window()));
  EXPECT_EQ(Stored("MainLeft") + Stored("MainHeight") + Stored("storfolder"), "15006000True");
  g_bStoreFolderNames = false;
  m_main.reset();
  EXPECT_EQ(Bounds(Open().Window()), Pixels({1500, 1800, 9000, 6000}));
  EXPECT_TRUE(g_bStoreFolderNames && g_iFirstRun == 2);

  ShowWindow(m_main->Window(), SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(m_main->Window()) != 0; }));
  g_bStoreFolderNames = false;
  Close();
  EXPECT_EQ(Stored("MainLeft") + Stored("storfolder"), "1500True");

  ShowWindow(Open().Window(), SW_MAXIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsZoomed(m_main->Window()) != 0; }));
  std::vector<LONG> maximised = Bounds(m_main->Window());
  Close();
  std::vector<LONG> reopened = Bounds(Open().Window());
  EXPECT_FALSE(IsZoomed(m_main->Window()));
  EXPECT_EQ(std::vector<LONG>(reopened.begin() + 2, reopened.end()),
            std::vector<LONG>(maximised.begin() + 2, maximised.end()));
}

TEST_F(frmMainTest, BadPlacementStillOpensOnScreen) {
  for (auto [left, top] :
       {std::pair{"-200000", "-200000"}, std::pair{"900000", "30"}, std::pair{"3e38", "-3e38"}}) {
    Store("MainLeft", left);
    Store("MainTop", top);
    RECT rect;
    GetWindowRect(Open().Window(), &rect);
    EXPECT_NE(MonitorFromRect(&rect, MONITOR_DEFAULTTONULL), nullptr) << left << "," << top;
    EXPECT_EQ(rect.right - rect.left, Pixels({6500})[0]) << left;
    Close();
  }
}

}  // namespace
}  // namespace corvane
