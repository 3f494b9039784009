// The main window, created in this process: its menus can be read only from inside the process
// that owns them.

#include "shell/frmMain.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <fstream>
#include <memory>

#include "WindowTesting.h"
#include "platform/Twips.h"
#include "settings/AppSettings.h"
#include "settings/frmAbout.h"
#include "shell/Startup.h"

namespace corvane {
namespace {

using testing_support::ChildTexts;
using testing_support::Click;
using testing_support::DialogAnswer;
using testing_support::PumpFor;
using testing_support::TextOf;
using testing_support::WaitUntil;

constexpr char kSection[] = "Software\\Corvane\\Settings";

std::string Stored(const char* name) {
  char data[512] = "";
  DWORD size = sizeof data;
  if (RegGetValueA(HKEY_CURRENT_USER, kSection, name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS) {
    return "<absent>";
  }
  return data;
}

void Store(const char* name, const std::string& text) {
  RegSetKeyValueA(HKEY_CURRENT_USER, kSection, name, REG_SZ, text.c_str(),
                  static_cast<DWORD>(text.size() + 1));
}

int Px(double twips) {
  return TwipsToPixels(twips, ScreenDpi());
}

constexpr UINT kChecked = 1, kDisabled = 2;

// The window's bounds, given in twips.
void ExpectPlacedAt(HWND window, int left, int top, int width, int height) {
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, Px(left));
  EXPECT_EQ(rect.top, Px(top));
  EXPECT_EQ(rect.right - rect.left, Px(width));
  EXPECT_EQ(rect.bottom - rect.top, Px(height));
}

struct MenuItem {
  std::string caption;  // "-" for a separator
  UINT id;
  UINT state;
};

std::vector<MenuItem> ItemsOf(HMENU menu) {
  std::vector<MenuItem> items;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[256] = "";
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    GetMenuItemInfoA(menu, i, TRUE, &info);
    bool separator = info.fType & MFT_SEPARATOR;
    UINT state =
        (info.fState & MFS_CHECKED ? kChecked : 0) | (info.fState & MFS_DISABLED ? kDisabled : 0);
    items.push_back({separator ? "-" : text, separator ? 0 : info.wID, separator ? 0 : state});
  }
  return items;
}

RECT RectIn(HWND window, HWND parent) {
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

class frmMainTest : public testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSection);
    // The first-run question is not part of these cases.
    Store("frun", "0");
  }
  void TearDown() override {
    m_main.reset();
    RegDeleteTreeA(HKEY_CURRENT_USER, kSection);
    // A start with "frun" 2 associated .zip files with this test program.
    for (const char* key : {".ZIP", "Corvane.ZipFile"}) RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
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

  std::unique_ptr<frmMain> m_main;
};

TEST_F(frmMainTest, FirstStartOpensVisibleAtDefaultPlacement) {
  RegDeleteTreeA(HKEY_CURRENT_USER, kSection);
  Store("frun", "0");  // the first-run question has its own tests
  frmMain& main = Open();
  HWND window = main.Window();
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_FALSE(IsIconic(window));
  EXPECT_EQ(TextOf(window), "Corvane");
  EXPECT_TRUE(IsMainWindow(window));
  ExpectPlacedAt(window, 1000, 1000, 6500, 6500);
  EXPECT_FALSE(g_bStoreFolderNames);
  EXPECT_EQ(g_sBasePath, "C:\\");
  EXPECT_NE(main.ProgramFilePath().find("\\shell_test.exe"), std::string::npos);
  EXPECT_EQ(main.ProgramFilePath().find("\\\\"), std::string::npos);
}

