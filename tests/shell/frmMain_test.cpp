// The main window, created in this process: its menus can be read only from inside the process
// that owns them.

#include "shell/frmMain.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <fstream>
#include <memory>
#include <set>
#include <tuple>

#include "WindowTesting.h"
#include "platform/CommandScope.h"
#include "platform/Dpi.h"
#include "settings/AppSettings.h"
#include "settings/frmAbout.h"
#include "shell/Startup.h"

namespace corvane {
namespace {

using namespace testing_support;

constexpr char kSection[] = "Software\\Corvane\\Settings";

std::string Stored(const char* name) {
  char data[512] = "";
  DWORD size = sizeof data;
  LSTATUS status =
      RegGetValueA(HKEY_CURRENT_USER, kSection, name, RRF_RT_REG_SZ, nullptr, data, &size);
  return status == ERROR_SUCCESS ? data : "<absent>";
}

void Store(const char* name, const std::string& text) {
  RegSetKeyValueA(HKEY_CURRENT_USER, kSection, name, REG_SZ, text.c_str(),
                  static_cast<DWORD>(text.size() + 1));
}

RECT RectIn(HWND window, HWND parent) {
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Left, top, width and height.
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

class frmMainTest : public testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSection);
    Store("frun", "0");  // the first-run question is not part of these cases
  }
  void TearDown() override {
    m_main.reset();
    RegDeleteTreeA(HKEY_CURRENT_USER, kSection);
  }

  frmMain& Open() {
    m_main = std::make_unique<frmMain>();
    m_main->Load("");
    PumpFor(50);
    return *m_main;
  }
  void Close() {
    HWND window = m_main->Window();
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }));
    m_main.reset();
  }
  void Command(WORD id) { SendMessageA(m_main->Window(), WM_COMMAND, id, 0); }
  HWND ActiveDocument() {
    return reinterpret_cast<HWND>(SendMessageA(m_main->MdiClient(), WM_MDIGETACTIVE, 0, 0));
  }
  LRESULT Forward(std::string payload) {
    COPYDATASTRUCT record{0, static_cast<DWORD>(payload.size()), payload.data()};
    return SendMessageA(m_main->Window(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
  }

  std::unique_ptr<frmMain> m_main;
};

// At the default placement, visible and marked; every shortcut a menu caption shows is translated
// to that item's command, and no other.
TEST_F(frmMainTest, FirstStartShowsTheFrameAndItsShortcutsWork) {
  RegDeleteTreeA(HKEY_CURRENT_USER, kSection);
  frmMain& main = Open();
  EXPECT_TRUE(IsWindowVisible(main.Window()) && !IsIconic(main.Window()));
  EXPECT_TRUE(IsMainWindow(main.Window()));
  EXPECT_EQ(Bounds(main.Window()), Pixels({1000, 1000, 6500, 6500}));
  EXPECT_EQ(g_iFirstRun, 1);
  EXPECT_NE(main.ProgramFilePath().find("\\shell_test.exe"), std::string::npos);
  std::vector<std::pair<char, UINT>> shown;
  HMENU bar = GetMenu(main.Window());
  for (int m = 0; m < GetMenuItemCount(bar); ++m) {
    HMENU menu = GetSubMenu(bar, m);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      char text[256] = "";
      GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
      std::string caption = text;
      size_t tab = caption.find("\tCtrl+");
      if (tab != std::string::npos) shown.push_back({caption[tab + 6], GetMenuItemID(menu, i)});
    }
  }
  std::vector<std::pair<char, UINT>> translated;
  ACCEL keys[16];
  int count = CopyAcceleratorTableA(main.Accelerators(), keys, 16);
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(keys[i].fVirt & (FVIRTKEY | FCONTROL | FSHIFT | FALT), FVIRTKEY | FCONTROL);
    translated.push_back({static_cast<char>(keys[i].key), keys[i].cmd});
  }
  EXPECT_EQ(translated, shown);
  EXPECT_FALSE(shown.empty());
}

