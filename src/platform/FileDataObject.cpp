#include "platform/FileDataObject.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "platform/Text.h"

namespace corvane {
namespace {

FORMATETC FormatOf(CLIPFORMAT format, DWORD medium = TYMED_HGLOBAL) {
  return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, medium};
}

CLIPFORMAT PreferredEffectFormat() {
  static const auto format =
      static_cast<CLIPFORMAT>(RegisterClipboardFormatA(CFSTR_PREFERREDDROPEFFECT));
  return format;
}

HGLOBAL GlobalCopy(const void* bytes, size_t size) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (!memory) return nullptr;
  std::memcpy(GlobalLock(memory), bytes, size);
  GlobalUnlock(memory);
  return memory;
}

// A DROPFILES record with the paths in UTF-16, each ended by a zero, the list by another.
HGLOBAL DropFilesOf(const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += Wide(path) + L'\0';
  names += L'\0';
  std::vector<char> record(sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* header = reinterpret_cast<DROPFILES*>(record.data());
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(record.data() + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
  return GlobalCopy(record.data(), record.size());
}

bool Same(const FORMATETC& a, const FORMATETC& b) {
  return a.cfFormat == b.cfFormat && (a.tymed & b.tymed) && a.dwAspect == b.dwAspect;
}

}  // namespace

UINT DragSourceFormat() {
  static const UINT format = RegisterClipboardFormatW(kDragSourceFormat);
  return format;
}

FileDataObject::FileDataObject(std::function<std::vector<std::string>()> render, HWND source)
    : m_render(std::move(render)), m_source(source) {}

FileDataObject::~FileDataObject() {
  for (Stored& stored : m_stored) ReleaseStgMedium(&stored.medium);
}

HRESULT FileDataObject::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
    *object = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG FileDataObject::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&m_references));
}

ULONG FileDataObject::Release() {
  LONG left = InterlockedDecrement(&m_references);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

std::vector<FORMATETC> FileDataObject::Formats() const {
  std::vector<FORMATETC> formats = {FormatOf(CF_HDROP), FormatOf(PreferredEffectFormat())};
  if (m_source) formats.push_back(FormatOf(static_cast<CLIPFORMAT>(DragSourceFormat())));
  for (const Stored& stored : m_stored) formats.push_back(stored.format);
  return formats;
}

HRESULT FileDataObject::QueryGetData(FORMATETC* format) {
  if (!format) return E_INVALIDARG;
  for (const FORMATETC& offered : Formats()) {
    if (Same(offered, *format)) return S_OK;
  }
  return DV_E_FORMATETC;
}

HRESULT FileDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
  if (!format || !medium) return E_INVALIDARG;
  *medium = STGMEDIUM{};
  for (Stored& stored : m_stored) {
    if (!Same(stored.format, *format)) continue;
    // A copy of what was set: the caller releases its medium, the object keeps its own.
    if (stored.medium.tymed != TYMED_HGLOBAL) return DV_E_TYMED;
    SIZE_T size = GlobalSize(stored.medium.hGlobal);
    const void* bytes = GlobalLock(stored.medium.hGlobal);
    medium->hGlobal = GlobalCopy(bytes, size);
    GlobalUnlock(stored.medium.hGlobal);
    medium->tymed = TYMED_HGLOBAL;
    return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
  }
  if (!(format->tymed & TYMED_HGLOBAL) || format->dwAspect != DVASPECT_CONTENT) return DV_E_TYMED;
  HGLOBAL memory = nullptr;
  if (format->cfFormat == CF_HDROP) {
    std::vector<std::string> paths = m_render();
    if (paths.empty()) return E_UNEXPECTED;
    memory = DropFilesOf(paths);
  } else if (format->cfFormat == PreferredEffectFormat()) {
    // The files are copies made for this drag: a move would offer nothing more.
    DWORD effect = DROPEFFECT_COPY;
    memory = GlobalCopy(&effect, sizeof effect);
  } else if (m_source && format->cfFormat == DragSourceFormat()) {
    auto window = static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(m_source));
    memory = GlobalCopy(&window, sizeof window);
  } else {
    return DV_E_FORMATETC;
  }
  if (!memory) return E_OUTOFMEMORY;
  medium->tymed = TYMED_HGLOBAL;
  medium->hGlobal = memory;
  return S_OK;
}

HRESULT FileDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
  if (out) out->ptd = nullptr;
  return DATA_S_SAMEFORMATETC;
}

HRESULT FileDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) {
  if (!format || !medium) return E_INVALIDARG;
  if (medium->tymed != TYMED_HGLOBAL) return DV_E_TYMED;
  Stored stored{*format, {}};
  stored.format.ptd = nullptr;
  stored.medium.tymed = TYMED_HGLOBAL;
  if (release) {
    stored.medium.hGlobal = medium->hGlobal;
    // pUnkForRelease releases it otherwise; the object now owns the memory itself.
    if (medium->pUnkForRelease) medium->pUnkForRelease->Release();
  } else {
    SIZE_T size = GlobalSize(medium->hGlobal);
    stored.medium.hGlobal = GlobalCopy(GlobalLock(medium->hGlobal), size);
    GlobalUnlock(medium->hGlobal);
    if (!stored.medium.hGlobal) return E_OUTOFMEMORY;
  }
  for (Stored& old : m_stored) {
    if (Same(old.format, stored.format)) {
      ReleaseStgMedium(&old.medium);
      old = stored;
      return S_OK;
    }
  }
  m_stored.push_back(stored);
  return S_OK;
}

HRESULT FileDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) {
  if (!formats) return E_INVALIDARG;
  if (direction != DATADIR_GET) return E_NOTIMPL;
  std::vector<FORMATETC> offered = Formats();
  return SHCreateStdEnumFmtEtc(static_cast<UINT>(offered.size()), offered.data(), formats);
}

std::vector<std::string> DroppedFiles(IDataObject* data) {
  std::vector<std::string> files;
  FORMATETC format = FormatOf(CF_HDROP);
  STGMEDIUM medium{};
  if (!data || FAILED(data->GetData(&format, &medium))) return files;
  if (medium.tymed == TYMED_HGLOBAL) {
    auto drop = static_cast<HDROP>(medium.hGlobal);
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
      name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
      if (!name.empty()) files.push_back(Utf8(name));
    }
  }
  ReleaseStgMedium(&medium);
  return files;
}

HWND DragSourceWindow(IDataObject* data) {
  FORMATETC format = FormatOf(static_cast<CLIPFORMAT>(DragSourceFormat()));
  STGMEDIUM medium{};
  if (!data || FAILED(data->GetData(&format, &medium))) return nullptr;
  HWND window = nullptr;
  if (medium.tymed == TYMED_HGLOBAL && GlobalSize(medium.hGlobal) >= sizeof(unsigned long long)) {
    unsigned long long value = 0;
    std::memcpy(&value, GlobalLock(medium.hGlobal), sizeof value);
    GlobalUnlock(medium.hGlobal);
    window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
  }
  ReleaseStgMedium(&medium);
  return window;
}

}  // namespace corvane
