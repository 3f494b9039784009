#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Error.h"
#include "platform/Handle.h"
#include "platform/Module.h"

namespace corvane {

// Error numbers the engine objects raise, with the texts that go with them.
inline constexpr long kErrPathNotFound = 76;
inline constexpr long kErrEngineBusy = 5;

// One engine library, loaded from the executable's own folder for the length of one run. Each
// object loads the DLL afresh and frees it when destroyed, so a library that was missing and has
// come back is found by the next run.
class EngineLibrary {
 public:
  // Raises the system's error for a missing or unloadable DLL, with the given source.
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
  void Clear() { m_lines.clear(); }
  void Add(std::string_view line);
  // The kept lines, separated by CR LF.
  std::string Text() const;

 private:
  static constexpr size_t kMaxLines = 10;
  std::deque<std::string> m_lines;
};

// The callbacks both engines share, raising the events of the run's object (its listener may be
// null). None lets an exception reach the engine: a failure inside gives the default answer.
//
// print: the text, with "\" for "/", is kept in log and raised as Progress. Returns 0.
template <typename Events>
int PrintCallback(Events* listener, MessageLog& log, const char* text, unsigned long length) {
  try {
    std::optional<std::string> message = EngineText(text, length);
    if (!message) return 0;
    *message = BackslashSeparators(std::move(*message));
    log.Add(*message);
    if (listener) listener->Progress(1, *message);
  } catch (...) {
  }
  return 0;
}

// password: raises PasswordRequest as AnswerPassword says. Returns 0 given, 1 none.
template <typename Events>
int PasswordCallback(Events* listener, bool& refused, char* buffer, int size) {
  try {
    return AnswerPassword(buffer, size, refused, [&](std::string& password, bool& cancel) {
      if (listener) listener->PasswordRequest(password, cancel);
    });
  } catch (...) {
    return 1;
  }
}

// service: raises Cancel with the text. Returns 1 when the listener cancelled, else 0.
template <typename Events>
int ServiceCallback(Events* listener, const char* text, unsigned long length, bool backslashes) {
  try {
    std::optional<std::string> message = EngineText(text, length);
    if (!message || !listener) return 0;
    bool cancel = false;
    listener->Cancel(backslashes ? BackslashSeparators(std::move(*message)) : *message, cancel);
    return cancel ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

// The outcome of one engine run: the engine's return code and its last message lines.
struct EngineRun {
  int32_t code = 0;
  std::string message;
};

// Makes an object the module's current one for the length of a run: the engine's callbacks reach
// it through the slot, which is cleared again however the run ends. The engines take one run at a
// time, so a run started while another is in progress (from an event handler) raises an error
// instead of re-entering the engine.
template <typename T>
class CurrentObject {
 public:
  CurrentObject(T*& slot, T& object, const std::string& source) : m_slot(slot) {
    if (m_slot) throw Error(kErrEngineBusy, source, "An engine run is already in progress");
    m_slot = &object;
  }
  ~CurrentObject() { m_slot = nullptr; }
  CurrentObject(const CurrentObject&) = delete;
  CurrentObject& operator=(const CurrentObject&) = delete;

 private:
  T*& m_slot;
};

}  // namespace corvane
