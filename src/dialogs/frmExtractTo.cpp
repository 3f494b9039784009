#include "frmExtractTo.h"

#include <utility>

#include "dialogs/cMRU.h"
#include "platform/Error.h"
#include "platform/InputBox.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "settings/AppSettings.h"

namespace corvane {
namespace {

using F = frmExtractTo;
// In tab order. The buttons are plain push buttons; Enter and Escape reach the dialog as IDOK and
// IDCANCEL.
constexpr DialogControl kControls[] = {
    {F::kLblExtractTo, "STATIC", "Extract To:", SS_LEFT, 120, 120, 4935, 255},
    {F::kCboExtractTo, "COMBOBOX", "", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP,
     120, 390, 4935, 2400},
    {F::kPicCapture, "STATIC", "", SS_LEFT | WS_BORDER, 120, 840, 4935, 3240},
    {F::kChkUseFolderNames, "BUTTON", "&Use Folder Names", BS_AUTOCHECKBOX | WS_TABSTOP, 120, 4200,
     2400, 285},
    {F::kChkOverwritePrompt, "BUTTON", "&Prompt to Overwrite", BS_AUTOCHECKBOX | WS_TABSTOP, 2640,
     4200, 2415, 285},
    {F::kCmdNewFolder, "BUTTON", "&New Folder...", BS_PUSHBUTTON | WS_TABSTOP, 5220, 3705, 1260,
     375},
    {F::kCmdExtract, "BUTTON", "&Extract", BS_PUSHBUTTON | WS_TABSTOP, 5220, 390, 1260, 375},
    {F::kCmdCancel, "BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, 5220, 855, 1260, 375},
};
constexpr int kClientWidth = 6600, kClientHeight = 4605;

}  // namespace

frmExtractTo::~frmExtractTo() {
  if (m_hwnd) DestroyWindow(m_hwnd);
}

void frmExtractTo::LoadMRU(const cMRU& cTheMRU) {
  m_sMRU.clear();
  for (int32_t i = 1; i <= cTheMRU.Count(); ++i) m_sMRU.push_back(cTheMRU.Item(i));
}

HWND frmExtractTo::CapturehWnd() {
  CreateModeless(m_hwndOwner, "Extract To...", WS_POPUP | WS_CAPTION | WS_SYSMENU);
  ShowWindow(m_hwnd, SW_SHOW);
  // The browser's tree brings a border of its own.
  HWND picCapture = GetDlgItem(m_hwnd, kPicCapture);
  SetWindowLongPtrA(picCapture, GWL_STYLE, GetWindowLongPtrA(picCapture, GWL_STYLE) & ~WS_BORDER);
  SetWindowPos(picCapture, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return picCapture;
}

void frmExtractTo::SelectionChanged(const std::string& sPath) {
  HWND combo = GetDlgItem(m_hwnd, kCboExtractTo);
  SetWindowTextA(combo, sPath.c_str());
  // The caret after the last character, nothing selected; positions count UTF-16 units.
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (GetComboBoxInfo(combo, &info)) {
    int end = GetWindowTextLengthW(info.hwndItem);
    SendMessageW(info.hwndItem, EM_SETSEL, end, end);
  }
  m_sSelectedFolder = sPath;
}

INT_PTR frmExtractTo::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load();
      return TRUE;
    case WM_DPICHANGED:
      LayOutForDpi(kControls, kClientWidth, kClientHeight, *reinterpret_cast<const RECT*>(lParam));
      return TRUE;
    case WM_CLOSE:  // the close box, counted as Cancel
      CloseRoutine();
      return TRUE;
    case WM_DESTROY:
      Form_Unload();
      return FALSE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case kChkUseFolderNames:
          m_bUseFolderNames = IsDlgButtonChecked(m_hwnd, kChkUseFolderNames) == BST_CHECKED;
          return TRUE;
        case kChkOverwritePrompt:
          m_bOverWritePrompt = IsDlgButtonChecked(m_hwnd, kChkOverwritePrompt) == BST_CHECKED;
          return TRUE;
        case kCmdNewFolder:
          cmdNewFolder_Click();
          return TRUE;
        case kCmdExtract:
          cmdExtract_Click();
          return TRUE;
        case kCmdCancel:
          CloseRoutine();
          return TRUE;
        case IDOK:  // Enter
          cmdExtract_Click();
          return TRUE;
        case IDCANCEL:  // Escape
          CloseRoutine();
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

void frmExtractTo::Form_Load() {
  SizeClient(kClientWidth, kClientHeight, /*centre=*/true);
  AddControls(kControls);
  if (!m_sLabel.empty()) SetDlgItemTextA(m_hwnd, kLblExtractTo, m_sLabel.c_str());
  for (const std::string& folder : m_sMRU) {
    SendDlgItemMessageA(m_hwnd, kCboExtractTo, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(folder.c_str()));
  }
  CheckDlgButton(m_hwnd, kChkOverwritePrompt, m_bOverWritePrompt ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(m_hwnd, kChkUseFolderNames, m_bUseFolderNames ? BST_CHECKED : BST_UNCHECKED);
}

void frmExtractTo::Form_Unload() {
  if (FolderBrowse* capture = std::exchange(m_capture, nullptr)) capture->EndCapture();
}

void frmExtractTo::cmdNewFolder_Click() {
  std::string answer = InputBox(m_hwnd, "Folder name:", kAppTitle, m_sSelectedFolder);
  if (answer.empty()) return;
  std::string folder = ResolvePath(m_sSelectedFolder, answer);
  // Only the last level: a folder whose parent is missing is an error the user is shown.
  if (!CreateDirectoryA(folder.c_str(), nullptr)) {
    std::string message = "Error creating new folder: " + SystemMessage(GetLastError());
    MessageBoxA(m_hwnd, message.c_str(), kAppTitle, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (m_capture) m_capture->SelectFolder(folder);
}

void frmExtractTo::cmdExtract_Click() {
  std::string text = WindowText(GetDlgItem(m_hwnd, kCboExtractTo));
  m_bCancelled = text.empty();
  if (!m_bCancelled) {
    m_sSelectedFolder = ResolvePath(m_sSelectedFolder, text);
    // Only the last level, and quietly: the folder may exist, and what cannot be written there is
    // the extraction's to report.
    CreateDirectoryA(m_sSelectedFolder.c_str(), nullptr);
  }
  CloseRoutine();
}

void frmExtractTo::CloseRoutine() {
  // The owner first, so that it takes the activation back from the closing dialog.
  EnableWindow(m_hwndOwner, TRUE);
  DestroyWindow(m_hwnd);
}

}  // namespace corvane
