#include "shell/FrameDrop.h"

#include <algorithm>

#include "document/frmDocument.h"
#include "platform/CommandScope.h"
#include "platform/FileDataObject.h"
#include "platform/Text.h"
#include "runner/EngineRunner.h"
#include "settings/AppSettings.h"
#include "shell/Verbs.h"
#include "shell/frmMain.h"

namespace corvane {
namespace {

bool IsZipFile(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  bool file = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  return file && path.size() > 4 && SamePath(path.substr(path.size() - 4), ".zip");
}

}  // namespace

bool SamePath(const std::string& a, const std::string& b) {
  std::wstring wa = Wide(a), wb = Wide(b);
  return CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(),
                              static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

FrameDrop::FrameDrop(frmMain& frame)
    : m_frame(frame), m_target(FileDropTarget::Register(frame.MdiClient(), *this)) {}

FrameDrop::~FrameDrop() {
  FileDropTarget::Revoke(m_frame.MdiClient(), m_target);
}

HWND FrameDrop::DocumentAt(POINT screen) const {
  for (HWND window = WindowFromPoint(screen); window && window != m_frame.MdiClient();
       window = GetParent(window)) {
    if (frmDocument::FromWindow(window)) return window;
  }
  return nullptr;
}

DWORD FrameDrop::DropEffect(const std::vector<std::string>& files, POINT screen,
                            IDataObject* data) {
  // One engine run at a time: a drop during one is refused, not queued behind it.
  if (runner::RunInProgress()) return DROPEFFECT_NONE;
  HWND window = DocumentAt(screen);
  if (!window) return DROPEFFECT_COPY;
  // A window's own rows, or its own archive, would be added to themselves.
  if (DragSourceWindow(data) == window) return DROPEFFECT_NONE;
  const std::string& archive = frmDocument::FromWindow(window)->m_cZip.ZipFile();
  bool own = std::any_of(files.begin(), files.end(),
                         [&](const std::string& file) { return SamePath(file, archive); });
  return own ? DROPEFFECT_NONE : DROPEFFECT_COPY;
}

void FrameDrop::Dropped(std::vector<std::string> files, POINT screen) {
  m_pending.push_back({std::move(files), DocumentAt(screen)});
  PostMessageA(m_frame.Window(), kMsgDropped, 0, 0);
}

void FrameDrop::OnDropped() {
  if (m_pending.empty()) return;
  Pending drop = std::move(m_pending.front());
  m_pending.pop_front();
  CommandScope scope;
  try {
    if (drop.document) {
      AddToDocument(drop.document, drop.files);
    } else {
      OpenOrCreate(drop.files);
    }
  } catch (...) {
    // A command ends silently on any error; its failures were shown.
  }
}

void FrameDrop::AddToDocument(HWND window, const std::vector<std::string>& files) {
  frmDocument* document = frmDocument::FromWindow(window);
  if (!document) return;  // closed since the drop
  std::string question = "Add " + std::to_string(files.size()) +
                         (files.size() == 1 ? " item" : " items") + " to " +
                         document->m_cZip.ZipFile() + "?";
  if (MessageBoxA(m_frame.Window(), question.c_str(), kAppTitle, MB_YESNO | MB_ICONQUESTION) !=
      IDYES) {
    return;
  }
  // The box was a nested loop: the window may have gone meanwhile.
  if ((document = frmDocument::FromWindow(window))) document->AddItems(files);
}

void FrameDrop::OpenOrCreate(const std::vector<std::string>& files) {
  std::vector<std::string> others;
  for (const std::string& file : files) {
    if (!IsZipFile(file)) {
      others.push_back(file);
      continue;
    }
    m_frame.CreateDocumentWindow();
    m_frame.LoadArchive(file);
  }
  if (others.empty()) return;
  std::string first = others.front();
  size_t separator = first.find_last_of('\\');
  std::string name = first.substr(separator + 1);
  size_t dot = name.find_last_of('.');
  DWORD attributes = GetFileAttributesW(Wide(first).c_str());
  bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!folder && dot != std::string::npos && dot > 0) name.resize(dot);
  std::string archive = FreeName(first.substr(0, separator + 1) + name, ".zip");
  frmDocument& document = m_frame.CreateDocumentWindow();
  if (!document.NewArchive(archive)) {
    SendMessageA(m_frame.MdiClient(), WM_MDIDESTROY, reinterpret_cast<WPARAM>(document.Window()),
                 0);
    return;
  }
  document.AddItems(others);
}

}  // namespace corvane
