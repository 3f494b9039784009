#include "shell/DropTarget.h"

#include "platform/FileDataObject.h"

namespace corvane {

FileDropTarget* FileDropTarget::Register(HWND window, IFileDropHandler& handler) {
  auto* target = new FileDropTarget(handler);
  if (FAILED(RegisterDragDrop(window, target))) {
    target->Release();
    return nullptr;
  }
  return target;
}

void FileDropTarget::Revoke(HWND window, FileDropTarget*& target) {
  if (!target) return;
  RevokeDragDrop(window);
  target->Release();
  target = nullptr;
}

FileDropTarget::~FileDropTarget() {
  if (m_data) m_data->Release();
}

HRESULT FileDropTarget::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG FileDropTarget::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&m_references));
}

ULONG FileDropTarget::Release() {
  LONG left = InterlockedDecrement(&m_references);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

DWORD FileDropTarget::Effect(POINTL point, DWORD allowed) {
  if (m_files.empty() || !(allowed & DROPEFFECT_COPY)) return DROPEFFECT_NONE;
  return m_handler.DropEffect(m_files, POINT{point.x, point.y}, m_data) & DROPEFFECT_COPY;
}

HRESULT FileDropTarget::DragEnter(IDataObject* data, DWORD, POINTL point, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  if (m_data) m_data->Release();
  m_data = data;
  if (m_data) m_data->AddRef();
  m_files = DroppedFiles(data);
  *effect = Effect(point, *effect);
  return S_OK;
}

HRESULT FileDropTarget::DragOver(DWORD, POINTL point, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  *effect = Effect(point, *effect);
  return S_OK;
}

HRESULT FileDropTarget::DragLeave() {
  if (m_data) m_data->Release();
  m_data = nullptr;
  m_files.clear();
  return S_OK;
}

HRESULT FileDropTarget::Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  DWORD allowed = *effect;
  DragEnter(data, keys, point, &allowed);
  *effect = allowed;
  if (allowed != DROPEFFECT_NONE) {
    // Read again now: a source that renders its files at the drop has made them only now.
    std::vector<std::string> files = DroppedFiles(data);
    if (!files.empty()) {
      m_handler.Dropped(std::move(files), POINT{point.x, point.y});
    } else {
      *effect = DROPEFFECT_NONE;
    }
  }
  DragLeave();
  return S_OK;
}

}  // namespace corvane
