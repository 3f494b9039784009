#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/BaseDialog.h"

namespace corvane {

// The progress of one run as the window shows it.
struct ProgressSnapshot {
  uint64_t bytesDone = 0, bytesTotal = 0, entriesDone = 0, entriesTotal = 0;
  std::string entry;  // the entry worked on now
  bool cancelling = false;
};

// The progress window of a long engine run: what is done, to which archive, the current entry,
// entries and bytes done of the total, a bar, the elapsed and remaining time and the speed, and
// Cancel. Modeless; the runner passes its messages through IsDialogMessage. Cancel, Escape and the
// close box call the cancel function given at creation; the window stays until the runner
// destroys it.
class frmProgress : public BaseDialog<frmProgress> {
 public:
  enum : int { kLblAction = 101, kLblArchive, kLblEntry, kPrgBar, kLblCounts, kLblTimes };
  static constexpr int kCmdCancel = IDCANCEL;

  // Creates and shows the window, owned by owner (none: a window of its own on the taskbar).
  // Throws the system's error when it cannot be created.
  frmProgress(HWND owner, const std::string& action, const std::string& archive, void (*cancel)());
  ~frmProgress();

  // Shows the snapshot; elapsedMs is the run's time so far.
  void Update(const ProgressSnapshot& progress, uint64_t elapsedMs);

  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void Form_Load();
  void SetText(int id, const std::string& text);
  // "42% Extracting - Corvane"
  std::string Caption(int percent) const;

  std::string m_sAction, m_sArchive;
  void (*m_cancel)();
  UniqueGdiObject m_font;
};

}  // namespace corvane