TEST_F(frmMainTest, MenusHaveTheirCaptionsShortcutsAndStates) {
  frmMain& main = Open();
  HMENU bar = GetMenu(main.Window());
  using F = frmMain;
  const std::vector<std::pair<std::string, std::vector<MenuItem>>> expected = {
      {"&File",
       {{"&New\tCtrl+N", F::mnuFileNew, 0},
        {"&Open...\tCtrl+O", F::mnuFileOpen, 0},
        {"&Close", F::mnuFileClose, 0},
        {"-", 0, 0},
        {"&Extract To...", F::mnuFileExtract, 0},
        {"-", 0, 0},
        {"&Add Files...", F::mnuFileAdd, 0},
        {"-", 0, 0},
        {"E&xit", F::mnuFileExit, 0}}},
      {"&View",
       {{"&Toolbar", F::mnuViewToolbar, kChecked},
        {"Status &Bar", F::mnuViewStatusBar, kChecked},
        {"-", 0, 0},
        {"&Refresh", F::mnuViewRefresh, 0},
        {"&Options...", F::mnuViewOptions, 0}}},
      {"&Window",
       {{"&New Window", F::mnuWindowNewWindow, 0},
        {"-", 0, 0},
        {"&Cascade", F::mnuWindowCascade, 0},
        {"Tile &Horizontal", F::mnuWindowTileHorizontal, 0},
        {"Tile &Vertical", F::mnuWindowTileVertical, 0},
        {"&Arrange Icons", F::mnuWindowArrangeIcons, 0}}},
      {"&Help",
       {{"&Contents", F::mnuHelpContents, kDisabled},
        {"&Search For Help On...", F::mnuHelpSearchForHelpOn, kDisabled},
        {"-", 0, 0},
        {"&About ", F::mnuHelpAbout, 0}}},
  };
  ASSERT_EQ(GetMenuItemCount(bar), static_cast<int>(expected.size()));
  for (size_t m = 0; m < expected.size(); ++m) {
    char title[64] = "";
    GetMenuStringA(bar, static_cast<UINT>(m), title, sizeof title, MF_BYPOSITION);
    EXPECT_EQ(title, expected[m].first);
    std::vector<MenuItem> items = ItemsOf(GetSubMenu(bar, static_cast<int>(m)));
    ASSERT_EQ(items.size(), expected[m].second.size()) << title;
    for (size_t i = 0; i < items.size(); ++i) {
      const MenuItem& want = expected[m].second[i];
      EXPECT_EQ(items[i].caption, want.caption) << title << " item " << i;
      EXPECT_EQ(items[i].id, want.id) << want.caption;
      EXPECT_EQ(items[i].state, want.state) << want.caption;
    }
  }

  // The shortcuts that the captions show are the ones the frame translates.
  ACCEL keys[8];
  int count = CopyAcceleratorTableA(main.Accelerators(), keys, 8);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(keys[0].key, 'N');
  EXPECT_EQ(keys[0].cmd, F::mnuFileNew);
  EXPECT_EQ(keys[1].key, 'O');
  EXPECT_EQ(keys[1].cmd, F::mnuFileOpen);
  for (const ACCEL& key : keys) {
    if (&key - keys < count)
      EXPECT_EQ(key.fVirt & (FVIRTKEY | FCONTROL | FSHIFT | FALT), FVIRTKEY | FCONTROL);
  }
}

