// The Extract To dialog run by the real folder browser, as the Extract command runs it, owned by a
// disabled window of its own; the test acts on it from a timer while the browse runs.
#include "dialogs/frmExtractTo.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <optional>

#include "EngineTesting.h"
#include "WindowTesting.h"
#include "dialogs/cMRU.h"
#include "platform/Dpi.h"
#include "platform/InputBox.h"
#include "platform/Twips.h"

namespace corvane {
namespace {

using namespace testing_support;
using F = frmExtractTo;

std::string Text(HWND dialog, int id) {
  return TextOf(GetDlgItem(dialog, id));
}

HWND TreeOf(HWND dialog) {
  return GetWindow(GetDlgItem(dialog, F::kPicCapture), GW_CHILD);
}

std::string ItemText(HWND tree, HTREEITEM item) {
  char text[MAX_PATH] = "";
  TVITEMA data{TVIF_TEXT, item};
  data.pszText = text;
  data.cchTextMax = sizeof text;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
  return text;
}

std::vector<std::string> Children(HWND tree, HTREEITEM item) {
  std::vector<std::string> names;
  for (HTREEITEM c = TreeView_GetChild(tree, item); c; c = TreeView_GetNextSibling(tree, c)) {
    names.push_back(ItemText(tree, c));
  }
  return names;
}

// The outcome of one dialog.
struct Outcome {
  bool cancelled;
  std::string folder;
  bool ownerEnabled;
};

class frmExtractToTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"alpha", "alpha\\inner", "beta", "hidden"}) {
      CreateDirectoryA((m_root / folder).c_str(), nullptr);
    }
    SetFileAttributesA((m_root / "hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
  }

  // Runs the dialog over recent with the browse starting at initial; act closes it.
  Outcome Run(const std::function<void(HWND dialog)>& act, const std::string& initial,
              const std::vector<std::string>& recent = {}) {
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80,
                                 700, 500, nullptr, nullptr, nullptr, nullptr);
    EnableWindow(owner, FALSE);
    FolderBrowse browse;
    frmExtractTo dialog(owner);
    cMRU list;
    for (auto folder = recent.rbegin(); folder != recent.rend(); ++folder) list.Add(*folder);
    dialog.LoadMRU(list);
    browse.Settings().InitialDir = initial;
    browse.Settings().ReportInitialDir = true;
    DialogAnswer answer("Extract To...", [&](HWND window) {
      EXPECT_EQ(GetWindow(window, GW_OWNER), owner);
      act(window);
    });
    browse.StartCapture(dialog);
    EXPECT_TRUE(answer.Answered());
    Outcome outcome{dialog.Cancelled(), dialog.SelectedFolder(), IsWindowEnabled(owner) != 0};
    DestroyWindow(owner);
    return outcome;
  }

  test::TempFolder m_root;
};

// Enter and Escape press nothing; a folder typed below the selected one is created there by
// Extract, one level deep and no more.
TEST_F(frmExtractToTest, TypedFolderIsCreatedOneLevelDeep) {
  for (auto [typed, folder, created] :
       {std::tuple{"new", "new", true},
        std::tuple{"beta\\..\\two\\levels", "two\\levels", false}}) {
    Outcome outcome = Run(
        [&](HWND dialog) {
          SetDlgItemTextA(dialog, F::kCboExtractTo, typed);
          for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
            MSG msg{GetDlgItem(dialog, F::kCboExtractTo), WM_KEYDOWN, key};
            IsDialogMessageA(dialog, &msg);
          }
          EXPECT_TRUE(IsWindowVisible(dialog));
          Click(dialog, F::kCmdExtract);
        },
        m_root.Path());
    EXPECT_TRUE(!outcome.cancelled && outcome.ownerEnabled) << typed;
    EXPECT_EQ(outcome.folder, m_root / folder);
    EXPECT_EQ(GetFileAttributesA(outcome.folder.c_str()) != INVALID_FILE_ATTRIBUTES, created);
  }
}

