#include "Startup.h"

#include "frmMain.h"

#include <ole2.h>

#include <memory>
#include <optional>

#include "platform/Module.h"
#include "platform/Path.h"
#include "document/OpenFolder.h"
#include "platform/Text.h"
#include "shell/Verbs.h"

namespace corvane {
namespace {

// Touched only by the user-interface thread.
HANDLE g_hInstanceMutex = nullptr;
// How often a later start looks again for the first instance's window while it is being made.
constexpr DWORD kFindRetryMs = 50;
HWND g_hFoundMainWindow = nullptr;

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

// Only System32 is searched for the DLLs the program loads by name; the engines are loaded by full
// path. SetDefaultDllDirectories is looked up: Windows 7 has it only with an update.
void RestrictDllSearch() {
  using SetDefault = BOOL(WINAPI*)(DWORD);
  auto setDefault = reinterpret_cast<SetDefault>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void RefuseCodePage(UINT activeCodePage) {
  // The W form: this is the one text the program shows while the A forms are not UTF-8.
  std::wstring text =
      L"Corvane needs Windows 10 version 1903 or later, where programs can use Unicode (UTF-8) "
      L"file names throughout. This system runs programs in code page " +
      std::to_wstring(activeCodePage) +
      L", in which names outside it would be lost, so Corvane does not start.";
  MessageBoxW(nullptr, text.c_str(), L"Corvane", MB_OK | MB_ICONERROR);
}

// The first instance's marked window; a first instance marks it early in its load, so a start in
// the moments before is given as long as a hand-over would be to find it. Null when none appears.
HWND WaitForMainWindow() {
  for (DWORD waited = 0;; waited += kFindRetryMs) {
    FindMainWindow();
    if (FoundMainWindow() || waited >= kHandOverTimeoutMs) return FoundMainWindow();
    Sleep(kFindRetryMs);
  }
}

// COM on the window thread before any shell call: the shell's verbs and the security manager may
// be COM objects. OleInitialize too, which drag and drop (RegisterDragDrop) requires on Windows.
class ComApartment {
 public:
  ComApartment()
      : m_com(
            SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))),
        m_ole(SUCCEEDED(OleInitialize(nullptr))) {}
  ~ComApartment() {
    if (m_ole) OleUninitialize();
    if (m_com) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool m_com, m_ole;
};

int RunMainWindow(const std::string& commandLine) {
  ComApartment apartment;
  // Folders of opened entries that an instance which ended without cleaning up left behind.
  OpenFolder::RemoveStale();
  std::unique_ptr<frmMain> main;
  try {
    main = std::make_unique<frmMain>();
    main->Load(commandLine);
  } catch (const std::exception& error) {
    // Without its main window the program has nothing to show; say why instead of vanishing, and
    // let the next start be a first instance.
    main.reset();
    ReleaseInstanceMutex();
    MessageBoxW(nullptr, Wide(error.what()).c_str(), L"Corvane", MB_OK | MB_ICONERROR);
    return 1;
  }
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (main->PreTranslateMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

}  // namespace

int Main(UINT activeCodePage) {
  RestrictDllSearch();
  if (activeCodePage != CP_UTF8) {
    RefuseCodePage(activeCodePage);
    return 1;
  }
  std::string mutexName = std::string(kProductWord) + "_APPLICATION_MUTEX";
  std::string tail = AnsiText(CommandLineTail(GetCommandLineW()));
  // A switch runs in this process alone, before the single-instance protocol: it takes no mutex,
  // hands nothing over and leaves a running main window as it is.
  if (std::optional<SwitchLine> line = ParseSwitch(tail)) {
    SetCurrentDirectoryW(Wide(ExecutableFolder()).c_str());
    ComApartment apartment;
    return RunSwitch(*line);
  }
  std::string commandLine = AbsoluteCommandLine(tail);
  // The process never holds the folder it was started from (a USB drive could not be ejected
  // while it runs); relative paths were made absolute above.
  SetCurrentDirectoryW(Wide(ExecutableFolder()).c_str());
  if (IsFirstInstance(mutexName)) return RunMainWindow(commandLine);
  HWND found = WaitForMainWindow();
  // No first instance came up to take it: rather than drop the archive, this process opens it.
  if (!found) return commandLine.empty() ? 0 : RunMainWindow(commandLine);
  if (!commandLine.empty() || !IsWindowVisible(found)) {
    // The receiver restores and activates its window itself, which Windows allows a process only
    // when the foreground one (this start, made by the shell) hands it the right.
    DWORD receiver = 0;
    GetWindowThreadProcessId(found, &receiver);
    AllowSetForegroundWindow(receiver);
    if (HandOver(found, HandOverPayload(commandLine)) || commandLine.empty()) return 0;
    // Not taken: rather than drop the archive, this process opens it in a window of its own.
    return RunMainWindow(commandLine);
  }
  ActivateWindow(found);
  return 0;
}

bool IsFirstInstance(const std::string& mutexName) {
  HANDLE mutex = CreateMutexA(nullptr, /*bInitialOwner=*/TRUE, mutexName.c_str());
  // Creation and the existence check are one call, so of two simultaneous starts one is first.
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    // Closed here and forgotten: a handle kept after its close would be closed again at exit, by
    // then perhaps a handle the system has given to something else.
    CloseHandle(mutex);
    return false;
  }
  if (g_hInstanceMutex) CloseHandle(g_hInstanceMutex);
  g_hInstanceMutex = mutex;
  return true;
}

void ReleaseInstanceMutex() {
  if (g_hInstanceMutex) CloseHandle(g_hInstanceMutex);
  g_hInstanceMutex = nullptr;
}

void FindMainWindow() {
  g_hFoundMainWindow = nullptr;
  EnumWindows(EnumWindowsCallback, 0);
}

HWND FoundMainWindow() {
  return g_hFoundMainWindow;
}

BOOL CALLBACK EnumWindowsCallback(HWND hwnd, LPARAM) {
  if (IsMainWindow(hwnd)) {
    g_hFoundMainWindow = hwnd;
    return FALSE;
  }
  return TRUE;
}

bool IsMainWindow(HWND hwnd) {
  return GetPropA(hwnd, kMainWindowProperty) == HANDLE(1);
}

void MarkMainWindow(HWND hwnd) {
  SetPropA(hwnd, kMainWindowProperty, HANDLE(1));
}

void ActivateWindow(HWND hwnd) {
  if (IsIconic(hwnd)) {
    if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
      SendMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    } else {
      ShowWindowAsync(hwnd, SW_RESTORE);
    }
  }
  SetForegroundWindow(hwnd);
}

std::wstring CommandLineTail(std::wstring_view full) {
  size_t i = 0;
  if (!full.empty() && full[0] == L'"') {
    size_t close = full.find(L'"', 1);
    i = close == std::wstring_view::npos ? full.size() : close + 1;
  } else {
    while (i < full.size() && !IsBlank(full[i])) ++i;
  }
  while (i < full.size() && IsBlank(full[i])) ++i;
  return std::wstring(full.substr(i));
}

std::string_view CommandLinePath(std::string_view commandLine) {
  std::string_view path = commandLine;
  if (path.size() == 1) return {};
  // The path between the quotes the shell puts around it: blanks after the closing quote, or
  // anything else there, do not cut it short.
  if (!path.empty() && path.front() == '"') path = path.substr(1, path.find('"', 1) - 1);
  size_t first = path.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return path.substr(first, path.find_last_not_of(' ') - first + 1);
}

std::string AbsoluteCommandLine(std::string_view commandLine) {
  std::string_view path = CommandLinePath(commandLine);
  if (path.empty()) return std::string();
  return "\"" + FullPathName(std::string(path)) + "\"";
}

bool IsAcceptableHandOver(std::string_view payload) {
  std::string_view text = payload.substr(0, payload.find('\0'));
  if (text.empty()) return payload.size() == 1;
  return IsFullPath(CommandLinePath(text));
}

std::string AnsiText(std::wstring_view text) {
  return Narrow(text, CP_ACP);
}

std::string HandOverPayload(std::string_view commandLine) {
  return commandLine.empty() ? std::string(1, '\0') : std::string(commandLine);
}

bool HandOver(HWND window, const std::string& payload) {
  COPYDATASTRUCT record{};
  record.dwData = 0;
  record.cbData = static_cast<DWORD>(payload.size());
  record.lpData = const_cast<char*>(payload.data());
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record), SMTO_NORMAL,
                             kHandOverTimeoutMs, &result) &&
         result == 1;
}

}  // namespace corvane
