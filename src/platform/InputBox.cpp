#include "platform/InputBox.h"

#include "platform/BaseDialog.h"
#include "platform/Text.h"

namespace corvane {
namespace {

enum : int { kLblPrompt = 101, kCmdOK = IDOK, kCmdCancel = IDCANCEL };
// In tab order.
constexpr DialogControl kControls[] = {
    {kLblPrompt, "STATIC", "", SS_LEFT | SS_NOPREFIX, 120, 120, 3975, 1080},
    {kInputBoxText, "EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, 120, 1320, 5175, 315,
     WS_EX_CLIENTEDGE},
    {kCmdOK, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 4200, 120, 1095, 375},
    {kCmdCancel, "BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, 4200, 555, 1095, 375},
};
constexpr int kClientWidth = 5415, kClientHeight = 1755;

class frmInputBox : public BaseDialog<frmInputBox> {
 public:
  frmInputBox(const std::string& prompt, const std::string& defaultText)
      : m_sPrompt(prompt), m_sAnswer(defaultText) {}

  std::string Show(HWND owner, const std::string& title) {
    INT_PTR result = RunModal(owner, title, WS_POPUP | WS_CAPTION | WS_SYSMENU);
    return result == kCmdOK ? m_sAnswer : std::string();
  }

  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_INITDIALOG:
        Form_Load();
        return FALSE;  // the focus is in the text box already
      case WM_DPICHANGED:
        LayOutForDpi(kControls, kClientWidth, kClientHeight,
                     *reinterpret_cast<const RECT*>(lParam));
        return TRUE;
      case WM_COMMAND:
        if (LOWORD(wParam) == kCmdOK) {
          m_sAnswer = WindowText(GetDlgItem(m_hwnd, kInputBoxText));
          EndDialog(m_hwnd, kCmdOK);
          return TRUE;
        }
        if (LOWORD(wParam) == kCmdCancel) {
          EndDialog(m_hwnd, kCmdCancel);
          return TRUE;
        }
        return FALSE;
    }
    return FALSE;
  }

 private:
  void Form_Load() {
    SizeClient(kClientWidth, kClientHeight, /*centre=*/true);
    AddControls(kControls);
    SetDlgItemTextA(m_hwnd, kLblPrompt, m_sPrompt.c_str());
    SetDlgItemTextA(m_hwnd, kInputBoxText, m_sAnswer.c_str());
    SendDlgItemMessageA(m_hwnd, kInputBoxText, EM_SETSEL, 0, -1);
    SetFocus(GetDlgItem(m_hwnd, kInputBoxText));
  }

  std::string m_sPrompt;
  std::string m_sAnswer;
};

}  // namespace

std::string InputBox(HWND owner, const std::string& prompt, const std::string& title,
                     const std::string& defaultText) {
  return frmInputBox(prompt, defaultText).Show(owner, title);
}

}  // namespace corvane
