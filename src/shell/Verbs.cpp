#include "shell/Verbs.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <set>

#include "Startup.h"
#include "dialogs/frmOverwrite.h"
#include "dialogs/frmPassword.h"
#include "platform/Module.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "settings/AppSettings.h"
#include "settings/Association.h"
#include "settings/SettingsStore.h"
#include "unzip/cUnzip.h"
#include "zip/cZip.h"

namespace corvane {
namespace {

constexpr int kDone = 0, kFailed = 1, kUnknown = 2;
// Explorer starts a command-line verb once per selected item: the first process for a folder
// collects the others' items for this long after its start, and a little longer after each.
constexpr DWORD kGatherMs = 500, kGatherExtraMs = 200;
// How long a later process looks for the first one's window, and waits for it to take an item.
constexpr DWORD kFindGathererMs = 2000, kHandItemMs = 2000;
constexpr ULONG_PTR kGatheredItem = 0x43564741;  // "CVGA": one item's full path, UTF-8
constexpr DWORD kMaxItemBytes = 32767 * 3;
constexpr wchar_t kGatherClass[] = L"CorvaneGather";

bool Exists(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The folder a path lies in; a drive's root keeps its separator.
std::string FolderOf(const std::string& path) {
  size_t separator = path.find_last_of('\\');
  if (separator == std::string::npos) return std::string();
  bool root = separator == 2 && path[1] == ':';
  return path.substr(0, root ? separator + 1 : separator);
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

std::string NameOf(const std::string& path) {
  return path.substr(path.find_last_of('\\') + 1);
}

// A file's name without its last extension; a name that is nothing but one keeps it.
std::string Stem(const std::string& name) {
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string Upper(const std::string& text) {
  std::wstring wide = Wide(text);
  // Folded as NTFS folds names, over all of Unicode.
  LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()),
                wide.data(), static_cast<int>(wide.size()), nullptr, nullptr, 0);
  return Utf8(wide);
}

void ShowFailure(const std::string& subject, const std::string& lines) {
  std::string text = subject;
  if (!lines.empty()) text += "\r\n\r\n" + lines;
  MessageBoxA(nullptr, text.c_str(), kAppTitle, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

// The extraction's questions, asked in dialogs of their own: the process has no window.
class VerbPrompts : public cUnzipEvents {
 public:
  void OverWritePrompt(const std::string& sFile, int32_t& eResponse) override {
    eResponse = frmOverwrite::AskEngineQuestion(nullptr, sFile);
  }
  void PasswordRequest(const std::string& sName, bool bRetry, std::string& sPassword,
                       bool& bCancel) override {
    frmPassword::AnswerEngineRequest(nullptr, sName, bRetry, sPassword, bCancel);
  }
};

// Lists the archive; false, after a box, when nothing can be extracted from it.
bool ListArchive(cUnzip& unzip, const std::string& archive) {
  unzip.ZipFile(archive);
  unzip.UseFolderNames(true);
  try {
    unzip.Directory();
  } catch (const Error& error) {
    ShowFailure(archive, error.Description());
    return false;
  }
  if (unzip.LastRunFailed() && unzip.FileCount() == 0) {
    ShowFailure(archive, unzip.LastMessage());
    return false;
  }
  if (unzip.FileCount() == 0) {
    ShowFailure(archive, "The archive holds no files to extract.");
    return false;
  }
  return true;
}

int Extract(cUnzip& unzip, const std::string& folder) {
  std::wstring wide = Wide(folder);
  if (!IsFolder(folder) && !CreateDirectoryW(wide.c_str(), nullptr)) {
    ShowFailure(folder, SystemMessage(GetLastError()));
    return kFailed;
  }
  VerbPrompts prompts;
  unzip.Listener(&prompts);
  unzip.UnzipFolder(folder);
  unzip.PromptToOverwrite(true);
  unzip.OverwriteExisting(false);
  try {
    unzip.Unzip();
  } catch (const Error& error) {
    ShowFailure(unzip.ZipFile(), error.Description());
    return kFailed;
  }
  unzip.Listener(nullptr);
  if (unzip.LastResult() == IZ_CTRLC) return kFailed;  // the user's own Cancel: nothing to say
  if (unzip.LastRunFailed()) {
    ShowFailure(unzip.ZipFile(), unzip.LastMessage());
    return kFailed;
  }
  return kDone;
}

int ExtractHere(const std::string& archive, bool ownFolder) {
  cUnzip unzip;
  if (!ListArchive(unzip, archive)) return kFailed;
  const std::string folder = FolderOf(archive);
  std::string named = Join(folder, Stem(NameOf(archive)));
  if (!ownFolder) {
    std::vector<std::string> targets;
    for (int32_t i = 1; i <= unzip.FileCount(); ++i) targets.push_back(unzip.FileTargetPath(i));
    // More than one item at the archive's root would scatter over its folder: they get a folder
    // of their own, and one that exists already is never merged into without asking.
    if (RootItems(targets).size() <= 1) return Extract(unzip, folder);
    return Extract(unzip, FreeName(named));
  }
  // Extract to Folder merges into a folder of that name; a file of that name is left alone.
  if (Exists(named) && !IsFolder(named)) named = FreeName(named);
  return Extract(unzip, named);
}

// The gathering window: items other processes hand over while it collects.
struct Gathering {
  std::vector<std::string> items;
  bool collecting = true;
  DWORD deadline = 0;
};

LRESULT CALLBACK GatherProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* gathering = reinterpret_cast<Gathering*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_COPYDATA && gathering && gathering->collecting) {
    const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!record || record->dwData != kGatheredItem || !record->lpData || record->cbData == 0 ||
        record->cbData > kMaxItemBytes) {
      return FALSE;
    }
    std::string item(static_cast<const char*>(record->lpData), record->cbData);
    item = item.substr(0, item.find('\0'));
    if (!IsFullPath(item)) return FALSE;
    gathering->items.push_back(item);
    gathering->deadline = std::max(gathering->deadline, GetTickCount() + kGatherExtraMs);
    return TRUE;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Hands the item to the process that gathers for its folder; false when there is none to take it.
bool HandToGatherer(const std::wstring& name, const std::string& item) {
  for (DWORD waited = 0; waited <= kFindGathererMs; waited += 50) {
    if (HWND gatherer = FindWindowExW(HWND_MESSAGE, nullptr, kGatherClass, name.c_str())) {
      COPYDATASTRUCT record{kGatheredItem, static_cast<DWORD>(item.size()),
                            const_cast<char*>(item.data())};
      DWORD_PTR taken = 0;
      return SendMessageTimeoutW(gatherer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record),
                                 SMTO_NORMAL, kHandItemMs, &taken) &&
             taken == TRUE;
    }
    Sleep(50);
  }
  return false;
}

// Collects the items handed over for about half a second; the window is gone afterwards, so a
// later process does its items itself.
void Gather(const std::wstring& name, Gathering& gathering) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = GatherProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kGatherClass;
  RegisterClassExW(&windowClass);
  HWND window = CreateWindowExW(0, kGatherClass, name.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
  if (!window) return;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&gathering));
  gathering.deadline = GetTickCount() + kGatherMs;
  for (;;) {
    auto left = static_cast<LONG>(gathering.deadline - GetTickCount());
    if (left <= 0) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  gathering.collecting = false;
  DestroyWindow(window);
}

// Opens the archive as the association does: in the running main window, or a new one.
void OpenArchive(const std::string& archive) {
  std::wstring line = L"\"" + Wide(ExecutablePath()) + L"\" \"" + Wide(archive) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

int AddToArchive(std::string item) {
  while (item.size() > 3 && item.back() == '\\') item.pop_back();
  if (!Exists(item)) {
    ShowFailure(item, "There is no file or folder of that name.");
    return kFailed;
  }
  const std::string folder = FolderOf(item);
  const std::wstring name = GatherName(folder);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  bool first = GetLastError() != ERROR_ALREADY_EXISTS;
  Gathering gathering;
  gathering.items.push_back(item);
  if (!first && HandToGatherer(name, item)) {
    CloseHandle(mutex);
    return kDone;
  }
  // A process that found nobody to take its item makes an archive of its own.
  if (first) Gather(name, gathering);
  std::string stem = IsFolder(item) ? NameOf(item) : Stem(NameOf(item));
  std::string archive = FreeName(Join(folder, stem), ".zip");
  cZip zip;
  zip.ZipFile(archive);
  for (const std::string& each : gathering.items) zip.AddFileSpec(each);
  // Paths relative to the items' folder, folder names kept, everything below a folder taken.
  zip.BasePath(folder);
  zip.StoreFolderNames(true);
  zip.RecurseSubDirs(true);
  bool failed = false;
  std::string lines;
  try {
    zip.Zip();
    failed = zip.LastRunFailed();
    lines = zip.LastMessage();
  } catch (const Error& error) {
    failed = true;
    lines = error.Description();
  }
  if (mutex) CloseHandle(mutex);
  if (failed) {
    // A cancelled run leaves no archive and needs no box.
    if (zip.LastResult() != 80) ShowFailure(archive, lines);
    return kFailed;
  }
  OpenArchive(archive);
  return kDone;
}

int Unregister() {
  RemoveZipAssociation();
  // The next start after a reinstall asks again.
  try {
    SaveSetting(kAppTitle, kSettingsSection, "frun", "0");
  } catch (const Error& error) {
    ShowFailure("The settings could not be written.", error.Description());
    return kFailed;
  }
  return kDone;
}

}  // namespace

std::optional<SwitchLine> ParseSwitch(std::string_view commandLine) {
  size_t first = commandLine.find_first_not_of(' ');
  if (first == std::string_view::npos || commandLine[first] != '/') return std::nullopt;
  std::string_view rest = commandLine.substr(first + 1);
  size_t end = std::min(rest.find_first_of(" \""), rest.size());
  SwitchLine line;
  for (char c : rest.substr(0, end)) {
    line.name += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  std::string_view after = rest.substr(end);
  after.remove_prefix(std::min(after.find_first_not_of(' '), after.size()));
  std::string_view path = CommandLinePath(after);
  if (!path.empty()) {
    line.path = FullPathName(std::string(path));
    // A folder given with its separator (as "C:\") keeps it only at a drive's root.
    while (line.path.size() > 3 && line.path.back() == '\\') line.path.pop_back();
  }
  return line;
}

std::string SwitchUsage() {
  return "Corvane [archive.zip]\r\n"
         "Corvane /extract-here \"archive.zip\"\r\n"
         "    extracts into the archive's folder; into a new folder named after the archive "
         "when its root holds more than one item\r\n"
         "Corvane /extract-to \"archive.zip\"\r\n"
         "    extracts into the folder named after the archive\r\n"
         "Corvane /add \"file or folder\"\r\n"
         "    makes an archive named after it beside it, and opens it\r\n"
         "Corvane /unregister\r\n"
         "    removes the association with ZIP files and the Explorer verbs\r\n"
         "Corvane /?\r\n"
         "    shows this text";
}

int RunSwitch(const SwitchLine& line) {
  const bool needsPath =
      line.name == "extract-here" || line.name == "extract-to" || line.name == "add";
  if (line.name == "?") {
    MessageBoxA(nullptr, SwitchUsage().c_str(), kAppTitle, MB_OK | MB_ICONINFORMATION);
    return kDone;
  }
  if (line.name == "unregister") return Unregister();
  if (!needsPath || line.path.empty()) {
    std::string text =
        (needsPath ? "/" + line.name + " needs a path." : "Unknown switch /" + line.name + ".") +
        "\r\n\r\n" + SwitchUsage();
    MessageBoxA(nullptr, text.c_str(), kAppTitle, MB_OK | MB_ICONERROR);
    return kUnknown;
  }
  if (line.name == "add") return AddToArchive(line.path);
  return ExtractHere(line.path, /*ownFolder=*/line.name == "extract-to");
}

std::string FreeName(const std::string& base, const std::string& suffix) {
  if (!Exists(base + suffix)) return base + suffix;
  for (int n = 2;; ++n) {
    std::string name = base + " (" + std::to_string(n) + ")" + suffix;
    if (!Exists(name)) return name;
  }
}

std::vector<std::string> RootItems(const std::vector<std::string>& targetPaths) {
  std::vector<std::string> roots;
  std::set<std::string> folded;
  for (const std::string& path : targetPaths) {
    if (path.empty()) continue;
    std::string root = path.substr(0, path.find('\\'));
    if (folded.insert(Upper(root)).second) roots.push_back(root);
  }
  return roots;
}

std::wstring GatherName(const std::string& folder) {
  // FNV-1a of the folded path: an object name may hold no "\" and is limited in length.
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : Upper(folder)) hash = (hash ^ c) * 1099511628211ull;
  wchar_t text[17];
  wsprintfW(text, L"%08X%08X", static_cast<unsigned>(hash >> 32), static_cast<unsigned>(hash));
  return L"Corvane.AddToZip." + std::wstring(text);
}

}  // namespace corvane
