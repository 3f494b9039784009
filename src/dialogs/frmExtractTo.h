#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/BaseDialog.h"
#include "platform/FolderBrowse.h"

namespace corvane {

class cMRU;

// The Extract To dialog: where to extract (typed into the combo box, picked from its recent
// folders, or selected in the folder browser it hosts in picCapture), New Folder, and the options
// Use Folder Names and Prompt to Overwrite. One is created for each Extract command; a FolderBrowse
// runs it (StartCapture with the dialog as host), and the dialog shows itself modeless when the
// browser asks where to place its tree. Enter presses Extract and Escape Cancel, as users expect
// of a dialog. Extract, Cancel and the close box run the close routine, which enables the
// owner again and destroys the dialog, ending the browse.
//
// A folder typed into the combo box or answered to New Folder is a full path as typed; any other
// text is taken below the folder selected in the tree ("\x" from that folder's root, "D:x" from the
// root of D:), never in the process's current folder, which the user cannot see.
class frmExtractTo : public BaseDialog<frmExtractTo>, public ICaptureBF {
 public:
  // Control identifiers, in tab order.
  enum : int {
    kLblExtractTo = 100,
    kCboExtractTo,
    kPicCapture,
    kChkUseFolderNames,
    kChkOverwritePrompt,
    kCmdNewFolder,
    kCmdExtract,
    kCmdCancel,
  };

  // owner is the window the dialog belongs to, disabled by the caller while the dialog exists.
  explicit frmExtractTo(HWND owner) : m_hwndOwner(owner) {}
  ~frmExtractTo();

  // The recent folders the combo box lists, most recent first; called before the browse starts.
  void LoadMRU(const cMRU& cTheMRU);
  // The label above the folder box, "Extract To:" unless set before the browse starts.
  void Label(const std::string& text) { m_sLabel = text; }
  // The option flags: set before the browse, read after it.
  bool OverWritePrompt() const { return m_bOverWritePrompt; }
  void OverWritePrompt(bool bState) { m_bOverWritePrompt = bState; }
  bool UseFolderNames() const { return m_bUseFolderNames; }
  void UseFolderNames(bool bState) { m_bUseFolderNames = bState; }
  // True unless Extract was pressed with a folder text that is not empty.
  bool Cancelled() const { return m_bCancelled; }
  // The chosen folder: the browser's selection, or the full path of the text Extract took.
  const std::string& SelectedFolder() const { return m_sSelectedFolder; }

  // ICaptureBF.
  void CaptureBrowseForFolder(FolderBrowse* capture) override { m_capture = capture; }
  HWND CapturehWnd() override;
  void SelectionChanged(const std::string& sPath) override;
  void Unload() override { CloseRoutine(); }

  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void Form_Load();
  void Form_Unload();
  void cmdNewFolder_Click();
  void cmdExtract_Click();
  void CloseRoutine();
  std::string FullPath(const std::string& text) const;

  HWND m_hwndOwner;
  FolderBrowse* m_capture = nullptr;
  bool m_bCancelled = true;
  std::vector<std::string> m_sMRU;
  std::string m_sSelectedFolder;
  std::string m_sLabel;
  bool m_bOverWritePrompt = false;
  bool m_bUseFolderNames = false;
};

}  // namespace corvane
