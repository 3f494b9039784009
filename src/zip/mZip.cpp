#include "zip/mZip.h"

#include <algorithm>
#include <cwctype>

#include "platform/Module.h"
#include "platform/Text.h"
#include "zip/cZip.h"

namespace corvane {
namespace {

constexpr char kDllName[] = "cvzip.dll";

using ZipRun = ActiveRunOf<cZip>;

cZipEvents* Listener() {
  cZip* zip = ZipRun::Object();
  return zip ? zip->Listener() : nullptr;
}

int CVZIP_CALL Print(char* text, unsigned long length) {
  return PrintCallback(Listener(), text, length);
}

int CVZIP_CALL Password(char* buffer, int size, const char*, const char* name) {
  return PasswordCallback(Listener(), buffer, size, name);
}

char* CVZIP_CALL Comment(char* buffer) {
  return buffer;
}

// The zip engine's service text is the entry's stored name, passed on as it is.
int CVZIP_CALL Service(const char* text, unsigned long length) {
  return ServiceCallback(Listener(), text, length, /*backslashes=*/false);
}

// A system call that fills a buffer of a given length with a path and answers the length it
// needs, called until the buffer is long enough: no path is cut at MAX_PATH.
template <typename Fill>
std::wstring PathFrom(Fill fill) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = fill(static_cast<DWORD>(path.size()), path.data());
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length + 1);  // the length asked for, and room for a path that grew meanwhile
  }
}

// Makes folder the current folder of its drive, as changing folders at a command prompt does: the
// process's current drive stays. Windows keeps the other drives' current folders in the
// environment variables "=X:".
void ChangeFolderOfItsDrive(const std::string& folder, const std::string& source) {
  std::wstring wide = Wide(folder);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    throw Error(kErrPathNotFound, source, "Path not found");
  }
  std::wstring current =
      PathFrom([](DWORD size, wchar_t* buffer) { return GetCurrentDirectoryW(size, buffer); });
  bool otherDrive = wide.size() >= 2 && wide[1] == L':' &&
                    (current.empty() || std::towupper(wide[0]) != std::towupper(current[0]));
  if (otherDrive) {
    std::wstring full = PathFrom([&](DWORD size, wchar_t* buffer) {
      return GetFullPathNameW(wide.c_str(), size, buffer, /*lpFilePart=*/nullptr);
    });
    if (full.empty()) throw Error(kErrPathNotFound, source, "Path not found");
    std::wstring variable = {L'=', static_cast<wchar_t>(std::towupper(wide[0])), L':'};
    SetEnvironmentVariableW(variable.c_str(), full.c_str());
  } else if (!SetCurrentDirectoryW(wide.c_str())) {
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
  ZipRun run(zip, source);
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

  EngineRun result;
  result.code = zpArchive(static_cast<int>(fileSpecs.size()), zip.ZipFile().c_str(),
                          reinterpret_cast<const ZPNAMES*>(names.data()));
  result.message = run.m_messages.Text();
  return result;
}

}  // namespace mZip
}  // namespace corvane
