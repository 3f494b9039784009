#include "unzip/mUnzip.h"

#include "platform/Module.h"
#include "unzip/cUnzip.h"

namespace corvane {
namespace {

constexpr char kDllName[] = "cvunzip.dll";

// Listing rows go to the window thread in batches of this many, and at the end of the run.
constexpr size_t kRowBatch = 4096;

// An unzip run: the rows a listing has made and not yet handed to the window thread, touched by
// the worker only.
class UnzipRun : public ActiveRunOf<cUnzip> {
 public:
  using ActiveRunOf::ActiveRunOf;

  static UnzipRun* Current() { return dynamic_cast<UnzipRun*>(ActiveRun::Current()); }

  std::vector<ArchiveEntry> m_rows;
};

// Listing dates come with four-digit years; a two-digit one is read the way dates are typed.
int FullYear(unsigned year) {
  if (year >= 100) return static_cast<int>(year);
  return static_cast<int>(year < 30 ? 2000 + year : 1900 + year);
}

}  // namespace

// The engine's callbacks. None lets an exception reach the engine: a failure inside gives the
// callback's default answer. A friend of cUnzip, so that a listing can fill its catalogue.
struct UnzipCallbacks {
  static cUnzipEvents* Listener() {
    cUnzip* unzip = UnzipRun::Object();
    return unzip ? unzip->Listener() : nullptr;
  }

  static int CVUNZIP_CALL Print(char* text, unsigned long length) {
    return PrintCallback(Listener(), text, length);
  }

  static int CVUNZIP_CALL Replace(char* name) {
    int32_t response = IDM_REPLACE_NO;
    try {
      // A run asked to stop replaces nothing more, and asks nothing.
      if (runner::RunCancelled()) return IDM_REPLACE_NONE;
      if (cUnzipEvents* listener = Listener(); listener && name) {
        std::string file = BackslashSeparators(name);
        runner::OnWindowThread([&] {
          try {
            listener->OverWritePrompt(file, response);
          } catch (...) {
            response = IDM_REPLACE_NO;
          }
        });
      }
    } catch (...) {
      return IDM_REPLACE_NO;
    }
    return response;
  }

  // The engine's prompt is console text; the event says the same through its retry flag.
  static int CVUNZIP_CALL Password(char* buffer, int size, const char*, const char* name) {
    return PasswordCallback(Listener(), buffer, size, name);
  }

  static void CVUNZIP_CALL AppMessage(unsigned long long packed, unsigned long long size,
                                      unsigned ratio, unsigned month, unsigned day, unsigned year,
                                      unsigned hour, unsigned minute, char, char* name,
                                      char* method, unsigned crc, char flags) {
    try {
      cUnzip* unzip = UnzipRun::Object();
      if (!unzip || !name) return;
      ArchiveEntry entry;
      entry.storedName = name;
      std::string shown = BackslashSeparators(entry.storedName);
      size_t slash = entry.storedName.find('/') == std::string::npos ? std::string::npos
                                                                     : shown.find_last_of('\\');
      if (slash == std::string::npos) {
        entry.fileName = shown;
      } else {
        entry.folder = shown.substr(0, slash);
        entry.fileName = shown.substr(slash + 1);
      }
      if (entry.fileName.empty()) return;  // a folder entry
      entry.size = size;
      entry.packedSize = packed;
      entry.ratio = static_cast<int32_t>(ratio);
      entry.method = method ? method : "";
      entry.date = {FullYear(year),         static_cast<int>(month),  static_cast<int>(day),
                    static_cast<int>(hour), static_cast<int>(minute), 0};
      entry.crc = crc;
      entry.encrypted = (static_cast<unsigned char>(flags) & 0x40) != 0;
      entry.nameHasZero = (static_cast<unsigned char>(flags) & 0x80) != 0;
      UnzipRun* run = UnzipRun::Current();
      run->m_rows.push_back(std::move(entry));
      if (run->m_rows.size() >= kRowBatch) HandOverRows(*unzip, *run);
    } catch (...) {
    }
  }

  // The catalogue belongs to the window thread, which shows it: the rows are appended there.
  static void HandOverRows(cUnzip& unzip, UnzipRun& run) {
    if (run.m_rows.empty()) return;
    runner::PostToWindowThread([&unzip, rows = std::move(run.m_rows)]() mutable {
      unzip.m_entries.insert(unzip.m_entries.end(), std::make_move_iterator(rows.begin()),
                             std::make_move_iterator(rows.end()));
    });
    run.m_rows.clear();
  }

