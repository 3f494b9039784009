#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Error.h"
#include "platform/Handle.h"
#include "runner/EngineRunner.h"

// What the unzip and the zip engine-call routines share: loading an engine, the state of the one
// run in progress, and the callbacks both engines make.

namespace corvane {

// Error numbers the engine objects raise, with the texts that go with them.
inline constexpr long kErrPathNotFound = 76;
inline constexpr long kErrEngineBusy = 5;
// A name code page the system cannot convert from: the run would read the names otherwise.
inline constexpr long kErrNameCodePage = 380;

// One engine library, loaded from the executable's own folder for the length of one run. Each
// object loads the DLL afresh and frees it when destroyed, so a library that was missing and has
// come back is found by the next run.
class EngineLibrary {
 public:
  // Loads the DLL by its full path, searching only its own folder and System32 for what it
  // imports. Raises the system's error for a missing or unloadable DLL, with the given source.
  EngineLibrary(std::string_view dllName, std::string source);

  // The entry point; raises the system's error, with the source above, when it is missing.
  template <typename Function>
  Function Proc(const char* name) const {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(Address(name)));
  }

 private:
  FARPROC Address(const char* name) const;

  std::string m_sDllName;
  std::string m_sSource;
  UniqueModule m_module;
};

// The text of a print or service callback: only when 1 < length < 32000, the length bytes up to
// their first zero byte. Shorter and longer messages are not passed on.
std::optional<std::string> EngineText(const char* text, unsigned long length);

// Every "/" turned into "\": folder separators as the user sees them.
std::string BackslashSeparators(std::string text);

// Answers an engine's password callback. Once refused, a run is asked no more. Otherwise ask fills
// in the password and the cancel flag; blanks around the answer are dropped, and a blank answer or
// the cancel flag refuses. A password goes into the buffer as at most 254 bytes and never more
// than its size less one, followed by a zero byte. Returns the engine's answer: 0 given, 1 none.
int AnswerPassword(char* buffer, int size, bool& refused,
                   const std::function<void(std::string& password, bool& cancel)>& ask);

// The last message lines of an engine run, kept so that a failed run can be reported.
class MessageLog {
 public:
  void Add(std::string_view line);
  // The kept lines, separated by CR LF.
  std::string Text() const;

 private:
  static constexpr size_t kMaxLines = 10;
  std::deque<std::string> m_lines;
};

// The engine run in progress, of either engine. The process holds at most one: a run of either
// engine started while one is in progress (from an event handler of any engine object, or from a
// nested message loop a handler runs) raises kErrEngineBusy instead of re-entering an engine.
// Lives on the stack of the engine call (the window thread) for exactly the length of the run;
// the run's worker reads it and writes its fields, which the window thread reads once it has ended.
class ActiveRun {
 public:
  // Raises kErrEngineBusy, with source, when a run is already in progress.
  explicit ActiveRun(const std::string& source);
  virtual ~ActiveRun();
  ActiveRun(const ActiveRun&) = delete;
  ActiveRun& operator=(const ActiveRun&) = delete;

  // The run in progress, or null.
  static ActiveRun* Current();

  // Once a password request is refused, the rest of the run is refused without asking.
  bool m_bPasswordRefused = false;
  std::string m_sPasswordEntry;  // the entry the last password request was for
  MessageLog m_messages;
};

// A run of one engine object of type T; its callbacks find the object through Object().
template <typename T>
class ActiveRunOf : public ActiveRun {
 public:
  ActiveRunOf(T& object, const std::string& source) : ActiveRun(source), m_object(object) {}

  // The object whose run is in progress when it is a T; otherwise null.
  static T* Object() {
    auto* run = dynamic_cast<ActiveRunOf*>(Current());
    return run ? &run->m_object : nullptr;
  }

 private:
  T& m_object;
};

// The callbacks both engines share. The engines call them on the worker thread of the command
// runner; they raise the events of the run's object (its listener may be null) on the window
// thread. None lets an exception reach the engine: a failure inside gives the default answer.
//
// print: the text, with "\" for "/", is kept in the run's message lines and raised as Progress,
// delivered in batches. Returns 0.
template <typename Events>
int PrintCallback(Events* listener, const char* text, unsigned long length) {
  try {
    std::optional<std::string> message = EngineText(text, length);
    if (!message) return 0;
    *message = BackslashSeparators(std::move(*message));
    if (ActiveRun* run = ActiveRun::Current()) run->m_messages.Add(*message);
    if (listener) {
      runner::PostToWindowThread(
          [listener, line = std::move(*message)] { listener->Progress(1, line); });
    }
  } catch (...) {
  }
  return 0;
}

// password: raises PasswordRequest as AnswerPassword says, with the entry's name (name, "\" for
// "/"; empty when the engine gave none) and whether the request repeats the one before it for the
// same entry, which the engines do only after a wrong password; the worker waits for the answer.
// A run asked to stop is refused without asking. Returns 0 given, 1 none.
template <typename Events>
int PasswordCallback(Events* listener, char* buffer, int size, const char* name) {
  try {
    ActiveRun* run = ActiveRun::Current();
    if (!run || runner::RunCancelled()) return 1;
    std::string entry = name ? BackslashSeparators(name) : std::string();
    bool retry = !entry.empty() && entry == run->m_sPasswordEntry;
    run->m_sPasswordEntry = entry;
    return AnswerPassword(buffer, size, run->m_bPasswordRefused,
                          [&](std::string& password, bool& cancel) {
                            if (!listener) return;
                            runner::OnWindowThread([&] {
                              try {
                                listener->PasswordRequest(entry, retry, password, cancel);
                              } catch (...) {
                                cancel = true;
                              }
                            });
                          });
  } catch (...) {
    return 1;
  }
}

// service: the entry is the one the progress window shows; raises Cancel with the text, the
// worker waiting for the answer. Returns 1 when the run was asked to stop or the listener
// cancelled, else 0.
template <typename Events>
int ServiceCallback(Events* listener, const char* text, unsigned long length, bool backslashes) {
  try {
    std::optional<std::string> message = EngineText(text, length);
    if (message && backslashes) *message = BackslashSeparators(std::move(*message));
    if (message) runner::ReportEntry(*message);
    if (runner::RunCancelled()) return 1;
    if (!message || !listener) return 0;
    bool cancel = false;
    runner::OnWindowThread([&] {
      try {
        listener->Cancel(*message, cancel);
      } catch (...) {
      }
    });
    return cancel ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

// The engines' progress callback, for both: the progress window shows it. Returns 1 when the run
// was asked to stop.
int ProgressCallback(void* context, unsigned long long bytesDone, unsigned long long bytesTotal,
                     unsigned long long entriesDone, unsigned long long entriesTotal);

// The outcome of one engine run: the engine's return code and its last message lines.
struct EngineRun {
  int32_t code = 0;
  std::string message;
};

// Keeps an engine object's LastResult and LastMessage true to its last call: cleared when the call
// starts, the run's outcome when it returns, and for a call that raised, code 0 (the engine gave
// none) with the error's description.
template <typename Call>
void RecordRun(int32_t& lastResult, std::string& lastMessage, Call&& call) {
  lastResult = 0;
  lastMessage.clear();
  try {
    EngineRun run = call();
    lastResult = run.code;
    lastMessage = std::move(run.message);
  } catch (const Error& error) {
    lastMessage = error.Description();
    throw;
  }
}

}  // namespace corvane
