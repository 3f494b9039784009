#pragma once

#include <windows.h>

#include <string>

#include "dialogs/cMRU.h"

namespace corvane {

class frmDocument;

// The Extract command's preferences: Use Folder Names, Prompt to Overwrite and the recent
// extraction folders, kept under "SOFTWARE\Corvane\Corvane" (the flags as "UseFolderNames" and
// "PromptToOW", REG_DWORD; the folders in its "ExtractToMRU" key) of the machine's and the user's
// registry. Both flags are on until a stored value says otherwise: off, a second extraction would
// replace files without a word, and same-named entries of different folders each other.
class ExtractPreferences {
 public:
  bool UseFolderNames() const { return m_bUseFolderNames; }
  void UseFolderNames(bool bState) { m_bUseFolderNames = bState; }
  bool PromptToOverwrite() const { return m_bPromptToOverwrite; }
  void PromptToOverwrite(bool bState) { m_bPromptToOverwrite = bState; }
  cMRU& RecentFolders() { return m_cRecentFolders; }
  const cMRU& RecentFolders() const { return m_cRecentFolders; }

  // The machine's values, then the user's, which replace them where they are stored. A value that
  // is not stored, and a value or list that cannot be read, leaves what was there.
  void Load();
  // The user's values, then the machine's, which a normal user may not write: a root that refuses
  // a write is left with what it had written before the refusal.
  void Save() const;

 private:
  void Load(HKEY root);
  void Save(HKEY root) const;

  bool m_bUseFolderNames = true;
  bool m_bPromptToOverwrite = true;
  cMRU m_cRecentFolders;
};

// File > Extract To... on document, the frame's active document when the command started: the
// entries of its rows shown and selected (all rows shown when none is selected; the dialog then
// says how many when a search hides some) are extracted into the folder chosen in
// the Extract To dialog, which frame owns and is disabled for; the dialog starts at the most
// recent folder, or at the archive's own folder when there is none yet. The dialog's choices go
// into preferences; they and Prompt to Overwrite's "replace without asking" apply to this run
// only: the document's unzip options are as they were when the command ends, however it ends. A
// failed run is shown by document's RunUnzip. Raises what the dialog or the browser raises.
void ExtractCommand(HWND frame, frmDocument& document, ExtractPreferences& preferences);

}  // namespace corvane