TEST_F(frmMainTest, ToolbarHasKeyedFlatButtonsWithPicturesAndTips) {
  frmMain& main = Open();
  HWND toolbar = main.Toolbar();
  EXPECT_TRUE(SendMessageA(toolbar, TB_GETSTYLE, 0, 0) & TBSTYLE_FLAT);
  const struct {
    const char* key;
    const char* caption;
    const char* tip;
    int command;
  } expected[] = {
      {"New", "New", "New", frmMain::mnuFileNew},
      {"Open", "Open", "Open", frmMain::mnuFileOpen},
      {nullptr, nullptr, nullptr, 0},
      {"Undo", "Add", "Add Files...", frmMain::mnuFileAdd},
      {"Redo", "  Extract  ", "Extract", frmMain::mnuFileExtract},
  };
  ASSERT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), 5);
  for (int i = 0; i < 5; ++i) {
    TBBUTTON button{};
    SendMessageA(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
    if (!expected[i].key) {
      EXPECT_TRUE(button.fsStyle & BTNS_SEP) << i;
      continue;
    }
    EXPECT_STREQ(reinterpret_cast<const char*>(button.dwData), expected[i].key);
    EXPECT_EQ(button.idCommand, expected[i].command);
    char text[64] = "";
    SendMessageA(toolbar, TB_GETBUTTONTEXTA, button.idCommand, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::string(text), expected[i].caption);
    // The tool tip is what the frame answers for the button.
    NMTTDISPINFOA tip{};
    tip.hdr.hwndFrom = reinterpret_cast<HWND>(SendMessageA(toolbar, TB_GETTOOLTIPS, 0, 0));
    tip.hdr.idFrom = button.idCommand;
    tip.hdr.code = TTN_GETDISPINFOA;
    SendMessageA(main.Window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
    ASSERT_NE(tip.lpszText, nullptr);
    EXPECT_STREQ(tip.lpszText, expected[i].tip);
  }

  // Five 24 x 24 pictures, silver drawn as transparent.
  auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0));
  ASSERT_EQ(ImageList_GetImageCount(images), 5);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(images, &cx, &cy);
  EXPECT_EQ(cx, 24);
  EXPECT_EQ(cy, 24);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 24, 24);
  HGDIOBJ old = SelectObject(dc, bitmap);
  for (int i = 0; i < 5; ++i) {
    RECT all{0, 0, 24, 24};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &all, red);
    DeleteObject(red);
    ImageList_Draw(images, i, dc, 0, 0, ILD_TRANSPARENT);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0)) << "picture " << i;
    int drawn = 0;
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 24; ++x) drawn += GetPixel(dc, x, y) != RGB(255, 0, 0);
    }
    EXPECT_GT(drawn, 60) << "picture " << i;
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
}

TEST_F(frmMainTest, StatusBarShowsTimeAndDate) {
  frmMain& main = Open();
  HWND status = main.StatusBar();
  int edges[4] = {};
  ASSERT_EQ(SendMessageA(status, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 3);
  EXPECT_GT(edges[0], 0);
  EXPECT_GT(edges[1], edges[0]);
  EXPECT_EQ(edges[2], -1);
  char text[128] = "";
  SendMessageA(status, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "");
  auto now = [](bool time) {
    char value[64] = "";
    if (time) {
      GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, value, sizeof value);
    } else {
      GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, value, sizeof value);
    }
    return std::string(value);
  };
  // Kept current: within a few seconds of a minute's change the panel follows.
  EXPECT_TRUE(WaitUntil(
      [&] {
        char panel[64] = "";
        SendMessageA(status, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(panel));
        return panel == now(true);
      },
      3000));
  SendMessageA(status, SB_GETTEXTA, 2, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(text, now(false));
}

TEST_F(frmMainTest, ViewCommandsToggleTheBars) {
  frmMain& main = Open();
  HMENU menu = GetMenu(main.Window());
  RECT frame;
  GetClientRect(main.Window(), &frame);
  RECT client = RectIn(main.MdiClient(), main.Window());
  int toolbarHeight = RectIn(main.Toolbar(), main.Window()).bottom;
  int statusTop = RectIn(main.StatusBar(), main.Window()).top;
  EXPECT_EQ(client.top, toolbarHeight);
  EXPECT_EQ(client.bottom, statusTop);

  const struct {
    WORD command;
    HWND bar;
  } bars[] = {{frmMain::mnuViewToolbar, main.Toolbar()},
              {frmMain::mnuViewStatusBar, main.StatusBar()}};
  for (const auto& b : bars) {
    Command(b.command);
    EXPECT_FALSE(IsWindowVisible(b.bar));
    EXPECT_FALSE(GetMenuState(menu, b.command, MF_BYCOMMAND) & MF_CHECKED);
    Command(b.command);
    EXPECT_TRUE(IsWindowVisible(b.bar));
    EXPECT_TRUE(GetMenuState(menu, b.command, MF_BYCOMMAND) & MF_CHECKED);
  }
  // With both hidden the documents get the whole client area.
  Command(frmMain::mnuViewToolbar);
  Command(frmMain::mnuViewStatusBar);
  client = RectIn(main.MdiClient(), main.Window());
  EXPECT_EQ(client.top, 0);
  EXPECT_EQ(client.bottom, frame.bottom);
  // Every start shows both again.
  Close();
  frmMain& again = Open();
  EXPECT_TRUE(IsWindowVisible(again.Toolbar()));
  EXPECT_TRUE(IsWindowVisible(again.StatusBar()));
}

