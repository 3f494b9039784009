#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

namespace corvane {

// What a window does with files dropped on it.
class IFileDropHandler {
 public:
  // The effect a drop of files (full paths) at the screen point would have; DROPEFFECT_NONE
  // refuses it. data is the dragged data object.
  virtual DWORD DropEffect(const std::vector<std::string>& files, POINT screen,
                           IDataObject* data) = 0;
  // The files were dropped at the point (called only where DropEffect allowed it).
  virtual void Dropped(std::vector<std::string> files, POINT screen) = 0;

 protected:
  ~IFileDropHandler() = default;
};

// An OLE drop target that takes files (CF_HDROP) from any program: a drag that offers no files
// shows the "no" cursor. The files are read again at the drop, since a source may make them only
// then. Reference-counted; Register and Revoke pair with the window's life.
class FileDropTarget : public IDropTarget {
 public:
  // Registers a new target for window; null when the system refused (no OLE on this thread).
  static FileDropTarget* Register(HWND window, IFileDropHandler& handler);
  // Revokes the window's registration and drops the target.
  static void Revoke(HWND window, FileDropTarget*& target);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point,
                                      DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point,
                                 DWORD* effect) override;

 private:
  explicit FileDropTarget(IFileDropHandler& handler) : m_handler(handler) {}
  ~FileDropTarget();
  DWORD Effect(POINTL point, DWORD allowed);

  LONG m_references = 1;
  IFileDropHandler& m_handler;
  IDataObject* m_data = nullptr;  // the drag in progress, held
  std::vector<std::string> m_files;
};

}  // namespace corvane
