#pragma once

#include <windows.h>

#include <string>

#include "platform/BaseDialog.h"
#include "platform/Handle.h"

namespace corvane {

// The request for the password of an encrypted entry. Created anew for each request.
class frmPassword : public BaseDialog<frmPassword> {
 public:
  enum : int { kLblInfo = 101, kLblPassword, kTxtPassword, kCmdOK = IDOK, kCmdCancel = IDCANCEL };
  // The longest password that can be typed.
  static constexpr int kMaxPassword = 254;

  // Shows the dialog modally, owned by owner and centred on it, with the focus in the text box,
  // until OK accepts a password or Cancel, Escape or the close box refuses. The info label names
  // the entry (sName; nothing when it is empty) and, when bWrong, says the password given for it
  // before was wrong.
  void Show(HWND owner, const std::string& sName, bool bWrong);
  // The password without the blanks around it, once OK has accepted it.
  const std::string& Password() const { return m_sPassword; }
  // True unless OK accepted a password.
  bool Cancelled() const { return m_bCancelled; }
  // Answers the unzip engine's password request for sName, asked owned by owner: the password
  // given, or bCancel set.
  static void AnswerEngineRequest(HWND owner, const std::string& sName, bool bRetry,
                                  std::string& sPassword, bool& bCancel);

  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void Form_Load();
  void cmdOK_Click();

  std::string m_sPassword;
  std::string m_sInfo;
  bool m_bCancelled = true;
  UniqueGdiObject m_font;
};

}  // namespace corvane