TEST_F(frmMainTest, DocumentWindowsAreNumberedListedAndArranged) {
  frmMain& main = Open();
  HWND client = main.MdiClient();
  HMENU windowMenu = GetSubMenu(GetMenu(main.Window()), 2);
  HWND docs[3];
  for (HWND& doc : docs) doc = main.CreateDocumentWindow();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(TextOf(docs[i]), "Zip " + std::to_string(i + 1));

  auto listed = [&] {
    std::vector<std::string> names;
    for (const MenuItem& item : ItemsOf(windowMenu)) {
      if (item.id >= frmMain::kFirstDocumentCommand) {
        names.push_back(item.caption.substr(item.caption.find(' ') + 1) +
                        (item.state & kChecked ? "*" : ""));
      }
    }
    return names;
  };
  EXPECT_EQ(listed(), (std::vector<std::string>{"Zip 1", "Zip 2", "Zip 3*"}));
  // Choosing an entry of the list activates that window.
  SendMessageA(main.Window(), WM_COMMAND, frmMain::kFirstDocumentCommand, 0);
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0)), docs[0]);
  EXPECT_EQ(listed(), (std::vector<std::string>{"Zip 1*", "Zip 2", "Zip 3"}));

  Command(frmMain::mnuWindowTileVertical);
  RECT a = RectIn(docs[0], client), b = RectIn(docs[1], client), c = RectIn(docs[2], client);
  EXPECT_EQ(a.top, b.top);
  EXPECT_EQ(b.top, c.top);
  EXPECT_NE(a.left, b.left);
  EXPECT_NE(b.left, c.left);
  Command(frmMain::mnuWindowTileHorizontal);
  a = RectIn(docs[0], client), b = RectIn(docs[1], client), c = RectIn(docs[2], client);
  EXPECT_EQ(a.left, b.left);
  EXPECT_EQ(b.left, c.left);
  EXPECT_NE(a.top, b.top);
  EXPECT_NE(b.top, c.top);
  Command(frmMain::mnuWindowCascade);
  std::vector<RECT> cascade;
  for (HWND doc : docs) cascade.push_back(RectIn(doc, client));
  std::sort(cascade.begin(), cascade.end(),
            [](const RECT& l, const RECT& r) { return l.left < r.left; });
  EXPECT_LT(cascade[0].top, cascade[1].top);
  EXPECT_LT(cascade[1].top, cascade[2].top);

  // Minimised documents line up along the bottom again after being moved (wide enough for one row).
  SetWindowPos(main.Window(), nullptr, 0, 0, 900, 600, SWP_NOMOVE | SWP_NOZORDER);
  for (HWND doc : docs) ShowWindow(doc, SW_MINIMIZE);
  SetWindowPos(docs[1], nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Command(frmMain::mnuWindowArrangeIcons);
  RECT area;
  GetClientRect(client, &area);
  for (HWND doc : docs) {
    RECT icon = RectIn(doc, client);
    EXPECT_EQ(icon.top, RectIn(docs[0], client).top);
    EXPECT_GT(icon.top, area.bottom / 2);
  }

  // Closing windows never reuses a number.
  SendMessageA(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(docs[0]), 0);
  SendMessageA(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(docs[1]), 0);
  HWND fourth = main.CreateDocumentWindow();
  EXPECT_EQ(TextOf(fourth), "Zip 4");
  EXPECT_EQ(listed(), (std::vector<std::string>{"Zip 3", "Zip 4*"}));

  // The frame closes its documents when it closes.
  HWND third = docs[2];
  Close();
  EXPECT_FALSE(IsWindow(third));
  EXPECT_FALSE(IsWindow(fourth));
}

