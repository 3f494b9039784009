// corvane-run: starts Corvane with an exact command line, the way the shell's association does,
// and closes it the way a user does. Used by the run command, which cannot pass a quoted path
// through Wine's own argument handling unchanged.
//
//   corvane-run start PROGRAM [ARCHIVE]   starts PROGRAM "ARCHIVE", returns once its main window
//                                         is visible (0), or once it asks its first-run question
//                                         (3); 1 when neither shows within 30 s
//   corvane-run wait PROGRAM [ARCHIVE]    starts it the same way and waits until it ends
//   corvane-run decline                   answers the first-run question with Cancel, closes the
//                                         Options dialog that follows, waits for the main window
//   corvane-run accept                    the same with OK: Corvane registers itself for ZIP files
//   corvane-run documents                 prints the caption of each open document window
//   corvane-run about                     opens the About box, waits until it shows (a close of the
//                                         main window then waits for the box)
//   corvane-run close                     asks the main window to close, waits until it is gone

#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>

#include "shell/Startup.h"
#include "shell/frmMain.h"

namespace {

constexpr int kPatience = 30000;  // milliseconds

HWND VisibleMainWindow() {
  corvane::FindMainWindow();
  HWND found = corvane::FoundMainWindow();
  return found && IsWindowVisible(found) ? found : nullptr;
}

// A visible dialog or message box of the program, by its caption.
HWND VisibleDialog(const char* caption) {
  HWND found = FindWindowA("#32770", caption);
  return found && IsWindowVisible(found) ? found : nullptr;
}

// Polls until the condition holds or the time is up; the condition's last result.
HWND WaitFor(const std::function<HWND()>& condition, HANDLE process = nullptr) {
  for (int waited = 0; waited < kPatience; waited += 100) {
    if (HWND found = condition()) return found;
    if (process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) break;
    Sleep(100);
  }
  return condition();
}

int Start(int argc, char** argv, bool wait) {
  std::string commandLine = "\"" + std::string(argv[2]) + "\"";
  if (argc > 3) commandLine += " \"" + std::string(argv[3]) + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(argv[2], commandLine.data(), nullptr, nullptr, /*bInheritHandles=*/FALSE, 0,
                      nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "corvane-run: cannot start %s (error %lu)\n", argv[2], GetLastError());
    return 1;
  }
  CloseHandle(process.hThread);
  int rc = 0;
  if (wait) {
    // The user may take any time over the first-run question.
    WaitForSingleObject(process.hProcess, INFINITE);
  } else {
    HWND main = nullptr;
    HWND shown = WaitFor(
        [&]() -> HWND {
          if ((main = VisibleMainWindow())) return main;
          return VisibleDialog("Corvane");
        },
        process.hProcess);
    rc = main ? 0 : shown ? 3 : 1;
    if (rc == 1) std::fprintf(stderr, "corvane-run: the main window did not appear\n");
  }
  CloseHandle(process.hProcess);
  return rc;
}

int Answer(int button) {
  HWND question = VisibleDialog("Corvane");
  if (!question) return 1;
  PostMessageA(question, WM_COMMAND, button, 0);
  HWND options = WaitFor([] { return VisibleDialog("Options"); });
  if (!options) return 1;
  PostMessageA(options, WM_COMMAND, IDCANCEL, 0);
  return WaitFor(VisibleMainWindow) ? 0 : 1;
}

int Documents() {
  HWND main = VisibleMainWindow();
  if (!main) return 1;
  HWND client = FindWindowExA(main, nullptr, "MDICLIENT", nullptr);
  for (HWND child = client ? GetWindow(client, GW_CHILD) : nullptr; child;
       child = GetWindow(child, GW_HWNDNEXT)) {
    char caption[1024] = "";
    GetWindowTextA(child, caption, sizeof caption);
    std::printf("%s\n", caption);
  }
  return 0;
}

int About() {
  HWND main = VisibleMainWindow();
  if (!main) return 1;
  PostMessageA(main, WM_COMMAND, corvane::frmMain::mnuHelpAbout, 0);
  return WaitFor([] { return VisibleDialog("About Corvane"); }) ? 0 : 1;
}

int Close() {
  // An About box left open is closed first, as a user would.
  if (HWND about = VisibleDialog("About Corvane")) PostMessageA(about, WM_COMMAND, IDOK, 0);
  HWND main = VisibleMainWindow();
  if (!main) return 0;
  PostMessageA(main, WM_CLOSE, 0, 0);
  for (int waited = 0; waited < kPatience && IsWindow(main); waited += 100) Sleep(100);
  return IsWindow(main) ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string verb = argc > 1 ? argv[1] : "";
  if ((verb == "start" || verb == "wait") && argc > 2 && argc < 5) {
    return Start(argc, argv, verb == "wait");
  }
  if (verb == "decline" && argc == 2) return Answer(IDCANCEL);
  if (verb == "accept" && argc == 2) return Answer(IDOK);
  if (verb == "documents" && argc == 2) return Documents();
  if (verb == "about" && argc == 2) return About();
  if (verb == "close" && argc == 2) return Close();
  std::fprintf(stderr,
               "usage: corvane-run start|wait PROGRAM [ARCHIVE] | corvane-run "
               "decline|accept|documents|about|close\n");
  return 2;
}