// Each button stands for a command of the menu bar and has a tip.
TEST_F(frmMainTest, ToolbarButtonsCarryMenuCommandsAndTips) {
  frmMain& main = Open();
  EXPECT_TRUE(SendMessageA(main.Toolbar(), TB_GETSTYLE, 0, 0) & TBSTYLE_FLAT);
  int buttons = 0;
  for (int i = 0; i < SendMessageA(main.Toolbar(), TB_BUTTONCOUNT, 0, 0); ++i) {
    TBBUTTON button{};
    SendMessageA(main.Toolbar(), TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
    if (button.fsStyle & BTNS_SEP) continue;
    ++buttons;
    char caption[64] = "";
    HMENU bar = GetMenu(main.Window());
    EXPECT_GT(GetMenuStringA(bar, button.idCommand, caption, sizeof caption, MF_BYCOMMAND), 0);
    NMTTDISPINFOA tip{};
    tip.hdr.idFrom = button.idCommand;
    tip.hdr.code = TTN_GETDISPINFOA;
    SendMessageA(main.Window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
    EXPECT_TRUE(tip.lpszText && *tip.lpszText) << caption;
  }
  EXPECT_EQ(buttons, 4);
}

TEST_F(frmMainTest, StatusBarShowsTimeAndDateAndViewCommandsToggleTheBars) {
  frmMain& main = Open();
  HWND status = main.StatusBar();
  auto panel = [&](int i) {
    char text[64] = "";
    SendMessageA(status, SB_GETTEXTA, i, reinterpret_cast<LPARAM>(text));
    return std::string(text);
  };
  char time[64] = "", date[64] = "";
  // Kept current: within a few seconds of a minute's change the panel follows.
  EXPECT_TRUE(WaitUntil(
      [&] {
        GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, time, sizeof time);
        return panel(1) == time;
      },
      3000));
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof date);
  EXPECT_EQ(panel(2), date);

  // The documents get the space between the bars, and all of it with both hidden.
  RECT frame;
  GetClientRect(main.Window(), &frame);
  auto clientEdges = [&] {
    RECT client = RectIn(main.MdiClient(), main.Window());
    return std::make_pair(client.top, client.bottom);
  };
  EXPECT_EQ(clientEdges(), std::make_pair(RectIn(main.Toolbar(), main.Window()).bottom,
                                          RectIn(status, main.Window()).top));
  HMENU menu = GetMenu(main.Window());
  for (auto [command, bar] : {std::make_pair(frmMain::mnuViewToolbar, main.Toolbar()),
                              std::make_pair(frmMain::mnuViewStatusBar, status)}) {
    Command(command);
    EXPECT_FALSE(IsWindowVisible(bar) || GetMenuState(menu, command, MF_BYCOMMAND) & MF_CHECKED);
  }
  EXPECT_EQ(clientEdges(), std::make_pair(0L, frame.bottom));
  // Every start shows both again.
  Close();
  frmMain& again = Open();
  EXPECT_TRUE(IsWindowVisible(again.Toolbar()) && IsWindowVisible(again.StatusBar()));
}

TEST_F(frmMainTest, DocumentWindowsAreNumberedListedAndArranged) {
  frmMain& main = Open();
  HWND client = main.MdiClient();
  HWND docs[3];
  for (HWND& doc : docs) doc = main.CreateDocumentWindow();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(TextOf(docs[i]), "Zip " + std::to_string(i + 1));
  // The Window menu lists them; choosing one activates it.
  HMENU windowMenu = GetSubMenu(GetMenu(main.Window()), 2);
  char listed[64] = "";
  GetMenuStringA(windowMenu, frmMain::kFirstDocumentCommand, listed, sizeof listed, MF_BYCOMMAND);
  EXPECT_EQ(std::string(listed), "&1 Zip 1");
  Command(frmMain::kFirstDocumentCommand);
  EXPECT_EQ(ActiveDocument(), docs[0]);

  // Tiled side by side, one above the other, then cascaded.
  for (auto [command, lefts, tops] :
       {std::tuple{frmMain::mnuWindowTileVertical, size_t{3}, size_t{1}},
        std::tuple{frmMain::mnuWindowTileHorizontal, size_t{1}, size_t{3}},
        std::tuple{frmMain::mnuWindowCascade, size_t{3}, size_t{3}}}) {
    Command(command);
    std::set<LONG> l, t;
    for (HWND doc : docs) l.insert(RectIn(doc, client).left), t.insert(RectIn(doc, client).top);
    EXPECT_EQ(std::make_pair(l.size(), t.size()), std::make_pair(lefts, tops)) << command;
  }
  // Closing windows never reuses a number; the frame closes its documents when it closes.
  SendMessageA(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(docs[0]), 0);
  HWND fourth = main.CreateDocumentWindow();
  EXPECT_EQ(TextOf(fourth), "Zip 4");
  Close();
  EXPECT_FALSE(IsWindow(docs[2]) || IsWindow(fourth));
}

