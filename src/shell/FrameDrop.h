#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "shell/DropTarget.h"

namespace corvane {

class frmMain;

// Files dropped on the frame. Onto a document window they are added to its archive, paths stored
// relative to each item's folder with folder names kept, once the user confirms; the window's own
// rows and its own archive are refused. Onto the empty area, ZIP files open as documents and the
// other files go into a new archive beside the first of them, named after it. The drop itself only
// takes the list: the work is done from the frame's loop (kMsgDropped), so the program the files
// came from is not held up meanwhile.
class FrameDrop : private IFileDropHandler {
 public:
  static constexpr UINT kMsgDropped = WM_APP + 2;

  // Registers the drop target on the frame's MDI client, whose document windows it covers.
  explicit FrameDrop(frmMain& frame);
  ~FrameDrop();
  FrameDrop(const FrameDrop&) = delete;
  FrameDrop& operator=(const FrameDrop&) = delete;

  // The registered target (null when the system refused it), for a test's drop.
  IDropTarget* Target() const { return m_target; }
  // Carries out the oldest drop not yet done.
  void OnDropped();

 private:
  struct Pending {
    std::vector<std::string> files;
    HWND document;  // null: the empty area
  };
  DWORD DropEffect(const std::vector<std::string>& files, POINT screen, IDataObject* data) override;
  void Dropped(std::vector<std::string> files, POINT screen) override;
  // The document window under the point, or null.
  HWND DocumentAt(POINT screen) const;
  void AddToDocument(HWND window, const std::vector<std::string>& files);
  void OpenOrCreate(const std::vector<std::string>& files);

  frmMain& m_frame;
  FileDropTarget* m_target = nullptr;
  std::deque<Pending> m_pending;
};

// Whether two full paths name the same file, letter case folded as the file system does.
bool SamePath(const std::string& a, const std::string& b);

}  // namespace corvane
