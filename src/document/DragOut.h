#pragma once

#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

class frmDocument;

// Dragging a document's selected rows out to Explorer or any other program that takes files. The
// entries are extracted only when the drop happens, never when the drag starts: the drag offers a
// data object whose files (CF_HDROP) are made when the drop reads them, into a folder of this drag
// under the document's drag folder (not the one double-clicked entries open from), entries keeping
// their folder names; encrypted entries ask for their password then. The files stay until the
// document closes. A drag cancelled with Escape extracts nothing.
class DragOut {
 public:
  // A drag of the entries at indices (from 1) of document, which must outlive the drag.
  DragOut(frmDocument& document, std::vector<int32_t> indices);
  ~DragOut();
  DragOut(const DragOut&) = delete;
  DragOut& operator=(const DragOut&) = delete;

  // Runs the drag with the system's drag loop (the mouse button held), a drag image showing the
  // count; returns once it has ended.
  void Run();

  // The data object and drop source of the drag, as the system's loop uses them.
  IDataObject* Data() const { return m_data; }
  IDropSource* Source() const { return m_source; }
  // The folder the drop's files are made in (it exists only once they are).
  const std::string& Folder() const;

 private:
  struct State;
  std::shared_ptr<State> m_state;
  IDataObject* m_data = nullptr;
  IDropSource* m_source = nullptr;
};

}  // namespace corvane