TEST_F(frmMainTest, AboutBoxIsOwnedCentredAndClosesWithEnterEscOrOk) {
  frmMain& main = Open();
  for (auto close : std::vector<std::function<void(HWND)>>{
           [](HWND box) { Click(box, IDOK); },
           [](HWND) { PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); },
           [](HWND) { PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0); }}) {
    HWND seen = nullptr;
    DialogAnswer answer("About Corvane", [&](HWND box) {
      seen = box;
      EXPECT_EQ(GetWindow(box, GW_OWNER), main.Window());
      EXPECT_EQ(TextOf(GetDlgItem(box, frmAbout::kLblVersion)), "Version 1.0.0");
      RECT outer, owner;
      GetWindowRect(box, &outer);
      GetWindowRect(main.Window(), &owner);
      EXPECT_NEAR(outer.left + outer.right, owner.left + owner.right, 2);
      EXPECT_NEAR(outer.top + outer.bottom, owner.top + owner.bottom, 2);
      close(box);
    });
    Command(frmMain::mnuHelpAbout);  // returns when the box has closed
    EXPECT_TRUE(seen && !IsWindow(seen));
  }
}

TEST_F(frmMainTest, FileDialogsOpenDocumentsAndKeepTheCurrentFolder) {
  Open();
  char temp[MAX_PATH] = "", before[MAX_PATH] = "", after[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  GetCurrentDirectoryA(sizeof before, before);
  std::string archive = std::string(temp) + "corvane open test.zip";
  std::ofstream(archive) << "x";
  auto answer = [&](const char* caption, WORD command, const std::string& name) {
    DialogAnswer dialog(caption, [&](HWND box) {
      if (!name.empty()) SetWindowTextA(GetDlgItem(box, 0x47C), name.c_str());  // file name box
      Click(box, name.empty() ? IDCANCEL : IDOK);
    });
    Command(command);
    EXPECT_TRUE(dialog.Answered()) << caption;
  };
  answer("Open", frmMain::mnuFileOpen, "");
  EXPECT_EQ(ActiveDocument(), nullptr);
  answer("Open", frmMain::mnuFileOpen, archive);
  ASSERT_NE(ActiveDocument(), nullptr);
  EXPECT_EQ(TextOf(ActiveDocument()), "Zip 1");
  // Window > New Window: the New dialog's name becomes the new window's caption.
  std::string created = std::string(temp) + "corvane new window.zip";
  answer("New", frmMain::mnuWindowNewWindow, created);
  EXPECT_EQ(TextOf(ActiveDocument()), created);
  GetCurrentDirectoryA(sizeof after, after);
  EXPECT_STREQ(after, before);
  DeleteFileA(archive.c_str());
}

TEST_F(frmMainTest, ForwardedCommandLineIsTakenAtOnceAndOpenedFromTheLoop) {
  frmMain& main = Open();
  EXPECT_EQ(Forward(std::string()), 1);
  EXPECT_EQ(Forward(std::string(1, '\0')), 1);  // an empty command line: shown, nothing opened
  EXPECT_EQ(Forward("\"C:\\x.zip\""), 1);
  EXPECT_EQ(ActiveDocument(), nullptr);
  PumpFor(50);
  ASSERT_NE(ActiveDocument(), nullptr);
  EXPECT_EQ(TextOf(ActiveDocument()), "Zip 1");
  EXPECT_EQ(GetWindow(ActiveDocument(), GW_HWNDNEXT), nullptr);
  EXPECT_TRUE(IsWindowVisible(main.Window()));
}

// A close or a forwarded command line that arrives while a command runs a nested loop waits for
// the command to return; one that comes due while another command runs waits again.
TEST_F(frmMainTest, CloseAndCommandLineWaitForTheCommandInProgress) {
  Open();
  std::unique_ptr<CommandScope> next;
  {
    CommandScope command;  // a command in its nested loop
    Forward("\"C:\\x.zip\"");
    PumpFor(100);
    EXPECT_EQ(ActiveDocument(), nullptr);
    {
      CommandScope nested;
    }
    PumpFor(100);
    EXPECT_EQ(ActiveDocument(), nullptr);
  }
  next = std::make_unique<CommandScope>();  // another command starts before the loop runs
  PumpFor(100);
  EXPECT_EQ(ActiveDocument(), nullptr);
  next.reset();
  EXPECT_TRUE(WaitUntil([&] { return ActiveDocument() != nullptr; }));
  m_main.reset();

  // A real command: Help > About holds its scope while the box runs its loop.
  HWND window = Open().Window();
  DialogAnswer about("About Corvane", [&](HWND box) {
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(box));
    Click(box, IDOK);
  });
  Command(frmMain::mnuHelpAbout);
  EXPECT_TRUE(about.Answered() && IsWindow(window));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }));
}

