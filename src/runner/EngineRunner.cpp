#include "runner/EngineRunner.h"

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/CommandScope.h"
#include "platform/Error.h"
#include "platform/Handle.h"
#include "runner/frmProgress.h"
#include "settings/AppSettings.h"

namespace corvane::runner {
namespace {

// A run shows its progress window once it has lasted this long.
constexpr ULONGLONG kProgressDelayMs = 500;
// The window thread looks at the progress at least this often.
constexpr DWORD kRefreshMs = 100;
// Posted to the delivery window when work waits for the window thread.
constexpr UINT kMsgDeliver = WM_APP + 40;

// The state of the run in progress. Created and destroyed by the window thread around the worker's
// whole life, so the worker may use it without a lock; what both threads touch meanwhile is
// atomic or under m_lock.
struct Run {
  explicit Run(RunDescription description) : what(std::move(description)) {}

  RunDescription what;
  std::atomic<bool> cancel{false};
  std::atomic<uint64_t> bytesDone{0}, bytesTotal{0}, entriesDone{0}, entriesTotal{0};

  std::mutex lock;
  std::string entry;                           // under lock
  std::vector<std::function<void()>> pending;  // under lock
  bool delivering = false;                     // a kMsgDeliver is on its way; under lock

  // The window thread's only.
  HANDLE worker = nullptr;
  std::unique_ptr<frmProgress> progress;
  ULONGLONG started = GetTickCount64();
  // When the run last went on after waiting for the user: time spent in a prompt does not make a
  // run long, and no progress window comes up over a prompt.
  ULONGLONG resumed = started;
};

Run* g_pRun = nullptr;
DWORD g_windowThread = 0;
HWND g_hwndOwner = nullptr;
HWND g_hwndDelivery = nullptr;  // a message-only window of the window thread
RunCounts g_lastCounts;

// Runs what waits for the window thread, in the order it was posted.
void Deliver() {
  Run* run = g_pRun;
  if (!run) return;
  std::vector<std::function<void()>> work;
  {
    std::lock_guard guard(run->lock);
    work.swap(run->pending);
    run->delivering = false;
  }
  for (auto& item : work) item();
}

LRESULT CALLBACK DeliveryProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // Delivered by any message loop of the window thread, a modal dialog's included.
  if (message == kMsgDeliver) {
    Deliver();
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND DeliveryWindow() {
  if (g_hwndDelivery) return g_hwndDelivery;
  WNDCLASSEXA type{};
  type.cbSize = sizeof type;
  type.lpfnWndProc = DeliveryProcedure;
  type.hInstance = GetModuleHandleA(nullptr);
  type.lpszClassName = "CorvaneRunner";
  RegisterClassExA(&type);
  g_hwndDelivery = CreateWindowExA(0, type.lpszClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, type.hInstance, nullptr);
  if (!g_hwndDelivery) throw SystemError("EngineRunner", "CreateWindowEx");
  return g_hwndDelivery;
}

void Queue(Run& run, std::function<void()> work) {
  bool post = false;
  {
    std::lock_guard guard(run.lock);
    run.pending.push_back(std::move(work));
    post = !std::exchange(run.delivering, true);
  }
  if (post) PostMessageA(g_hwndDelivery, kMsgDeliver, 0, 0);
}

struct Worker {
  const std::function<int32_t()>* call;
  int32_t result = 0;
  std::exception_ptr error;
};

DWORD WINAPI WorkerMain(void* parameter) {
  auto* worker = static_cast<Worker*>(parameter);
  try {
    worker->result = (*worker->call)();
  } catch (...) {
    worker->error = std::current_exception();
  }
  return 0;
}

void OnCancelClicked() {
  CancelRun();
}

ProgressSnapshot Snapshot(Run& run) {
  ProgressSnapshot snapshot;
  snapshot.bytesDone = run.bytesDone;
  snapshot.bytesTotal = run.bytesTotal;
  snapshot.entriesDone = run.entriesDone;
  snapshot.entriesTotal = run.entriesTotal;
  snapshot.cancelling = run.cancel;
  std::lock_guard guard(run.lock);
  snapshot.entry = run.entry;
  return snapshot;
}

// Handles this thread's messages until the run's worker has ended, or until the time is up (never
// for INFINITE); true when it has ended. The progress window, once the run has lasted long
// enough, gets its messages first. A WM_QUIT is kept in quit and quitCode.
bool PumpUntilDone(Run& run, DWORD milliseconds, bool& quit, WPARAM& quitCode) {
  ULONGLONG until = GetTickCount64() + milliseconds;
  std::unique_ptr<frmProgress>& progress = run.progress;
  for (;;) {
    DWORD wait =
        MsgWaitForMultipleObjectsEx(1, &run.worker, kRefreshMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (wait == WAIT_OBJECT_0) return true;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quitCode = msg.wParam;
        continue;
      }
      if (progress && progress->Window() && IsDialogMessageA(progress->Window(), &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    ULONGLONG elapsed = GetTickCount64() - run.started;
    if (!progress && GetTickCount64() - run.resumed >= kProgressDelayMs) {
      try {
        progress = std::make_unique<frmProgress>(g_hwndOwner, run.what.action, run.what.archive,
                                                 &OnCancelClicked);
      } catch (const Error&) {
        // The run goes on without its window.
      }
    }
    if (progress && progress->Window()) progress->Update(Snapshot(run), elapsed);
    if (milliseconds != INFINITE && GetTickCount64() >= until) return false;
  }
}

}  // namespace

int32_t RunOnWorker(const RunDescription& what, const std::function<int32_t()>& call) {
  if (g_pRun) throw Error(5, "EngineRunner", "An engine run is already in progress");
  CommandScope scope;
  g_windowThread = GetCurrentThreadId();
  DeliveryWindow();
  Run run(what);
  Worker worker{&call};
  g_pRun = &run;
  UniqueKernelHandle thread(CreateThread(nullptr, 0, WorkerMain, &worker, 0, nullptr));
  if (!thread) {
    g_pRun = nullptr;
    throw SystemError("EngineRunner", "CreateThread");
  }
  run.worker = thread.Get();
  bool quit = false;
  WPARAM quitCode = 0;
  PumpUntilDone(run, INFINITE, quit, quitCode);
  Deliver();  // what the worker posted last
  g_lastCounts = {run.entriesDone, run.entriesTotal};
  g_pRun = nullptr;
  run.progress.reset();
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  if (worker.error) std::rethrow_exception(worker.error);
  return worker.result;
}

RunCounts LastRunCounts() {
  return g_lastCounts;
}

bool RunInProgress() {
  return g_pRun != nullptr;
}

void CancelRun() {
  if (g_pRun) g_pRun->cancel = true;
}

bool RunCancelled() {
  return g_pRun && g_pRun->cancel;
}

bool ConfirmCloseDuringRun(HWND owner) {
  if (!g_pRun || !g_pRun->progress) return true;
  std::string question = g_pRun->what.action + " " + g_pRun->what.archive +
                         " is still in progress.\r\n\r\nCancel it and close?";
  if (MessageBoxA(owner, question.c_str(), kAppTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return false;
  }
  CancelRun();
  return true;
}

bool CancelAndWait(DWORD milliseconds) {
  if (!g_pRun) return true;
  CancelRun();
  bool quit = false;
  WPARAM quitCode = 0;
  bool done = PumpUntilDone(*g_pRun, milliseconds, quit, quitCode);
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  return done;
}

void OnWindowThread(const std::function<void()>& work) {
  Run* run = g_pRun;
  if (!run || GetCurrentThreadId() == g_windowThread) {
    work();
    return;
  }
  UniqueKernelHandle done(CreateEventA(nullptr, /*bManualReset=*/TRUE, FALSE, nullptr));
  if (!done) return;  // without an event nothing can be waited for: the work is not done
  HANDLE signal = done.Get();
  Queue(*run, [&work, run, signal] {
    work();
    run->resumed = GetTickCount64();
    SetEvent(signal);
  });
  WaitForSingleObject(signal, INFINITE);
}

void PostToWindowThread(std::function<void()> work) {
  Run* run = g_pRun;
  if (!run || GetCurrentThreadId() == g_windowThread) {
    work();
    return;
  }
  Queue(*run, std::move(work));
}

int ReportProgress(uint64_t bytesDone, uint64_t bytesTotal, uint64_t entriesDone,
                   uint64_t entriesTotal) {
  Run* run = g_pRun;
  if (!run) return 0;
  run->bytesDone = bytesDone;
  run->bytesTotal = bytesTotal;
  run->entriesDone = entriesDone;
  run->entriesTotal = entriesTotal;
  return run->cancel ? 1 : 0;
}

void ReportEntry(std::string_view name) {
  Run* run = g_pRun;
  if (!run) return;
  std::lock_guard guard(run->lock);
  run->entry.assign(name);
}

void ProgressOwner(HWND owner) {
  g_hwndOwner = owner;
}

}  // namespace corvane::runner
