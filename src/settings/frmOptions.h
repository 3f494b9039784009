#pragma once

#include <windows.h>

#include <string>

#include "platform/BaseDialog.h"

namespace corvane {

// The Options dialog: the store-folder-names option and the base path, applied to the in-memory
// settings g_bStoreFolderNames and g_sBasePath by OK and Apply, and the .zip association switched
// on (written at once, "frun" 2, the user sent to the system's chooser where another program is
// the user's choice) or off (its keys and verbs removed, "frun" 0) by its two buttons.
class frmOptions : public BaseDialog<frmOptions> {
 public:
  // Control identifiers. Esc and the close box press Cancel; no button is the default one, so
  // Enter in the text box does nothing.
  enum : int {
    kCheck1 = 100,
    kLabel2,
    kTxtBase,
    kCmdAssoc,
    kCmdDeAssoc,
    kCmdOK,
    kCmdApply,
    kCmdCancel = IDCANCEL,
  };

  // Shows the dialog modally, owned by and centred on owner. sProgramPath is the program that
  // Associate registers.
  static void Show(HWND owner, const std::string& sProgramPath);

  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  explicit frmOptions(const std::string& sProgramPath) : m_sProgramPath(sProgramPath) {}
  void Form_Load();
  void cmdOK_Click();
  // False when the user kept the dialog open to mend a base path that is no folder.
  bool cmdApply_Click();
  void cmdCancel_Click();
  void cmdAssoc_Click();
  void cmdDeAssoc_Click();

  std::string m_sProgramPath;
};

}  // namespace corvane
