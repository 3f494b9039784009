#include "enginecall/EngineCall.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "platform/Module.h"
#include "platform/Text.h"

namespace corvane {
namespace {

// Set and cleared by the window thread, around the whole life of the run's worker.
ActiveRun* g_pActiveRun = nullptr;

std::string_view Trimmed(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The engines pass message lengths as unsigned numbers; only this window is taken as text.
bool InMessageWindow(unsigned long length) {
  return length > 1 && length < 32000;
}

}  // namespace

EngineLibrary::EngineLibrary(std::string_view dllName, std::string source)
    : m_sDllName(dllName), m_sSource(std::move(source)) {
  std::string path = ExecutableFolder() + m_sDllName;
  // By full path, and what it imports only from its own folder and System32: a copy of a system
  // DLL planted in the current folder or on PATH is never loaded.
  m_module.Reset(LoadLibraryExW(Wide(path).c_str(), /*hFile=*/nullptr,
                                LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!m_module) throw SystemError(m_sSource, path);
}

FARPROC EngineLibrary::Address(const char* name) const {
  FARPROC address = GetProcAddress(m_module.Get(), name);
  if (!address) throw SystemError(m_sSource, m_sDllName + " " + name);
  return address;
}

std::optional<std::string> EngineText(const char* text, unsigned long length) {
  if (!text || !InMessageWindow(length)) return std::nullopt;
  return std::string(text, strnlen(text, length));
}

std::string BackslashSeparators(std::string text) {
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

int AnswerPassword(char* buffer, int size, bool& refused,
                   const std::function<void(std::string& password, bool& cancel)>& ask) {
  if (refused) return 1;
  std::string answer;
  bool cancel = false;
  ask(answer, cancel);
  std::string_view password = Trimmed(answer);
  if (password.empty() || cancel) {
    refused = true;
    return 1;
  }
  if (!buffer || size < 1) return 1;
  // 254 bytes is the most the engines' password buffers were ever meant to hold.
  size_t length = std::min({password.size(), size_t{254}, static_cast<size_t>(size) - 1});
  std::memcpy(buffer, password.data(), length);
  buffer[length] = '\0';
  return 0;
}

void MessageLog::Add(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (Trimmed(line).empty()) return;
  if (m_lines.size() == kMaxLines) m_lines.pop_front();
  m_lines.emplace_back(line);
}

std::string MessageLog::Text() const {
  std::string text;
  for (const std::string& line : m_lines) {
    if (!text.empty()) text += "\r\n";
    text += line;
  }
  return text;
}

ActiveRun::ActiveRun(const std::string& source) {
  if (g_pActiveRun) throw Error(kErrEngineBusy, source, "An engine run is already in progress");
  g_pActiveRun = this;
}

ActiveRun::~ActiveRun() {
  g_pActiveRun = nullptr;
}

ActiveRun* ActiveRun::Current() {
  return g_pActiveRun;
}

int ProgressCallback(void*, unsigned long long bytesDone, unsigned long long bytesTotal,
                     unsigned long long entriesDone, unsigned long long entriesTotal) {
  return runner::ReportProgress(bytesDone, bytesTotal, entriesDone, entriesTotal);
}

}  // namespace corvane
