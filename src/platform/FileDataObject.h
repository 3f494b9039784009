#pragma once

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

namespace corvane {

// The clipboard format that names the document window a drag of its rows comes from (its handle in
// 8 bytes), so that a drop of them onto the same window can be refused.
inline constexpr wchar_t kDragSourceFormat[] = L"Corvane.DragSource";
UINT DragSourceFormat();

// A data object that offers files (CF_HDROP, with a preferred effect of copy) whose paths it asks
// for only when a program reads them: render is called at each GetData of CF_HDROP and gives the
// files' full paths (none: the data cannot be had). Formats other programs set on it (the shell's
// drag image) are kept and given back. Reference-counted: made with new, released with Release.
class FileDataObject : public IDataObject {
 public:
  FileDataObject(std::function<std::vector<std::string>()> render, HWND source);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

 private:
  ~FileDataObject();
  struct Stored {
    FORMATETC format;
    STGMEDIUM medium;
  };
  std::vector<FORMATETC> Formats() const;

  LONG m_references = 1;
  std::function<std::vector<std::string>()> m_render;
  HWND m_source;
  std::vector<Stored> m_stored;
};

// The files a data object offers as CF_HDROP, as full paths; none when it offers no files.
std::vector<std::string> DroppedFiles(IDataObject* data);
// The window a drag of document rows comes from, or null for any other data.
HWND DragSourceWindow(IDataObject* data);

}  // namespace corvane
