// corvane-bench-open: times how long Corvane takes to show the first rows of an archive, from the
// request and from the program's start. Used by bench/document.sh under Wine.
//
//   corvane-bench-open start PROGRAM [ARCHIVE]  starts PROGRAM "ARCHIVE" and waits for its main
//                                               window and, with an archive, for the first row
//   corvane-bench-open forward ARCHIVE          hands "ARCHIVE" to the running program as a second
//                                               start does, and waits for the new document's rows
//   corvane-bench-open open ARCHIVE             File > Open: chooses ARCHIVE in the real dialog,
//                                               presses Open and waits for the rows
//   corvane-bench-open close                    closes the program as a user does
//   corvane-bench-open replies FOLDER           Extract To with every entry of the active
//                                               document into FOLDER; prints the frame's longest
//                                               reply to a message while the run goes on
//   corvane-bench-open sort-find                 on the active document: clicks the Name and the
//                                               Size headers twice each, then types "file1" into
//                                               the search box, then shows the folder tree;
//                                               prints the milliseconds of each step (the first
//                                               click of a column builds its keys, the first key
//                                               press folds the names)
// Each timed verb prints the seconds it measured and the first row's name.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>

#include "dialogs/frmExtractTo.h"
#include "shell/Startup.h"
#include "shell/frmMain.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPatienceMs = 120000;

HWND MainWindow() {
  corvane::FindMainWindow();
  HWND found = corvane::FoundMainWindow();
  return found && IsWindowVisible(found) ? found : nullptr;
}

std::set<HWND> Lists(HWND main) {
  std::set<HWND> lists;
  EnumChildWindows(
      main,
      [](HWND child, LPARAM found) {
        char name[32] = "";
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpA(name, WC_LISTVIEWA) == 0)
          reinterpret_cast<std::set<HWND>*>(found)->insert(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&lists));
  return lists;
}

// The first row's name, read from the list in the program's process; empty while it has none.
std::string FirstRow(HWND list) {
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, kPatienceMs, &count) ||
      count == 0) {
    return "";
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return "";
  constexpr SIZE_T kText = 1024;
  auto* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + kText, MEM_COMMIT, PAGE_READWRITE));
  LVITEMA item{};
  item.iSubItem = 0;
  item.pszText = remote + sizeof item;
  item.cchTextMax = kText;
  char text[kText] = "";
  WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
  DWORD_PTR length = 0;
  SendMessageTimeoutA(list, LVM_GETITEMTEXTA, 0, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL,
                      kPatienceMs, &length);
  ReadProcessMemory(process, remote + sizeof item, text, kText, nullptr);
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  text[kText - 1] = '\0';
  return text;
}

// Waits for a list that is not in before to show its rows; prints the seconds since start.
int WaitForRows(HWND main, const std::set<HWND>& before, Clock::time_point start) {
  for (;;) {
    for (HWND list : Lists(main)) {
      if (before.count(list)) continue;
      std::string name = FirstRow(list);
      // Shown: the row can be read, and the list has no part left to paint.
      if (name.empty() || GetUpdateRect(list, nullptr, FALSE)) continue;
      double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      std::printf("%.3f %s\n", seconds, name.c_str());
      return 0;
    }
    if (Clock::now() - start > std::chrono::milliseconds(kPatienceMs)) {
      std::fprintf(stderr, "corvane-bench-open: no rows\n");
      return 1;
    }
    Sleep(5);
  }
}

int Start(const char* program, const char* archive) {
  std::string commandLine = "\"" + std::string(program) + "\"";
  if (archive) commandLine += " \"" + std::string(archive) + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  Clock::time_point start = Clock::now();
  if (!CreateProcessA(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "corvane-bench-open: cannot start %s\n", program);
    return 1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  HWND main = nullptr;
  while (!(main = MainWindow())) {
    if (Clock::now() - start > std::chrono::milliseconds(kPatienceMs)) return 1;
    Sleep(5);
  }
  if (!archive) return 0;
  return WaitForRows(main, {}, start);
}

int Forward(const std::string& archive) {
  HWND main = MainWindow();
  if (!main) return 1;
  std::set<HWND> before = Lists(main);
  std::string payload = "\"" + archive + "\"";
  COPYDATASTRUCT record{0, static_cast<DWORD>(payload.size()), payload.data()};
  Clock::time_point start = Clock::now();
  DWORD_PTR result = 0;
  SendMessageTimeoutA(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record), SMTO_NORMAL,
                      corvane::kHandOverTimeoutMs, &result);
  return WaitForRows(main, before, start);
}

int Open(const std::string& archive) {
  HWND main = MainWindow();
  if (!main) return 1;
  std::set<HWND> before = Lists(main);
  PostMessageA(main, WM_COMMAND, corvane::frmMain::mnuFileOpen, 0);
  // The dialog's file name box, once the dialog shows it.
  HWND dialog = nullptr, name = nullptr;
  for (int waited = 0; waited < kPatienceMs; waited += 5) {
    dialog = FindWindowA("#32770", "Open");
    name = dialog && IsWindowVisible(dialog) ? GetDlgItem(dialog, 0x47C) : nullptr;
    char typed[1024] = "";
    if (name) SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(archive.c_str()));
    if (name && GetWindowTextA(name, typed, sizeof typed) && archive == typed) break;
    Sleep(5);
  }
  if (!name) return 1;
  Clock::time_point start = Clock::now();
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0, SMTO_NORMAL, kPatienceMs, &ignored);
  return WaitForRows(main, before, start);
}