TEST_F(frmMainTest, PlaceholderCommandsShowTheirText) {
  Open();
  const struct {
    WORD command;
    const char* text;
  } cases[] = {{frmMain::mnuFileClose, "Add 'mnuFileClose_Click' code."},
               {frmMain::mnuViewRefresh, "Add 'mnuViewRefresh_Click' code."}};
  for (const auto& c : cases) {
    std::vector<std::string> texts;
    DialogAnswer answer("Corvane", [&](HWND box) {
      texts = ChildTexts(box);
      Click(box, IDOK);
    });
    Command(c.command);
    ASSERT_TRUE(answer.Answered()) << c.text;
    EXPECT_NE(std::find(texts.begin(), texts.end(), c.text), texts.end()) << c.text;
    EXPECT_NE(std::find(texts.begin(), texts.end(), "OK"), texts.end());
    EXPECT_EQ(std::find(texts.begin(), texts.end(), "Cancel"), texts.end());
  }
  EXPECT_EQ(GetWindow(m_main->MdiClient(), GW_CHILD), nullptr);
}

TEST_F(frmMainTest, AboutBoxShowsNameAndVersion) {
  frmMain& main = Open();
  // Enter, Esc and a click on OK each close it.
  const struct {
    const char* how;
    std::function<void(HWND)> close;
  } ways[] = {
      {"click", [](HWND box) { Click(box, IDOK); }},
      {"Esc", [](HWND box) { PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); }},
      {"Enter", [](HWND box) { PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0); }},
  };
  for (const auto& way : ways) {
    bool checked = false;
    HWND seen = nullptr;
    DialogAnswer answer("About Corvane", [&](HWND box) {
      seen = box;
      EXPECT_EQ(GetWindow(box, GW_OWNER), main.Window());
      EXPECT_EQ(TextOf(GetDlgItem(box, frmAbout::kLblTitle)), "Corvane");
      EXPECT_EQ(TextOf(GetDlgItem(box, frmAbout::kLblVersion)), "Version 1.0.0");
      EXPECT_EQ(TextOf(GetDlgItem(box, frmAbout::kLabel1)), "Windows 9x/NT/2000/ME");
      EXPECT_EQ(TextOf(GetDlgItem(box, frmAbout::kCmdOK)), "OK");
      EXPECT_TRUE(GetWindowLongA(GetDlgItem(box, frmAbout::kCmdOK), GWL_STYLE) & BS_DEFPUSHBUTTON);
      RECT client;
      GetClientRect(box, &client);
      EXPECT_EQ(client.right, Px(5865));
      EXPECT_EQ(client.bottom, Px(3630));
      RECT ok = RectIn(GetDlgItem(box, frmAbout::kCmdOK), box);
      EXPECT_EQ(ok.left, Px(4245));
      EXPECT_EQ(ok.top, Px(3120));
      RECT logo = RectIn(GetDlgItem(box, frmAbout::kPicture1), box);
      EXPECT_EQ(logo.left, Px(720));
      EXPECT_EQ(logo.top, Px(120));
      EXPECT_EQ(logo.right - logo.left, 293);
      EXPECT_EQ(logo.bottom - logo.top, 138);
      LONG style = GetWindowLongA(box, GWL_STYLE);
      EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
      // Centred on its owner.
      RECT outer, owner;
      GetWindowRect(box, &outer);
      GetWindowRect(main.Window(), &owner);
      EXPECT_NEAR(outer.left + outer.right, owner.left + owner.right, 2);
      EXPECT_NEAR(outer.top + outer.bottom, owner.top + owner.bottom, 2);
      // White background behind the box and its labels.
      HDC dc = GetDC(box);
      for (UINT message : {WM_CTLCOLORDLG, WM_CTLCOLORSTATIC}) {
        auto brush =
            reinterpret_cast<HBRUSH>(SendMessageA(box, message, reinterpret_cast<WPARAM>(dc), 0));
        LOGBRUSH colour{};
        ASSERT_TRUE(GetObjectA(brush, sizeof colour, &colour));
        EXPECT_EQ(colour.lbColor, RGB(255, 255, 255));
      }
      ReleaseDC(box, dc);
      checked = true;
      way.close(box);
    });
    Command(frmMain::mnuHelpAbout);  // returns when the box has closed
    EXPECT_TRUE(checked) << way.how;
    EXPECT_FALSE(IsWindow(seen)) << way.how;
  }
}

