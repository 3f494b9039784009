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
// counts as first too) and keeps its handle. A later instance closes its own handle at once and
// leaves the kept one, if any, as it was.
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
// A window of another thread is restored without waiting for it, so a busy or hung first instance
// cannot hold up a later start.
void ActivateWindow(HWND hwnd);

// This process's command line: the text after the program's own path, the separating blanks
// removed (a path that does not start with a double quote ends at the first blank).
std::wstring CommandLineTail(std::wstring_view fullCommandLine);

// The archive path a command line names: the text between its first double quote and the next one
// (or its end), or, without a leading quote, the whole text; blanks around it dropped. Empty for a
// command line of one character.
std::string_view CommandLinePath(std::string_view commandLine);

// The command line with the path it names made absolute against the current folder and put in
// double quotes; empty when it names none. Called before the current folder changes at start, so
// that the first instance, or the one a later start hands it to, opens the file the user meant.
std::string AbsoluteCommandLine(std::string_view commandLine);

// Whether the bytes of a hand-over may be taken (they end at their first zero byte, if any): one
// zero byte (an empty command line, "show the window"), or a command line whose path is absolute.
// A relative path would be read against the receiver's folder, not the sender's.
bool IsAcceptableHandOver(std::string_view payload);

// Text in the system's ANSI code page by its default conversion (unrepresentable characters become
// its default character).
std::string AnsiText(std::wstring_view text);

// The hand-over bytes for a command line (ANSI), with no terminating zero; one zero byte for an
// empty command line.
std::string HandOverPayload(std::string_view commandLine);

// Sends the payload to the window as WM_COPYDATA (dwData 0), waiting at most kHandOverTimeoutMs.
// True when the window answered 1 (taken); false when the send failed, timed out, or the window
// answered otherwise (a window that is gone, or one of a higher privilege level that the system
// does not let the message reach).
bool HandOver(HWND window, const std::string& payload);

}  // namespace corvane
