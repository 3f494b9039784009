#include "frmOptions.h"

#include "platform/Text.h"
#include "settings/AppSettings.h"
#include "settings/Association.h"

namespace corvane {
namespace {

// In tab order. The buttons are plain push buttons: none is the default. The check box spans the
// dialog and the association buttons share their row by the length of their texts, so that each
// text fits its control in the message font at every DPI.
constexpr DialogControl kControls[] = {
    {frmOptions::kCmdOK, "BUTTON", "OK", BS_PUSHBUTTON | WS_TABSTOP, 2490, 1575, 1095, 375},
    {frmOptions::kCmdCancel, "BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, 3720, 1575, 1095, 375},
    {frmOptions::kCmdApply, "BUTTON", "&Apply", BS_PUSHBUTTON | WS_TABSTOP, 4920, 1575, 1095, 375},
    {frmOptions::kCheck1, "BUTTON", "Store Folder Names When Adding to Zip Files",
     BS_AUTOCHECKBOX | WS_TABSTOP, 120, 120, 5895, 255},
    {frmOptions::kLabel2, "STATIC", "Base Path for Storing Folders:", SS_LEFT | SS_NOPREFIX, 120,
     480, 4095, 255},
    {frmOptions::kTxtBase, "EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, 120, 720, 5895, 285,
     WS_EX_CLIENTEDGE},
    {frmOptions::kCmdAssoc, "BUTTON", "Associate All ZIP Files with Corvane",
     BS_PUSHBUTTON | WS_TABSTOP, 120, 1080, 3375, 375},
    {frmOptions::kCmdDeAssoc, "BUTTON", "Stop Associating ZIP Files", BS_PUSHBUTTON | WS_TABSTOP,
     3600, 1080, 2415, 375},
};
constexpr int kClientWidth = 6135, kClientHeight = 2055;

}  // namespace

void frmOptions::Show(HWND owner, const std::string& sProgramPath) {
  frmOptions options(sProgramPath);
  options.RunModal(owner, "Options", WS_POPUP | WS_CAPTION | WS_SYSMENU);
}

INT_PTR frmOptions::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load();
      return TRUE;  // the focus goes to the first control in tab order
    case WM_DPICHANGED:
      LayOutForDpi(kControls, kClientWidth, kClientHeight, *reinterpret_cast<const RECT*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case kCmdOK:
          cmdOK_Click();
          return TRUE;
        case kCmdApply:
          cmdApply_Click();
          return TRUE;
        case kCmdCancel:  // also Esc and the close box
          cmdCancel_Click();
          return TRUE;
        case kCmdAssoc:
          cmdAssoc_Click();
          return TRUE;
        case kCmdDeAssoc:
          cmdDeAssoc_Click();
          return TRUE;
        case IDOK:  // Enter outside a button: there is no default button to press
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

void frmOptions::Form_Load() {
  SizeClient(kClientWidth, kClientHeight, /*centre=*/true);
  AddControls(kControls);
  CheckDlgButton(m_hwnd, kCheck1, g_bStoreFolderNames ? BST_CHECKED : BST_UNCHECKED);
  SetDlgItemTextA(m_hwnd, kTxtBase, g_sBasePath.c_str());
}

void frmOptions::cmdOK_Click() {
  if (cmdApply_Click()) EndDialog(m_hwnd, IDOK);
}

bool frmOptions::cmdApply_Click() {
  HWND text = GetDlgItem(m_hwnd, kTxtBase);
  std::string basePath = WindowText(text);  // taken as typed, empty included
  // A base path that is no folder makes every Add Files fail: say so, and keep it only when the
  // user wants it (a drive not connected yet, say).
  DWORD attributes = GetFileAttributesW(Wide(basePath).c_str());
  bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!basePath.empty() && !folder) {
    std::string question =
        "The base path " + basePath + " is not an existing folder.\r\n\r\nKeep it all the same?";
    if (MessageBoxA(m_hwnd, question.c_str(), kAppTitle, MB_YESNO | MB_ICONWARNING) != IDYES) {
      SetFocus(text);
      return false;
    }
  }
  g_sBasePath = basePath;
  g_bStoreFolderNames = IsDlgButtonChecked(m_hwnd, kCheck1) != BST_UNCHECKED;
  return true;
}

void frmOptions::cmdCancel_Click() {
  EndDialog(m_hwnd, IDCANCEL);
}

void frmOptions::cmdAssoc_Click() {
  // Renewed at every start only once the association has been written completely.
  if (AssociateAndChooseDefault(m_hwnd, m_sProgramPath)) g_iFirstRun = 2;
}

void frmOptions::cmdDeAssoc_Click() {
  // The keys and verbs go too: left in place, ZIP files would go on opening in Corvane.
  RemoveZipAssociation();
  g_iFirstRun = 0;
  MessageBoxA(m_hwnd,
              "ZIP files are no longer associated with Corvane: its registration and its "
              "Explorer verbs were removed.",
              kAppTitle, MB_OK | MB_ICONINFORMATION);
}

}  // namespace corvane
