#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The command runner: every engine call runs on a worker thread of its own while the window thread
// goes on handling its messages, so the windows keep painting and answering (a second start's
// hand-over among them) however long the run takes. The engine sees the worker as its calling
// thread; what its callbacks need from the user is handed to the window thread and answered there.
// A run that lasts longer than about half a second shows a progress window with Cancel, owned by
// the window named with ProgressOwner.
//
// One run at a time per process (the engine-call routines' ActiveRun guard ensures it); while it
// runs, a CommandScope is held, so closes and forwarded command lines that arrive wait until the
// command has returned.

namespace corvane::runner {

// What the progress window shows of a run.
struct RunDescription {
  std::string action;   // "Extracting", "Adding", "Deleting", "Opening", "Testing", "Sorting"...
  std::string archive;  // the archive's path
};

// Window thread. Calls call on a worker thread and handles this thread's messages until it has
// returned; returns what it returned, or raises again what it raised. A WM_QUIT that arrives
// meanwhile is posted again once the run has ended.
int32_t RunOnWorker(const RunDescription& what, const std::function<int32_t()>& call);

// True while a run is in progress (any thread).
bool RunInProgress();

// The entries the last run that has ended had done, of its total, as its last progress report
// gave them (both 0 for a run that reported none).
struct RunCounts {
  uint64_t entriesDone = 0, entriesTotal = 0;
};
RunCounts LastRunCounts();

// Window thread: asks the run in progress to stop; the engines stop at their next progress or
// entry, and the call returns their stop code (80). Does nothing without a run.
void CancelRun();
// True once the run in progress was asked to stop (any thread).
bool RunCancelled();

// Window thread, for a close asked for during a run. A run that shows its progress window asks the
// user, in a box owned by owner, whether to cancel it: yes cancels it and returns true (the close
// goes ahead once the run has ended), no returns false (the close is dropped). A run too short to
// show its window is left to end and returns true; so does no run at all.
bool ConfirmCloseDuringRun(HWND owner);

// Window thread: cancels the run in progress and waits, handling messages, until its worker has
// returned (at most milliseconds). True when no run is left running.
bool CancelAndWait(DWORD milliseconds);

// Worker thread: runs work on the window thread and waits until it has returned; called on the
// window thread itself, it runs work at once. Work posted before runs first. work must not throw.
void OnWindowThread(const std::function<void()>& work);
// Worker thread: work runs on the window thread soon, in the order posted; the worker does not
// wait. Posted work is delivered in batches, not one message each. work must not throw.
void PostToWindowThread(std::function<void()> work);

// Worker thread: the engine's progress report; the progress window shows it. Returns 1 when the
// run was asked to stop, else 0.
int ReportProgress(uint64_t bytesDone, uint64_t bytesTotal, uint64_t entriesDone,
                   uint64_t entriesTotal);
// Worker thread: the entry the engine works on now.
void ReportEntry(std::string_view name);

// The window that owns the progress windows of later runs (the frame), or null for none.
void ProgressOwner(HWND owner);

}  // namespace corvane::runner
