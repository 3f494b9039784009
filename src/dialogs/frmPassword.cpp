#include "dialogs/frmPassword.h"

#include "dialogs/PromptFont.h"
#include "settings/AppSettings.h"

namespace corvane {

void frmPassword::AnswerEngineRequest(HWND owner, const std::string& sName, bool bRetry,
                                      std::string& sPassword, bool& bCancel) {
  frmPassword dialog;
  dialog.Show(owner, sName, bRetry);
  if (dialog.Cancelled()) {
    bCancel = true;
  } else {
    sPassword = dialog.Password();
  }
}

void frmPassword::Show(HWND owner, const std::string& sName, bool bWrong) {
  m_sPassword.clear();
  m_bCancelled = true;
  if (sName.empty()) {
    m_sInfo = bWrong ? "Wrong password. Try again." : "";
  } else {
    m_sInfo = (bWrong ? "Wrong password for " : "Password for ") + sName;
  }
  RunModal(owner, "Password Required", WS_POPUP | WS_CAPTION | WS_SYSMENU);
}

INT_PTR frmPassword::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load();
      return FALSE;  // the focus is in the text box already
    case WM_COMMAND:
      if (LOWORD(wParam) == kCmdOK) {
        cmdOK_Click();
        return TRUE;
      }
      // Cancel, Escape and the close box: the request is refused.
      if (LOWORD(wParam) == kCmdCancel) {
        EndDialog(m_hwnd, kCmdCancel);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

void frmPassword::Form_Load() {
  SizeClient(4455, 1425, /*centre=*/true);
  // A long name loses its middle, not the file name at its end.
  AddControl("STATIC", m_sInfo.c_str(), SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, kLblInfo, 120, 120,
             4215, 255);
  AddControl("STATIC", "Password:", SS_LEFT, kLblPassword, 120, 495, 975, 255);
  HWND text = AddControl("EDIT", "", ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP,
                         kTxtPassword, 1155, 450, 3180, 315);
  SendMessageA(text, EM_SETPASSWORDCHAR, '*', 0);
  SendMessageA(text, EM_LIMITTEXT, kMaxPassword, 0);
  AddControl("BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, kCmdOK, 2040, 960, 1095, 345);
  AddControl("BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, kCmdCancel, 3240, 960, 1095, 345);
  m_font = UsePromptFont(m_hwnd, Dpi());
  SetFocus(text);
}

void frmPassword::cmdOK_Click() {
  HWND text = GetDlgItem(m_hwnd, kTxtPassword);
  std::string typed(static_cast<size_t>(GetWindowTextLengthA(text)) + 1, '\0');
  typed.resize(
      static_cast<size_t>(GetWindowTextA(text, typed.data(), static_cast<int>(typed.size()))));
  size_t first = typed.find_first_not_of(' ');
  if (first == std::string::npos) {
    MessageBoxA(m_hwnd, "Please enter a password.", kAppTitle, MB_OK | MB_ICONINFORMATION);
    SetFocus(text);
    return;
  }
  m_sPassword = typed.substr(first, typed.find_last_not_of(' ') - first + 1);
  m_bCancelled = false;
  EndDialog(m_hwnd, kCmdOK);
}

}  // namespace corvane
