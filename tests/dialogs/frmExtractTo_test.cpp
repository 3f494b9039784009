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

std::string ComboText(HWND dialog) {
  return TextOf(GetDlgItem(dialog, F::kCboExtractTo));
}

HWND TreeOf(HWND dialog) {
  return GetWindow(GetDlgItem(dialog, F::kPicCapture), GW_CHILD);
}

// The texts of an item's children.
std::vector<std::string> Children(HWND tree, HTREEITEM item) {
  std::vector<std::string> names;
  for (HTREEITEM c = TreeView_GetChild(tree, item); c; c = TreeView_GetNextSibling(tree, c)) {
    char text[MAX_PATH] = "";
    TVITEMA data{TVIF_TEXT, c};
    data.pszText = text;
    data.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    names.push_back(text);
  }
  return names;
}

class frmExtractToTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"alpha", "alpha\\inner", "beta", "hidden"}) {
      CreateDirectoryA((m_root / folder).c_str(), nullptr);
    }
    SetFileAttributesA((m_root / "hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
  }

  // Runs the dialog over the recent folders with the browse starting at the root folder, its tree
  // from rootDir; act closes it, which enables the owner again. Returns Cancelled and the folder.
  std::pair<bool, std::string> Run(const std::function<void(HWND dialog)>& act,
                                   const std::vector<std::string>& recent = {},
                                   const std::string& rootDir = "") {
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80,
                                 700, 500, nullptr, nullptr, nullptr, nullptr);
    EnableWindow(owner, FALSE);
    FolderBrowse browse;
    frmExtractTo dialog(owner);
    cMRU list;
    for (auto folder = recent.rbegin(); folder != recent.rend(); ++folder) list.Add(*folder);
    dialog.LoadMRU(list);
    browse.Settings() = BrowseSettings{owner, m_root.Path(), /*ReportInitialDir=*/true, rootDir};
    DialogAnswer answer("Extract To...", [&](HWND window) {
      EXPECT_EQ(GetWindow(window, GW_OWNER), owner);
      act(window);
    });
    browse.StartCapture(dialog);
    EXPECT_TRUE(answer.Answered() && IsWindowEnabled(owner));
    DestroyWindow(owner);
    return {dialog.Cancelled(), dialog.SelectedFolder()};
  }

  test::TempFolder m_root;
};

// Enter and Escape press nothing; a folder typed below the selected one is created there by
// Extract, one level deep and no more. A tree from a root folder holds that folder only.
TEST_F(frmExtractToTest, TypedFolderIsCreatedOneLevelDeep) {
  for (auto [typed, folder, created] :
       {std::tuple{"new", "new", true},
        std::tuple{"beta\\..\\two\\levels", "two\\levels", false}}) {
    auto [cancelled, chosen] = Run(
        [&](HWND dialog) {
          HWND tree = TreeOf(dialog);
          EXPECT_EQ(Children(tree, TVI_ROOT),
                    std::vector<std::string>{m_root.Path().substr(m_root.Path().rfind('\\') + 1)});
          SetDlgItemTextA(dialog, F::kCboExtractTo, typed);
          for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
            MSG msg{GetDlgItem(dialog, F::kCboExtractTo), WM_KEYDOWN, key};
            IsDialogMessageA(dialog, &msg);
          }
          EXPECT_TRUE(IsWindowVisible(dialog));
          Click(dialog, F::kCmdExtract);
        },
        {}, m_root.Path());
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(chosen, m_root / folder);
    EXPECT_EQ(GetFileAttributesA(chosen.c_str()) != INVALID_FILE_ATTRIBUTES, created);
  }
}

// The tree starts at the initial folder, shown in the combo box with the caret at its end before
// anything is clicked, above the recent folders; the tab key reaches it; it lists folders when they
// are opened, with the shell's folder icon and without hidden ones; a key or a click in it sets
// the combo box's text. Its picture is kept for review. At another DPI the dialog is laid out
// from twips again, and the tree fills its place in that DPI's font.
TEST_F(frmExtractToTest, TreeShowsFoldersAndSetsTheText) {
  Run(
      [&](HWND dialog) {
        HWND tree = TreeOf(dialog), combo = GetDlgItem(dialog, F::kCboExtractTo);
        DWORD start = 0, end = 0, length = static_cast<DWORD>(m_root.Path().size());
        SendMessageA(combo, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(std::tuple(ComboText(dialog), start, end),
                  std::tuple(m_root.Path(), length, length));
        char first[MAX_PATH] = "";
        SendMessageA(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
        EXPECT_EQ(std::string(first) + " " + std::to_string(SendMessageA(combo, CB_GETCOUNT, 0, 0)),
                  "D:\\recent 2");
        EXPECT_EQ(GetNextDlgTabItem(dialog, combo, FALSE), tree);

        HTREEITEM root = TreeView_GetSelection(tree), alpha = TreeView_GetChild(tree, root);
        EXPECT_EQ(Children(tree, root), (std::vector<std::string>{"alpha", "beta"}));
        EXPECT_TRUE(Children(tree, alpha).empty());
        TreeView_Expand(tree, alpha, TVE_EXPAND);
        EXPECT_EQ(Children(tree, alpha), std::vector<std::string>{"inner"});
        SHFILEINFOW icon{};
        SHGetFileInfoW(L"x", FILE_ATTRIBUTE_DIRECTORY, &icon, sizeof icon,
                       SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
        TVITEMA data{TVIF_IMAGE, alpha};
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
        EXPECT_EQ(data.iImage, icon.iIcon);

        SendMessageA(tree, WM_KEYDOWN, VK_DOWN, 0);
        EXPECT_EQ(ComboText(dialog), m_root / "alpha");
        RECT beta{};
        *reinterpret_cast<HTREEITEM*>(&beta) = TreeView_GetNextSibling(tree, alpha);
        TreeView_EnsureVisible(tree, TreeView_GetNextSibling(tree, alpha));
        SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&beta));
        LPARAM at = MAKELPARAM((beta.left + beta.right) / 2, (beta.top + beta.bottom) / 2);
        PostMessageA(tree, WM_LBUTTONUP, 0, at);  // the tree waits for it after the press
        SendMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, at);
        EXPECT_EQ(ComboText(dialog), m_root / "beta");
        PumpFor(200);
        EXPECT_TRUE(SaveScreenshot(dialog, "extract-to-dialog.png"));

        RECT outer, place, client, filled;
        GetWindowRect(dialog, &outer);
        SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&outer));
        HWND picture = GetDlgItem(dialog, F::kPicCapture);
        GetWindowRect(picture, &place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        GetClientRect(picture, &client);
        GetWindowRect(tree, &filled);
        EXPECT_EQ(std::tuple(place.left, place.top, filled.right - filled.left),
                  std::tuple(TwipsToPixels(120, 144), TwipsToPixels(840, 144), client.right));
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(tree, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        EXPECT_EQ(font.lfHeight, MessageFontForDpi(144).lfHeight);
        Click(dialog, F::kCmdCancel);
      },
      {"D:\\recent", "E:\\older"});
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
  Run([&](HWND dialog) {
    for (const auto& c : cases) {
      std::string before = ComboText(dialog), message;
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
      EXPECT_EQ(ComboText(dialog), c.created.empty() ? before : c.created);
      EXPECT_EQ(GetFileAttributesA(c.created.c_str()) == FILE_ATTRIBUTE_DIRECTORY,
                !c.created.empty());
    }
    Click(dialog, F::kCmdCancel);
  });
}

}  // namespace
}  // namespace corvane
