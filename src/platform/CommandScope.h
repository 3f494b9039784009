#pragma once

#include <windows.h>

namespace corvane {

// A user command in progress. A command holds one for its whole length when it makes more than
// one engine run in a row, uses a document's objects between steps, or runs a nested message loop
// (a prompt, a modal dialog, the folder browser): the frame's own commands and load, the document
// windows' commands (Add Files, Delete, the double-click), the Extract To dialog and the prompts.
// Scopes nest; only the outermost one counts.
//
// While a scope is alive, a message that would change windows under the command (a close, a
// forwarded command line) is not handled but kept: its handler calls DeferWhileInProgress first.
// When the outermost scope ends, every kept message is posted back to its window, in the order
// they came, and is handled from the window's own message loop once the command has returned. A
// kept message that is dispatched while another command is in progress is kept again.
//
// The user-interface thread only. A scope must not outlive the command that made it.
class CommandScope {
 public:
  CommandScope();
  ~CommandScope();
  CommandScope(const CommandScope&) = delete;
  CommandScope& operator=(const CommandScope&) = delete;

  // While a command is in progress: keeps the message, to be posted back to window later, and
  // returns true; the caller does nothing more with it now. Otherwise returns false, and the
  // caller handles the message itself.
  static bool DeferWhileInProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace corvane