  static int CVUNZIP_CALL Progress(void* context, unsigned long long bytesDone,
                                   unsigned long long bytesTotal, unsigned long long entriesDone,
                                   unsigned long long entriesTotal) {
    return ProgressCallback(context, bytesDone, bytesTotal, entriesDone, entriesTotal);
  }

  static int CVUNZIP_CALL Service(const char* text, unsigned long length) {
    return ServiceCallback(Listener(), text, length, /*backslashes=*/true);
  }
};

namespace {

// What the progress window says the run does.
const char* Action(const DCL& dcl) {
  if (dcl.nvflag) return "Opening";
  return dcl.ntflag ? "Testing" : "Extracting";
}

}  // namespace

namespace mUnzip {
namespace {

// A name list as the engine reads it: the names, then one empty text after the last.
std::vector<char*> NameList(const std::vector<std::string>& names) {
  static char empty[] = "";
  std::vector<char*> list;
  list.reserve(names.size() + 1);
  for (const std::string& name : names) list.push_back(const_cast<char*>(name.c_str()));
  list.push_back(empty);
  return list;
}

}  // namespace

std::string ErrorSource() {
  return ExecutableTitle() + ".mUnzip";
}

EngineRun UnzipCall(cUnzip& unzip, DCL& dcl, const std::vector<std::string>& includes,
                    const std::vector<std::string>& excludes) {
  std::string source = ErrorSource();
  UnzipRun run(unzip, source);
  EngineLibrary library(kDllName, source);
  auto singleEntryUnzip = library.Proc<decltype(&Wiz_SingleEntryUnzip)>("Wiz_SingleEntryUnzip");
  auto setProgress = library.Proc<decltype(&Wiz_SetProgress)>("Wiz_SetProgress");
  auto setNameCodePage = library.Proc<decltype(&Wiz_SetNameCodePage)>("Wiz_SetNameCodePage");

  USERFUNCTION functions{};
  functions.print = &UnzipCallbacks::Print;
  functions.replace = &UnzipCallbacks::Replace;
  functions.password = &UnzipCallbacks::Password;
  functions.SendApplicationMessage = &UnzipCallbacks::AppMessage;
  functions.ServCallBk = &UnzipCallbacks::Service;

  std::vector<char*> includeList = NameList(includes);
  std::vector<char*> excludeList = NameList(excludes);
  EngineRun result;
  result.code = runner::RunOnWorker({Action(dcl), unzip.ZipFile()}, [&] {
    // The progress callback is set for one call, from the thread that makes it.
    setProgress(&UnzipCallbacks::Progress, nullptr);
    // Chosen for each call, so a listing and the runs after it read the names alike.
    if (!setNameCodePage(unzip.NameCodePage())) {
      throw Error(kErrNameCodePage, source,
                  "Code page " + std::to_string(unzip.NameCodePage()) +
                      " is not available on this system.");
    }
    int code =
        singleEntryUnzip(static_cast<int>(includes.size()), includeList.data(),
                         static_cast<int>(excludes.size()), excludeList.data(), &dcl, &functions);
    UnzipCallbacks::HandOverRows(unzip, run);
    return code;
  });
  result.message = run.m_messages.Text();
  return result;
}

void Version(cUnzip& unzip, UZPVER& version) {
  // The query lists nothing, but it loads the engine all the same: never in the middle of a run.
  UnzipRun run(unzip, ErrorSource());
  EngineLibrary library(kDllName, ErrorSource());
  library.Proc<decltype(&UzpVersion2)>("UzpVersion2")(&version);
}

std::string EntryPath(const std::string& name, bool useFolderNames, bool spaceToUnderscore) {
  // A pure function of the name: it needs no run of its own and may be asked during one.
  EngineLibrary library(kDllName, ErrorSource());
  auto entryPath = library.Proc<decltype(&Wiz_EntryPath)>("Wiz_EntryPath");
  std::string path(name.size() + 16, '\0');
  for (;;) {
    unsigned length = entryPath(name.c_str(), useFolderNames, spaceToUnderscore, path.data(),
                                static_cast<unsigned>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length + 1);
  }
}

}  // namespace mUnzip
}  // namespace corvane
