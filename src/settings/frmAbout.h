#pragma once

#include <windows.h>

#include <string>

#include "platform/BaseDialog.h"
#include "platform/Handle.h"

namespace corvane {

// The program's major, minor and revision numbers as "Version 1.0.0".
std::string VersionText(unsigned major, unsigned minor, unsigned revision);

// The version text of the running program, from its version resource ("" when it has none).
std::string ProgramVersionText();

// The About box: program name, version and systems, with one OK button.
class frmAbout : public BaseDialog<frmAbout> {
 public:
  // Control identifiers, so that the box can be read back.
  enum : int { kPicture1 = 100, kLblTitle, kLblVersion, kLabel1, kCmdOK = IDOK };

  // Shows the box modally, owned and centred on owner, until OK, Enter or Esc closes it.
  static void Show(HWND owner);

  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  frmAbout() = default;
  void Form_Load();
  void Form_Paint();
  void cmdOK_Click();

  UniqueBitmap m_logo;
  UniqueGdiObject m_whiteBrush{CreateSolidBrush(RGB(255, 255, 255))};
};

}  // namespace corvane