// The tree starts at the initial folder, shown in the combo box before anything is clicked, below
// the recent folders' list; it lists folders when they are opened, with the shell's folder icons
// and without hidden ones; keys and clicks in it set the combo box's text. A picture of it is kept
// for review.
TEST_F(frmExtractToTest, TreeShowsFoldersAndSetsTheText) {
  std::string shot;
  Run(
      [&](HWND dialog) {
        HWND tree = TreeOf(dialog), combo = GetDlgItem(dialog, F::kCboExtractTo);
        EXPECT_EQ(Text(dialog, F::kCboExtractTo), m_root.Path());
        DWORD start = 1, end = 0;
        SendMessageA(combo, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(std::make_pair(start, end),
                  std::make_pair(DWORD(m_root.Path().size()), DWORD(m_root.Path().size())));
        EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 2);
        char first[MAX_PATH] = "";
        SendMessageA(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
        EXPECT_STREQ(first, "D:\\recent");

        HTREEITEM root = TreeView_GetSelection(tree);
        EXPECT_EQ(Children(tree, root), (std::vector<std::string>{"alpha", "beta"}));
        HTREEITEM alpha = TreeView_GetChild(tree, root);
        EXPECT_TRUE(Children(tree, alpha).empty());  // not listed before it is opened
        TreeView_Expand(tree, alpha, TVE_EXPAND);
        EXPECT_EQ(Children(tree, alpha), std::vector<std::string>{"inner"});
        SHFILEINFOW folderIcon{};
        SHGetFileInfoW(L"x", FILE_ATTRIBUTE_DIRECTORY, &folderIcon, sizeof folderIcon,
                       SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
        TVITEMA data{TVIF_IMAGE, alpha};
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
        EXPECT_EQ(data.iImage, folderIcon.iIcon);
        EXPECT_NE(TreeView_GetImageList(tree, TVSIL_NORMAL), nullptr);

        SendMessageA(tree, WM_KEYDOWN, VK_DOWN, 0);
        EXPECT_EQ(Text(dialog, F::kCboExtractTo), m_root / "alpha");
        RECT beta{};
        *reinterpret_cast<HTREEITEM*>(&beta) = TreeView_GetNextSibling(tree, alpha);
        TreeView_EnsureVisible(tree, TreeView_GetNextSibling(tree, alpha));
        SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&beta));
        LPARAM at = MAKELPARAM((beta.left + beta.right) / 2, (beta.top + beta.bottom) / 2);
        PostMessageA(tree, WM_LBUTTONUP, 0, at);
        SendMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, at);
        EXPECT_EQ(Text(dialog, F::kCboExtractTo), m_root / "beta");
        PumpFor(200);
        EXPECT_TRUE(SaveScreenshot(dialog, "extract-to-dialog.png"));

        // Moved to a monitor of 144 dots per inch, the dialog lays itself out from twips again,
        // and the tree fills its place in the font of that DPI.
        RECT outer;
        GetWindowRect(dialog, &outer);
        SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&outer));
        HWND picture = GetDlgItem(dialog, F::kPicCapture);
        RECT place, client, filled;
        GetWindowRect(picture, &place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(std::vector<LONG>({place.left, place.top, place.right - place.left}),
                  std::vector<LONG>({TwipsToPixels(120, 144), TwipsToPixels(840, 144),
                                     TwipsToPixels(4935, 144)}));
        GetClientRect(picture, &client);
        GetWindowRect(tree, &filled);
        EXPECT_EQ(filled.right - filled.left, client.right);
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(tree, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        EXPECT_EQ(font.lfHeight, MessageFontForDpi(144).lfHeight);
        Click(dialog, F::kCmdCancel);
      },
      m_root.Path(), {"D:\\recent", "E:\\older"});
}

// New Folder asks with the chosen folder as the default answer and creates the last level of the
// answer, below the selected folder when it is not a full path; the tree then selects it. A folder
// that cannot be created is reported, and the dialog stays.
TEST_F(frmExtractToTest, NewFolder) {
  const struct {
    std::string answer;  // "" cancels
    std::string created;
    DWORD error;
  } cases[] = {
      {m_root / "full", m_root / "full", 0},
      {"relative", m_root / "full\\relative", 0},
      {"", "", 0},
      {"bad<name", "", ERROR_INVALID_NAME},
      {"two\\levels", "", ERROR_PATH_NOT_FOUND},
  };
  Run(
      [&](HWND dialog) {
        for (const auto& c : cases) {
          std::string before = Text(dialog, F::kCboExtractTo), message;
          std::optional<DialogAnswer> box;
          DialogAnswer input("Corvane", [&](HWND in) {
            EXPECT_EQ(TextOf(GetDlgItem(in, kInputBoxText)), before);
            SetDlgItemTextA(in, kInputBoxText, c.answer.c_str());
            box.emplace("Corvane", [&](HWND shown) {
              message = ChildTexts(shown).back();
              Click(shown, IDOK);
            });
            Click(in, c.answer.empty() ? IDCANCEL : IDOK);
          });
          Click(dialog, F::kCmdNewFolder);
          EXPECT_TRUE(input.Answered()) << c.answer;
          EXPECT_EQ(message, c.error ? "Error creating new folder: " + SystemMessage(c.error) : "");
          EXPECT_EQ(Text(dialog, F::kCboExtractTo), c.created.empty() ? before : c.created);
          if (!c.created.empty()) {
            EXPECT_NE(GetFileAttributesA(c.created.c_str()), INVALID_FILE_ATTRIBUTES);
          }
        }
        Click(dialog, F::kCmdCancel);
      },
      m_root.Path());
}

}  // namespace
}  // namespace corvane
