#include "dialogs/frmOverwrite.h"

#include "dialogs/PromptFont.h"

namespace corvane {
namespace {

struct Answer {
  int id;
  int32_t response;  // what the button stores
};
constexpr Answer kAnswers[] = {{frmOverwrite::kCmdYes, 6},
                               {frmOverwrite::kCmdNo, 7},
                               {frmOverwrite::kCmdYTA, 4},
                               {frmOverwrite::kCmdNTA, 5}};

}  // namespace

int32_t frmOverwrite::EngineReply(int32_t lResponse) {
  switch (lResponse) {
    case 6:
      return 102;
    case 7:
      return 100;
    case 4:
      return 103;
    default:
      return 104;
  }
}

int32_t frmOverwrite::AskEngineQuestion(HWND owner, const std::string& sFile) {
  frmOverwrite dialog;
  dialog.TheCaption("Do you want to overwrite your existing copy of " + sFile + "?");
  dialog.Show(owner);
  return EngineReply(dialog.Response());
}

void frmOverwrite::Show(HWND owner) {
  m_lResponse = 2;
  RunModal(owner, "Overwrite Existing File?", WS_POPUP | WS_CAPTION | WS_SYSMENU);
}

INT_PTR frmOverwrite::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load();
      return FALSE;  // the focus is on No already
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      for (const Answer& answer : kAnswers) {
        if (LOWORD(wParam) == answer.id) m_lResponse = answer.response;
      }
      // Cancel, Escape and the close box arrive as IDCANCEL and store nothing.
      EndDialog(m_hwnd, LOWORD(wParam));
      return TRUE;
  }
  return FALSE;
}

void frmOverwrite::Form_Load() {
  SizeClient(5400, 1425, /*centre=*/true);
  // Created in tab order; Yes To All and No To All sit between Yes and No on screen.
  AddControl("BUTTON", "&Yes", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, kCmdYes, 120, 960, 975, 345);
  HWND no = AddControl("BUTTON", "&No", BS_DEFPUSHBUTTON | WS_TABSTOP, kCmdNo, 2280, 960, 975, 345);
  AddControl("BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, kCmdCancel, 4305, 960, 975, 345);
  AddControl("STATIC", m_sCaption.c_str(), SS_LEFT | SS_NOPREFIX, kLblCaption, 120, 120, 5160, 720);
  AddControl("BUTTON", "Yes To &All", BS_PUSHBUTTON | WS_TABSTOP, kCmdYTA, 1200, 960, 975, 345);
  AddControl("BUTTON", "No To All", BS_PUSHBUTTON | WS_TABSTOP, kCmdNTA, 3360, 960, 870, 345);
  m_font = UsePromptFont(m_hwnd, Dpi());
  SendMessageA(m_hwnd, DM_SETDEFID, kCmdNo, 0);
  SetFocus(no);
}

}  // namespace corvane