TEST_F(frmMainTest, FileDialogsHaveTheirTitlesAndFilters) {
  frmMain& main = Open();
  EXPECT_EQ(main.OpenDialog().Title(), "Open");
  EXPECT_EQ(main.OpenDialog().Filter(), "ZIP Files (*.zip)|*.zip|All Files (*.*)|*.*");
  EXPECT_EQ(main.OpenDialog().MaxFileName(), 260u);
  EXPECT_EQ(main.NewDialog().Title(), "New");
  EXPECT_EQ(main.NewDialog().Filter(), "ZIP Files (*.zip)|*.zip");
  EXPECT_EQ(main.AddFilesDialog().Title(), "Add Files");
  EXPECT_EQ(main.AddFilesDialog().Filter(), "All Files (*.*)|*.*");
  EXPECT_EQ(main.AddFilesDialog().MaxFileName(), 32000u);

  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  std::string archive = std::string(temp) + "corvane open test.zip";
  std::ofstream(archive) << "x";

  // File > Open: the real dialog, cancelled and then answered with a name.
  {
    DialogAnswer answer("Open", [](HWND dialog) { Click(dialog, IDCANCEL); });
    Command(frmMain::mnuFileOpen);
    EXPECT_TRUE(answer.Answered());
  }
  EXPECT_EQ(GetWindow(main.MdiClient(), GW_CHILD), nullptr);
  {
    DialogAnswer answer("Open", [&](HWND dialog) {
      SetWindowTextA(GetDlgItem(dialog, 0x47C), archive.c_str());
      Click(dialog, IDOK);
    });
    Command(frmMain::mnuFileOpen);
    EXPECT_TRUE(answer.Answered());
  }
  auto active = [&] {
    return reinterpret_cast<HWND>(SendMessageA(main.MdiClient(), WM_MDIGETACTIVE, 0, 0));
  };
  ASSERT_NE(active(), nullptr);
  EXPECT_EQ(TextOf(active()), "Zip 1");

  // Window > New Window: the New dialog's name becomes the new window's caption.
  std::string created = std::string(temp) + "corvane new window.zip";
  {
    DialogAnswer answer("New", [&](HWND dialog) {
      SetWindowTextA(GetDlgItem(dialog, 0x47C), created.c_str());
      Click(dialog, IDOK);
    });
    Command(frmMain::mnuWindowNewWindow);
    EXPECT_TRUE(answer.Answered());
  }
  EXPECT_EQ(TextOf(active()), created);
  {
    DialogAnswer answer("New", [](HWND dialog) { Click(dialog, IDCANCEL); });
    Command(frmMain::mnuWindowNewWindow);
  }
  EXPECT_EQ(TextOf(active()), created);
  DeleteFileA(archive.c_str());
}

