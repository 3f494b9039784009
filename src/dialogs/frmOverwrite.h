#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/BaseDialog.h"
#include "platform/Handle.h"

namespace corvane {

// The question an extraction asks when a file it would write exists: Yes, No, Yes To All, No To
// All or Cancel. Created anew for each question.
class frmOverwrite : public BaseDialog<frmOverwrite> {
 public:
  // Control identifiers, in tab order.
  enum : int { kCmdYes = 101, kCmdNo, kCmdCancel = IDCANCEL, kLblCaption = 104, kCmdYTA, kCmdNTA };

  // The question shown; set before Show.
  void TheCaption(const std::string& sCaption) { m_sCaption = sCaption; }
  // Shows the dialog modally, owned by owner and centred on it, until a button or the close box
  // ends it.
  void Show(HWND owner);
  // The button pressed: 6 Yes, 7 No, 4 Yes To All, 5 No To All; 2 for Cancel, Escape or the
  // close box.
  int32_t Response() const { return m_lResponse; }

  // The unzip engine's reply to a Response: 102 replace the file, 100 keep it, 103 replace it and
  // every later one, 104 (for anything else) replace none of the run's existing files.
  static int32_t EngineReply(int32_t lResponse);
  // The unzip engine's overwrite question about sFile, asked owned by owner: its reply.
  static int32_t AskEngineQuestion(HWND owner, const std::string& sFile);

  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void Form_Load();

  std::string m_sCaption;
  int32_t m_lResponse = 2;
  UniqueGdiObject m_font;
};

}  // namespace corvane
