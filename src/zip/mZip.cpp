#include "zip/mZip.h"

#include <algorithm>

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

int CVZIP_CALL Progress(void* context, unsigned long long bytesDone, unsigned long long bytesTotal,
                        unsigned long long entriesDone, unsigned long long entriesTotal) {
  return ProgressCallback(context, bytesDone, bytesTotal, entriesDone, entriesTotal);
}

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A file name relative to no drive or root ("sub\\*.txt") lies under the base folder: the
// engine takes relative names from the current folder, which no command changes.
std::string UnderBase(const std::string& name, const std::string& base) {
  bool rooted = !name.empty() && (name[0] == '\\' || name[0] == '/');
  bool onDrive = name.size() >= 2 && name[1] == ':';
  if (rooted || onDrive || base.empty()) return name;
  char last = base.back();
  return last == '\\' || last == '/' ? base + name : base + "\\" + name;
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
  bool hasBase = basePath.find_first_not_of(' ') != std::string::npos;
  if (hasBase && !IsFolder(basePath)) throw Error(kErrPathNotFound, source, "Path not found");
  if (!hasBase) basePath.clear();

  EngineLibrary library(kDllName, source);
  auto zpInit = library.Proc<decltype(&ZpInit)>("ZpInit");
  auto zpSetOptions = library.Proc<decltype(&ZpSetOptions)>("ZpSetOptions");
  auto zpArchive = library.Proc<decltype(&ZpArchive)>("ZpArchive");
  auto zpSetProgress = library.Proc<decltype(&ZpSetProgress)>("ZpSetProgress");
  auto zpSetNameCodePage = library.Proc<decltype(&ZpSetNameCodePage)>("ZpSetNameCodePage");

  // The name list: the file names, one empty slot, one empty text, and at least the record's
  // 1024 slots in all. The engine reads exactly the first count slots. A Delete names entries,
  // not files: its names stay as they are.
  std::vector<std::string> files = fileSpecs;
  if (!options.fDeleteEntries) {
    for (std::string& file : files) file = UnderBase(file, basePath);
  }
  static char empty[] = "";
  std::vector<char*> names(std::max(files.size() + 2, size_t{ZPNAMES_SLOTS}), nullptr);
  for (size_t i = 0; i < files.size(); ++i) names[i] = files[i].data();
  names[files.size() + 1] = empty;

  EngineRun result;
  result.code =
      runner::RunOnWorker({options.fDeleteEntries ? "Deleting" : "Adding", zip.ZipFile()}, [&] {
        // The engine holds its three calls to one thread: all of them are made on the worker.
        ZIPUSERFUNCTIONS functions{&Print, &Password, &Comment, &Service};
        zpInit(&functions);
        options.szRootDir = basePath.data();
        zpSetOptions(&options);
        options.szRootDir = nullptr;
        zpSetProgress(&Progress, nullptr);
        // The names are read as the document listed them, so a listed name selects its entry.
        if (!zpSetNameCodePage(zip.NameCodePage())) {
          throw Error(kErrNameCodePage, source,
                      "Code page " + std::to_string(zip.NameCodePage()) +
                          " is not available on this system.");
        }
        return zpArchive(static_cast<int>(files.size()), zip.ZipFile().c_str(),
                         reinterpret_cast<const ZPNAMES*>(names.data()));
      });
  result.message = run.m_messages.Text();
  return result;
}

}  // namespace mZip
}  // namespace corvane
