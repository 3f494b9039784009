// corvane-run: starts Corvane with an exact command line, the way the shell's association does,
// and closes it the way a user does. Used by the run command, which cannot pass a quoted path
// through Wine's own argument handling unchanged.
//
//   corvane-run start PROGRAM [ARCHIVE]   starts PROGRAM "ARCHIVE", returns once its main window
//                                         is visible (exit code 1 when it is not within 30 s)
//   corvane-run wait PROGRAM [ARCHIVE]    the same, then waits until the program ends
//   corvane-run close                     asks the main window to close, waits until it is gone

#include <windows.h>

#include <cstdio>
#include <string>

#include "shell/Startup.h"

namespace {

HWND VisibleMainWindow() {
  corvane::FindMainWindow();
  HWND found = corvane::FoundMainWindow();
  return found && IsWindowVisible(found) ? found : nullptr;
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
  int rc = 1;
  for (int waited = 0; waited < 30000; waited += 100) {
    if (VisibleMainWindow()) {
      rc = 0;
      break;
    }
    if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) break;
  }
  if (rc != 0) std::fprintf(stderr, "corvane-run: the main window did not appear\n");
  if (rc == 0 && wait) WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hProcess);
  return rc;
}

int Close() {
  HWND main = VisibleMainWindow();
  if (!main) return 0;
  PostMessageA(main, WM_CLOSE, 0, 0);
  for (int waited = 0; waited < 30000 && IsWindow(main); waited += 100) Sleep(100);
  return IsWindow(main) ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string verb = argc > 1 ? argv[1] : "";
  if ((verb == "start" || verb == "wait") && argc > 2 && argc < 5) {
    return Start(argc, argv, verb == "wait");
  }
  if (verb == "close" && argc == 2) return Close();
  std::fprintf(stderr, "usage: corvane-run start|wait PROGRAM [ARCHIVE] | corvane-run close\n");
  return 2;
}
