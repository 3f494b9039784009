#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Start-up and the single-instance protocol: the first process of a user's logon holds the named
// mutex and shows the main window; a later one hands its command line to that window (found by its
// window property) or brings it to the front, and ends without a window of its own.

namespace corvane {

inline constexpr char kProductWord[] = "Corvane";
inline constexpr char kMainWindowProperty[] = "Corvane_APPLICATION";
inline constexpr UINT kHandOverTimeoutMs = 5000;

// Program entry. Returns the process's exit code. activeCodePage is the process's ANSI code page
// (GetACP()): the program runs only where its manifest made it UTF-8 (Windows 10 1903 and later)
// and otherwise refuses with a message box and returns 1.
int Main(UINT activeCodePage);

// True when this process is the first instance: it created the named mutex (a failed creation
// counts as first too). A later instance closes its handle at once.
bool IsFirstInstance(const std::string& mutexName);

// Closes the instance mutex handle, if any, so that the next start is a first instance again.
void ReleaseInstanceMutex();

// Looks through the top-level windows (top of the Z order first) for the first one that
// IsMainWindow accepts, and keeps it as the found main window (nullptr when there is none).
void FindMainWindow();
HWND FoundMainWindow();
BOOL CALLBACK EnumWindowsCallback(HWND hwnd, LPARAM lParam);

bool IsMainWindow(HWND hwnd);
void MarkMainWindow(HWND hwnd);

// Restores the window if it is minimized and brings it to the foreground; failures are ignored.
void ActivateWindow(HWND hwnd);

// This process's command line: the text after the program's own path, the separating blanks
// removed (a path that does not start with a double quote ends at the first blank).
std::wstring CommandLineTail(std::wstring_view fullCommandLine);

// Text in the system's ANSI code page by its default conversion (unrepresentable characters become
// its default character).
std::string AnsiText(std::wstring_view text);

// The hand-over bytes for a command line: its ANSI form by the system's default conversion, with no
// terminating zero; one zero byte for an empty command line.
std::string HandOverPayload(std::wstring_view commandLine);

// Sends the payload to the window as WM_COPYDATA (dwData 0), waiting at most kHandOverTimeoutMs.
// True when the window answered 1 (taken); false when the send failed, timed out, or the window
// answered otherwise (a window that is gone, or one of a higher privilege level that the system
// does not let the message reach).
bool HandOver(HWND window, const std::string& payload);

}  // namespace corvane
