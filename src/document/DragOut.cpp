#include "document/DragOut.h"

#include <shlobj.h>

#include <set>

#include "document/frmDocument.h"
#include "platform/Dpi.h"
#include "platform/Error.h"
#include "platform/FileDataObject.h"
#include "platform/Text.h"

namespace corvane {
namespace {

// Numbers the drags of this process, so that each has a folder of its own.
int g_dragCount = 0;

// The drop side: the system's drag loop asks it whether to go on and which cursor to show.
class DropSource : public IDropSource {
 public:
  explicit DropSource(std::function<void(bool dropped)> ended) : m_ended(std::move(ended)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropSource)) {
      *object = static_cast<IDropSource*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&m_references));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = InterlockedDecrement(&m_references);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (escape || (keys & MK_RBUTTON)) {
      m_ended(false);
      return DRAGDROP_S_CANCEL;
    }
    if (!(keys & MK_LBUTTON)) {
      // Told before the target's Drop, which then reads the files: they are made from now on.
      m_ended(true);
      return DRAGDROP_S_DROP;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  ~DropSource() = default;
  LONG m_references = 1;
  std::function<void(bool)> m_ended;
};

// A picture of the count for the drag image: "3 entries" on a small tile.
HBITMAP CountPicture(size_t count, int dpi, SIZE& size) {
  std::wstring text = std::to_wstring(count) + (count == 1 ? L" entry" : L" entries");
  size = SIZE{ScaleForDpi(120, dpi), ScaleForDpi(28, dpi)};
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), size.cx, -size.cy, 1, 32, BI_RGB};
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!picture) {
    DeleteDC(dc);
    return nullptr;
  }
  HGDIOBJ old = SelectObject(dc, picture);
  RECT tile{0, 0, size.cx, size.cy};
  FillRect(dc, &tile, GetSysColorBrush(COLOR_HIGHLIGHT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
  // The W form: GDI reads A text in the system's code page on Windows.
  DrawTextW(dc, text.c_str(), -1, &tile, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, old);
  DeleteDC(dc);
  // The picture is opaque: each pixel's alpha byte set.
  auto* pixels = static_cast<DWORD*>(bits);
  for (LONG i = 0; i < size.cx * size.cy; ++i) pixels[i] |= 0xFF000000;
  return picture;
}

}  // namespace

struct DragOut::State {
  enum class Phase { Dragging, Dropped, Cancelled, Ended };
  frmDocument* document = nullptr;
  std::vector<int32_t> indices;
  std::string folder;
  std::vector<std::string> names;  // the items at the top of the extracted tree
  Phase phase = Phase::Dragging;
  bool extracted = false;
  std::vector<std::string> files;

  std::vector<std::string> Paths() const {
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(folder + "\\" + name);
    return paths;
  }

  // What CF_HDROP gives: before the drop the paths the files will have (a target looks at them
  // to choose its effect), nothing once the drag was cancelled, and at the drop the files made.
  std::vector<std::string> Render() {
    if (extracted) return files;
    if (phase == Phase::Dragging) return Paths();
    if (phase != Phase::Dropped || !document) return {};
    extracted = true;
    Extract();
    for (const std::string& path : Paths()) {
      if (GetFileAttributesW(LongPathForm(Wide(path)).c_str()) != INVALID_FILE_ATTRIBUTES) {
        files.push_back(path);
      }
    }
    return files;
  }

  void Extract() {
    if (!CreateDirectoryW(LongPathForm(Wide(folder)).c_str(), nullptr)) {
      document->ReportFailure(SystemError("DragOut", folder).Description());
      return;
    }
    cUnzip& unzip = document->m_cUnzip;
    std::string oldFolder = unzip.UnzipFolder();
    bool prompt = unzip.PromptToOverwrite(), folders = unzip.UseFolderNames(),
         overwrite = unzip.OverwriteExisting();
    for (int32_t i = 1; i <= unzip.FileCount(); ++i) unzip.FileSelected(i, false);
    for (int32_t i : indices) {
      if (i >= 1 && i <= unzip.FileCount()) unzip.FileSelected(i, true);
    }
    unzip.UnzipFolder(folder);
    // A folder of this drag's own: nothing there to overwrite.
    unzip.PromptToOverwrite(false);
    unzip.OverwriteExisting(false);
    unzip.UseFolderNames(true);
    document->RunUnzip();
    document->DragFolder().NoteNewFiles();
    unzip.UnzipFolder(oldFolder);
    unzip.PromptToOverwrite(prompt);
    unzip.UseFolderNames(folders);
    unzip.OverwriteExisting(overwrite);
  }
};

DragOut::DragOut(frmDocument& document, std::vector<int32_t> indices)
    : m_state(std::make_shared<State>()) {
  State& state = *m_state;
  state.document = &document;
  state.indices = std::move(indices);
  state.folder = document.DragFolder().Path() + "\\" + std::to_string(++g_dragCount);
  cUnzip& unzip = document.m_cUnzip;
  bool folders = unzip.UseFolderNames();
  unzip.UseFolderNames(true);
  std::set<std::wstring> seen;
  for (int32_t i : state.indices) {
    if (i < 1 || i > unzip.FileCount()) continue;
    std::string target = unzip.FileTargetPath(i);
    std::string root = target.substr(0, target.find('\\'));
    std::wstring key = Wide(root);
    CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    if (!root.empty() && seen.insert(key).second) state.names.push_back(root);
  }
  unzip.UseFolderNames(folders);
  std::weak_ptr<State> weak = m_state;
  m_data = new FileDataObject(
      [weak] {
        std::shared_ptr<State> alive = weak.lock();
        return alive ? alive->Render() : std::vector<std::string>{};
      },
      document.Window());
  m_source = new DropSource([weak](bool dropped) {
    if (std::shared_ptr<State> alive = weak.lock()) {
      if (alive->phase == State::Phase::Dragging)
        alive->phase = dropped ? State::Phase::Dropped : State::Phase::Cancelled;
    }
  });
}

DragOut::~DragOut() {
  // A target that keeps the data object after the drag gets what was made, and makes nothing.
  m_state->phase = State::Phase::Ended;
  m_state->document = nullptr;
  m_source->Release();
  m_data->Release();
}

const std::string& DragOut::Folder() const {
  return m_state->folder;
}

void DragOut::Run() {
  if (m_state->names.empty()) return;
  IDragSourceHelper* helper = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IDragSourceHelper, reinterpret_cast<void**>(&helper)))) {
    SHDRAGIMAGE image{};
    image.hbmpDragImage = CountPicture(m_state->indices.size(), DpiOf(m_state->document->Window()),
                                       image.sizeDragImage);
    image.ptOffset = POINT{image.sizeDragImage.cx / 2, image.sizeDragImage.cy};
    image.crColorKey = CLR_NONE;
    // The helper owns the picture once it took it.
    if (image.hbmpDragImage && FAILED(helper->InitializeFromBitmap(&image, m_data))) {
      DeleteObject(image.hbmpDragImage);
    }
    helper->Release();
  }
  DWORD effect = DROPEFFECT_NONE;
  DoDragDrop(m_data, m_source, DROPEFFECT_COPY, &effect);
  // The loop may end without the source being told (the target refused): nothing is made then.
  if (m_state->phase == State::Phase::Dragging) m_state->phase = State::Phase::Cancelled;
}

}  // namespace corvane