// A top-level window of the program whose caption ends in suffix, or null.
HWND WindowEndingIn(const std::string& suffix) {
  struct Search {
    std::string suffix;
    HWND found = nullptr;
  } search{suffix};
  EnumWindows(
      [](HWND hwnd, LPARAM parameter) {
        auto* search = reinterpret_cast<Search*>(parameter);
        char caption[256] = "";
        GetWindowTextA(hwnd, caption, sizeof caption);
        std::string text = caption;
        if (IsWindowVisible(hwnd) && text.size() >= search->suffix.size() &&
            text.compare(text.size() - search->suffix.size(), search->suffix.size(),
                         search->suffix) == 0) {
          search->found = hwnd;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int Replies(const std::string& folder) {
  HWND main = MainWindow();
  if (!main) return 1;
  PostMessageA(main, WM_COMMAND, corvane::frmMain::mnuFileExtract, 0);
  HWND dialog = nullptr;
  for (int waited = 0; !dialog && waited < kPatienceMs; waited += 5) {
    dialog = WindowEndingIn("Extract To...");
    Sleep(5);
  }
  if (!dialog) return 1;
  SetDlgItemTextA(dialog, corvane::frmExtractTo::kCboExtractTo, folder.c_str());
  Clock::time_point start = Clock::now();
  PostMessageA(GetDlgItem(dialog, corvane::frmExtractTo::kCmdExtract), BM_CLICK, 0, 0);
  // The run ends when its progress window, once shown, has gone.
  bool shown = false;
  double longest = 0;
  while (Clock::now() - start < std::chrono::milliseconds(kPatienceMs)) {
    bool showing = WindowEndingIn("Extracting - Corvane") != nullptr;
    if (shown && !showing) break;
    shown = shown || showing;
    Clock::time_point sent = Clock::now();
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, kPatienceMs, &ignored);
    longest = std::max(longest, std::chrono::duration<double>(Clock::now() - sent).count());
    Sleep(10);
  }
  std::printf("%.1f %.2f\n", longest * 1000,
              std::chrono::duration<double>(Clock::now() - start).count());
  return shown ? 0 : 1;
}

int Close() {
  HWND main = MainWindow();
  if (!main) return 0;
  PostMessageA(main, WM_CLOSE, 0, 0);
  for (int waited = 0; IsWindow(main) && waited < kPatienceMs; waited += 20) Sleep(20);
  return IsWindow(main) ? 1 : 0;
}

double Milliseconds(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A click on a header item, sent: the list has sorted when the button's release returns.
double ClickHeader(HWND list, int column) {
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  int x = 0;
  for (int i = 0; i < column; ++i)
    x += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0));
  x += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0)) / 2;
  Clock::time_point start = Clock::now();
  SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 4));
  SendMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(x, 4));
  return Milliseconds(start);
}

int SortFind() {
  HWND main = MainWindow();
  HWND list = nullptr;
  for (HWND candidate : main ? Lists(main) : std::set<HWND>{}) {
    if (SendMessageA(candidate, LVM_GETITEMCOUNT, 0, 0) > 0) list = candidate;
  }
  HWND find = list ? FindWindowExA(GetParent(list), nullptr, "EDIT", nullptr) : nullptr;
  if (!find) {
    std::fprintf(stderr, "corvane-bench-open: no document with rows\n");
    return 1;
  }
  for (int column : {0, 2}) {
    double keys = ClickHeader(list, column);
    std::printf("%.1f %.1f ", keys, ClickHeader(list, column));
  }
  // Each key press is sent: the list has narrowed when it returns.
  double first = 0, longest = 0;
  std::string_view typed = "file1";
  for (size_t i = 0; i < typed.size(); ++i) {
    Clock::time_point start = Clock::now();
    SendMessageA(find, WM_CHAR, static_cast<WPARAM>(typed[i]), 1);
    double ms = Milliseconds(start);
    if (i == 0) {
      first = ms;
    } else {
      longest = std::max(longest, ms);
    }
  }
  std::printf("%.1f %.1f %ld ", first, longest,
              static_cast<long>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)));
  SendMessageA(find, WM_CHAR, VK_ESCAPE, 1);
  // View > Folders builds the folder tree of the listing; the second toggle hides it again.
  Clock::time_point start = Clock::now();
  SendMessageA(main, WM_COMMAND, corvane::frmMain::mnuViewFolders, 0);
  std::printf("%.1f\n", Milliseconds(start));
  SendMessageA(main, WM_COMMAND, corvane::frmMain::mnuViewFolders, 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "start" && (argc == 3 || argc == 4))
    return Start(argv[2], argc == 4 ? argv[3] : nullptr);
  if (verb == "forward" && argc == 3) return Forward(argv[2]);
  if (verb == "open" && argc == 3) return Open(argv[2]);
  if (verb == "close" && argc == 2) return Close();
  if (verb == "replies" && argc == 3) return Replies(argv[2]);
  if (verb == "sort-find" && argc == 2) return SortFind();
  std::fprintf(stderr,
               "usage: corvane-bench-open start PROGRAM [ARCHIVE] | forward ARCHIVE | open ARCHIVE "
               "| close | replies FOLDER | sort-find\n");
  return 2;
}