TEST_F(frmMainTest, ForwardedRecordDoesNoHarm) {
  frmMain& main = Open();
  for (std::string payload : {std::string(), std::string(1, '\0'), std::string("\"x.zip\"")}) {
    COPYDATASTRUCT record{0, static_cast<DWORD>(payload.size()), payload.data()};
    SendMessageA(main.Window(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
  }
  EXPECT_TRUE(IsWindowVisible(main.Window()));
  EXPECT_EQ(GetWindow(main.MdiClient(), GW_CHILD), nullptr);
}

TEST_F(frmMainTest, PlacementAndSettingsRoundTrip) {
  frmMain& main = Open();
  SetWindowPos(main.Window(), nullptr, 100, 120, 600, 400, SWP_NOZORDER);
  g_bStoreFolderNames = true;
  g_sBasePath = "D:\\Zo\xC3\xAB\\";
  g_iFirstRun = 2;
  Close();
  EXPECT_EQ(Stored("MainLeft"), "1500");
  EXPECT_EQ(Stored("MainTop"), "1800");
  EXPECT_EQ(Stored("MainWidth"), "9000");
  EXPECT_EQ(Stored("MainHeight"), "6000");
  EXPECT_EQ(Stored("storfolder"), "True");
  EXPECT_EQ(Stored("BasePath"), "D:\\Zo\xC3\xAB\\");
  EXPECT_EQ(Stored("frun"), "2");

  g_bStoreFolderNames = false;
  g_sBasePath = "";
  g_iFirstRun = 0;
  frmMain& again = Open();
  ExpectPlacedAt(again.Window(), 1500, 1800, 9000, 6000);
  EXPECT_TRUE(g_bStoreFolderNames);
  EXPECT_EQ(g_sBasePath, "D:\\Zo\xC3\xAB\\");
  EXPECT_EQ(g_iFirstRun, 2);
}

TEST_F(frmMainTest, EndOfSessionClosesAndSaves) {
  frmMain& main = Open();
  HWND window = main.Window();
  HWND document = main.CreateDocumentWindow();
  SetWindowPos(window, nullptr, 30, 45, 450, 300, SWP_NOZORDER);
  SendMessageA(window, WM_ENDSESSION, TRUE, 0);
  EXPECT_FALSE(IsWindow(document));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(Stored("MainLeft"), "450");
  EXPECT_EQ(Stored("MainHeight"), "4500");
}

TEST_F(frmMainTest, MinimisedCloseWritesNothing) {
  Store("MainLeft", "1500");
  Store("storfolder", "False");
  frmMain& main = Open();
  ShowWindow(main.Window(), SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(main.Window()) != 0; }));
  g_bStoreFolderNames = true;
  g_iFirstRun = 2;
  Close();
  EXPECT_EQ(Stored("MainLeft"), "1500");
  EXPECT_EQ(Stored("storfolder"), "False");
  EXPECT_EQ(Stored("frun"), "0");
  EXPECT_EQ(Stored("MainTop"), "<absent>");
}

TEST_F(frmMainTest, MaximisedCloseStoresTheMaximisedBounds) {
  frmMain& main = Open();
  ShowWindow(main.Window(), SW_MAXIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsZoomed(main.Window()) != 0; }));
  RECT maximised;
  GetWindowRect(main.Window(), &maximised);
  Close();
  EXPECT_EQ(Stored("MainWidth"),
            std::to_string((maximised.right - maximised.left) * 1440 / ScreenDpi()));
  frmMain& again = Open();
  EXPECT_FALSE(IsZoomed(again.Window()));
  RECT rect;
  GetWindowRect(again.Window(), &rect);
  EXPECT_EQ(rect.right - rect.left, maximised.right - maximised.left);
  EXPECT_EQ(rect.bottom - rect.top, maximised.bottom - maximised.top);
}

TEST_F(frmMainTest, BadPlacementStillOpensOnScreen) {
  const struct {
    const char* left;
    const char* top;
    const char* width;
  } cases[] = {{"-200000", "-200000", "6500"}, {"900000", "30", "6500"}, {"left", "1e99", "-5"}};
  for (const auto& c : cases) {
    Store("MainLeft", c.left);
    Store("MainTop", c.top);
    Store("MainWidth", c.width);
    frmMain& main = Open();
    RECT rect;
    GetWindowRect(main.Window(), &rect);
    EXPECT_NE(MonitorFromRect(&rect, MONITOR_DEFAULTTONULL), nullptr) << c.left << "," << c.top;
    EXPECT_EQ(rect.right - rect.left, Px(6500)) << c.left;
    Close();
  }
}

}  // namespace
}  // namespace corvane