TEST_F(frmMainTest, DpiChangeLaysTheFrameOutAgain) {
  frmMain& main = Open();
  HWND window = main.Window();
  int toolbarAt96 = RectIn(main.Toolbar(), window).bottom;
  int statusAt96 = RectIn(main.StatusBar(), window).bottom - RectIn(main.StatusBar(), window).top;
  for (int dpi : {144, main.Dpi()}) {
    SCOPED_TRACE(dpi);
    RECT suggested{50, 60, 50 + ScaleForDpi(600, dpi), 60 + ScaleForDpi(400, dpi)};
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(Bounds(window), (std::vector<LONG>{50, 60, suggested.right - 50, suggested.bottom - 60}));
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(main.Toolbar(), TB_GETIMAGELIST, 0, 0));
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, ScaleForDpi(24, dpi));
    RECT toolbar = RectIn(main.Toolbar(), window), status = RectIn(main.StatusBar(), window);
    RECT client = RectIn(main.MdiClient(), window);
    EXPECT_EQ(client.top, toolbar.bottom);
    EXPECT_EQ(client.bottom, status.top);
    if (dpi == 144) {
      EXPECT_GT(toolbar.bottom, toolbarAt96 * 5 / 4);
      EXPECT_GT(status.bottom - status.top, statusAt96 * 5 / 4);
    }
  }
}

TEST_F(frmMainTest, PlacementAndSettingsRoundTrip) {
  frmMain& main = Open();
  SetWindowPos(main.Window(), nullptr, 100, 120, 600, 400, SWP_NOZORDER);
  g_bStoreFolderNames = true;
  g_sBasePath = "D:\\Zo\xC3\xAB\\";
  g_iFirstRun = 2;
  Close();
  std::vector<std::string> stored;
  for (const char* key : {"MainLeft", "MainTop", "MainWidth", "MainHeight", "storfolder", "frun"}) {
    stored.push_back(Stored(key));
  }
  EXPECT_EQ(stored, (std::vector<std::string>{"1500", "1800", "9000", "6000", "True", "2"}));
  g_bStoreFolderNames = false;
  g_sBasePath = "";
  frmMain& again = Open();
  EXPECT_EQ(Bounds(again.Window()), Pixels({1500, 1800, 9000, 6000}));
  EXPECT_TRUE(g_bStoreFolderNames);
  EXPECT_EQ(g_sBasePath, "D:\\Zo\xC3\xAB\\");
}

TEST_F(frmMainTest, EndOfSessionClosesAndSavesButAMinimisedCloseWritesNothing) {
  frmMain& main = Open();
  HWND document = main.CreateDocumentWindow();
  SetWindowPos(main.Window(), nullptr, 30, 45, 450, 300, SWP_NOZORDER);
  SendMessageA(main.Window(), WM_ENDSESSION, TRUE, 0);
  EXPECT_FALSE(IsWindow(document) || IsWindow(main.Window()));
  EXPECT_EQ(Stored("MainLeft"), "450");
  m_main.reset();

  frmMain& minimised = Open();
  ShowWindow(minimised.Window(), SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(minimised.Window()) != 0; }));
  g_bStoreFolderNames = true;
  g_iFirstRun = 2;
  Close();
  EXPECT_EQ(Stored("MainLeft"), "450");
  EXPECT_EQ(Stored("storfolder"), "False");
  EXPECT_EQ(Stored("frun"), "0");
}

TEST_F(frmMainTest, MaximisedCloseStoresTheMaximisedBounds) {
  frmMain& main = Open();
  ShowWindow(main.Window(), SW_MAXIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsZoomed(main.Window()) != 0; }));
  std::vector<LONG> maximised = Bounds(main.Window());
  Close();
  frmMain& again = Open();
  EXPECT_FALSE(IsZoomed(again.Window()));
  EXPECT_EQ(Bounds(again.Window())[2], maximised[2]);
  EXPECT_EQ(Bounds(again.Window())[3], maximised[3]);
}

TEST_F(frmMainTest, BadPlacementStillOpensOnScreen) {
  for (auto [left, top, width] : {std::make_tuple("-200000", "-200000", "6500"),
                                  std::make_tuple("900000", "30", "6500"),
                                  std::make_tuple("left", "1e99", "-5")}) {
    Store("MainLeft", left);
    Store("MainTop", top);
    Store("MainWidth", width);
    frmMain& main = Open();
    RECT rect;
    GetWindowRect(main.Window(), &rect);
    EXPECT_NE(MonitorFromRect(&rect, MONITOR_DEFAULTTONULL), nullptr) << left << "," << top;
    EXPECT_EQ(rect.right - rect.left, Pixels({6500})[0]) << left;
    Close();
  }
}

}  // namespace
}  // namespace corvane
