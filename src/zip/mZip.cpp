#include "zip/mZip.h"

#include <algorithm>
#include <cctype>

#include "zip/cZip.h"

namespace corvane {
namespace {

constexpr char kDllName[] = "cvzip.dll";

// The run in progress: its builder, whether a password was refused, its message lines.
cZip* g_pCurrent = nullptr;
bool g_bPasswordRefused = false;
MessageLog g_messages;

cZipEvents* Listener() {
  return g_pCurrent ? g_pCurrent->Listener() : nullptr;
}

int CVZIP_CALL Print(char* text, unsigned long length) {
  return PrintCallback(Listener(), g_messages, text, length);
}

int CVZIP_CALL Password(char* buffer, int size, const char*, const char*) {
  return PasswordCallback(Listener(), g_bPasswordRefused, buffer, size);
}

char* CVZIP_CALL Comment(char* buffer) {
  return buffer;
}

// The zip engine's service text is the entry's stored name, passed on as it is.
int CVZIP_CALL Service(const char* text, unsigned long length) {
  return ServiceCallback(Listener(), text, length, /*backslashes=*/false);
}

// Makes folder the current folder of its drive, as changing folders at a command prompt does: the
// process's current drive stays. Windows keeps the other drives' current folders in the
// environment variables "=X:".
void ChangeFolderOfItsDrive(const std::string& folder, const std::string& source) {
  DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    throw Error(kErrPathNotFound, source, "Path not found");
  }
  char current[MAX_PATH + 1] = {};
  GetCurrentDirectoryA(sizeof current, current);
  bool otherDrive = folder.size() >= 2 && folder[1] == ':' &&
                    std::toupper(static_cast<unsigned char>(folder[0])) !=
                        std::toupper(static_cast<unsigned char>(current[0]));
  if (otherDrive) {
    std::string full(MAX_PATH, '\0');
    DWORD length = GetFullPathNameA(folder.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                    /*lpFilePart=*/nullptr);
    if (length == 0 || length >= full.size())
      throw Error(kErrPathNotFound, source, "Path not found");
    full.resize(length);
    std::string variable = "=";
    variable += static_cast<char>(std::toupper(static_cast<unsigned char>(folder[0])));
    variable += ':';
    SetEnvironmentVariableA(variable.c_str(), full.c_str());
  } else if (!SetCurrentDirectoryA(folder.c_str())) {
    throw Error(kErrPathNotFound, source, "Path not found");
  }
}

}  // namespace

namespace mZip {

std::string ErrorSource() {
  return ExecutableTitle() + ".mZip";
}

EngineRun ZipCall(cZip& zip, ZPOPT& options, const std::vector<std::string>& fileSpecs) {
  std::string source = ErrorSource();
  CurrentObject current(g_pCurrent, zip, source);
  g_bPasswordRefused = false;
  std::string basePath = zip.BasePath();
  if (basePath.find_first_not_of(' ') != std::string::npos) {
    ChangeFolderOfItsDrive(basePath, source);
  }

  EngineLibrary library(kDllName, source);
  auto zpInit = library.Proc<decltype(&ZpInit)>("ZpInit");
  auto zpSetOptions = library.Proc<decltype(&ZpSetOptions)>("ZpSetOptions");
  auto zpArchive = library.Proc<decltype(&ZpArchive)>("ZpArchive");

  ZIPUSERFUNCTIONS functions{&Print, &Password, &Comment, &Service};
  zpInit(&functions);
  options.szRootDir = basePath.data();
  zpSetOptions(&options);
  options.szRootDir = nullptr;

  // The name list: the specifications, one empty slot, one empty text, and at least the record's
  // 1024 slots in all. The engine reads exactly the first count slots.
  static char empty[] = "";
  std::vector<char*> names(std::max(fileSpecs.size() + 2, size_t{ZPNAMES_SLOTS}), nullptr);
  for (size_t i = 0; i < fileSpecs.size(); ++i) names[i] = const_cast<char*>(fileSpecs[i].c_str());
  names[fileSpecs.size() + 1] = empty;

  g_messages.Clear();
  EngineRun run;
  run.code = zpArchive(static_cast<int>(fileSpecs.size()), zip.ZipFile().c_str(),
                       reinterpret_cast<const ZPNAMES*>(names.data()));
  run.message = g_messages.Text();
  return run;
}

}  // namespace mZip
}  // namespace corvane
