// The C entry points of the zip engine, and where it picks its return code: they keep the
// callbacks and options between calls, turn the option record into a run's options, and
// ReturnCode turns what the run met into the published ZE_ code. No exception leaves them.
#include "cvzip.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/text.h"
#include "zip/run.h"

namespace cv {
namespace {

ZIPUSERFUNCTIONS g_functions{};
ZPOPT g_options{};
// The engine's copies of the option texts, which g_options points into.
std::string g_date, g_rootDir, g_tempDir;
// What ZpSetEncryption and ZpSetNameCodePage chose for the next ZpArchive call only.
int g_nextEncryption = ZP_ENCRYPTION_TRADITIONAL;
unsigned g_nextCodePage = 0;
ZPPROGRESS g_nextProgress = nullptr;
void* g_nextProgressContext = nullptr;

std::string Text(const char* s) {
  return s ? std::string(s) : std::string();
}

bool Blank(const std::string& s) {
  return s.find_first_not_of(" \t") == std::string::npos;
}

// Unsupported fields are refused rather than ignored, so a caller never believes it got a
// behaviour it did not get.
const char* UnsupportedOption(const ZPOPT& o) {
  if (!Blank(Text(o.Date))) return "selecting files by date";
  if (o.fExcludeDate || o.fIncludeDate) return "selecting files by date";
  if (o.fSuffix || o.fExtra || o.fForce || o.fMove || o.fJunkSFX || o.fLatestTime || o.fComment ||
      o.fOffsets || o.fPrivilege || o.fEncryption || o.fRepair) {
    return "a reserved option";
  }
  if (o.fLevel != 0 && (o.fLevel < '0' || o.fLevel > '9')) return "a compression level";
  return nullptr;
}

ZipOptions RunOptions(const ZPOPT& o) {
  ZipOptions r;
  const std::string root = Text(o.szRootDir);
  if (!Blank(root)) r.rootDir = AnsiToUtf8(root);
  r.deleteEntries = o.fDeleteEntries != 0;
  r.recurse = o.fRecurse != 0;
  r.junkDirs = o.fJunkDir != 0;
  r.dirEntries = o.fNoDirEntries == 0;
  r.includeHiddenSystem = o.fSystem != 0;
  r.update = o.fUpdate != 0;
  r.freshen = o.fFreshen != 0;
  r.encrypt = o.fEncrypt != 0;
  r.verbose = o.fVerbose != 0;
  r.quiet = o.fQuiet != 0;
  r.lineEnds = o.fCRLF_LF ? LineEnds::CrLfToLf : o.fLF_CRLF ? LineEnds::LfToCrLf : LineEnds::Keep;
  r.level = o.fLevel == 0 ? 6 : o.fLevel - '0';
  return r;
}

void Print(const std::string& utf8) {
  if (!g_functions.print) return;
  std::string line = Utf8ToAnsi(utf8);
  g_functions.print(line.data(), static_cast<unsigned long>(line.size()));
}

// The kind of failure decides the code where it is unambiguous, else the step the run ended in.
int ReturnCode(const ZipOutcome& o) {
  switch (o.status.kind()) {
    case StatusKind::kOk:
      return o.warnings > 0 ? ZE_OPEN : ZE_OK;
    case StatusKind::kStopped:
      return ZE_ABORTED;
    case StatusKind::kDiskFull:
      return ZE_WRITE;
    case StatusKind::kOutOfMemory:
      return ZE_MEM;
    case StatusKind::kNothingToDo:
      return ZE_NONE;
    case StatusKind::kBadPassword:
      return ZE_LOGIC;
    case StatusKind::kBadOption:
    case StatusKind::kUnsupported:
      return ZE_PARMS;
    case StatusKind::kBadArchive:
    case StatusKind::kBadEntry:
      return ZE_FORM;
    case StatusKind::kNotZip:
      return ZE_READ;
    default:
      break;
  }
  switch (o.step) {
    case ZipStep::kStart:
      return ZE_NAME;
    case ZipStep::kReadArchive:
      return ZE_READ;
    case ZipStep::kSelect:
      return ZE_OPEN;
    case ZipStep::kCreate:
      return o.archiveExisted ? ZE_TEMP : ZE_CREAT;
    case ZipStep::kWrite:
      return ZE_WRITE;
    case ZipStep::kCommit:
      return ZE_TEMP;
  }
  return ZE_LOGIC;
}

int Archive(int count, const char* zipFile, const ZPNAMES* names) {
  ZipOptions options = RunOptions(g_options);
  if (g_nextEncryption != ZP_ENCRYPTION_TRADITIONAL) {
    options.aes = AesStrength(g_nextEncryption);
  }
  options.nameCodePage = g_nextCodePage;
  const ZPPROGRESS progress = g_nextProgress;
  void* const progressContext = g_nextProgressContext;
  g_nextEncryption = ZP_ENCRYPTION_TRADITIONAL;
  g_nextCodePage = 0;
  g_nextProgress = nullptr;
  g_nextProgressContext = nullptr;
  if (const char* what = UnsupportedOption(g_options)) {
    Print(std::string("zip error: ") + what + " is not supported");
    return ReturnCode({{StatusKind::kBadOption, what}});
  }
  std::vector<std::string> list;
  for (int i = 0; i < count && names; ++i) {
    if (names->szName[i] && *names->szName[i]) list.push_back(AnsiToUtf8(names->szName[i]));
  }
  ZipCallbacks callbacks;
  callbacks.print = Print;
  callbacks.password = [](const std::string& entryName, std::string* password) {
    if (!g_functions.password) return false;
    char buffer[256] = "";
    const std::string name = Utf8ToAnsi(entryName);
    if (g_functions.password(buffer, int(sizeof buffer), "Enter password: ", name.c_str()) != 0) {
      return false;
    }
    buffer[sizeof buffer - 1] = '\0';
    // The password's bytes are the key, in whatever code page the caller typed them.
    *password = buffer;
    return true;
  };
  callbacks.stop = [](const std::string& entryName) {
    if (!g_functions.service) return false;
    const std::string name = Utf8ToAnsi(entryName);
    return g_functions.service(name.c_str(), static_cast<unsigned long>(name.size() + 1)) == 1;
  };
  if (progress) {
    callbacks.progress = [progress, progressContext](const ProgressCounts& c) {
      return progress(progressContext, c.bytesDone, c.bytesTotal, c.entriesDone, c.entriesTotal) !=
             0;
    };
  }
  return ReturnCode(RunZip(options, AnsiToUtf8(Text(zipFile)), list, callbacks));
}

}  // namespace
}  // namespace cv

extern "C" {

CVZIP_API int CVZIP_CALL ZpInit(const ZIPUSERFUNCTIONS* functions) {
  try {
    cv::g_functions = functions ? *functions : ZIPUSERFUNCTIONS{};
    return 1;
  } catch (...) {
    return 0;
  }
}

CVZIP_API int CVZIP_CALL ZpSetOptions(const ZPOPT* options) {
  try {
    cv::g_options = options ? *options : ZPOPT{};
    cv::g_date = cv::Text(cv::g_options.Date);
    cv::g_rootDir = cv::Text(cv::g_options.szRootDir);
    cv::g_tempDir = cv::Text(cv::g_options.szTempDir);
    cv::g_options.Date = cv::g_date.data();
    cv::g_options.szRootDir = cv::g_rootDir.data();
    cv::g_options.szTempDir = cv::g_tempDir.data();
    return 1;
  } catch (...) {
    return 0;
  }
}

CVZIP_API int CVZIP_CALL ZpSetEncryption(int method) {
  if (method < ZP_ENCRYPTION_TRADITIONAL || method > ZP_ENCRYPTION_AES256) return 0;
  cv::g_nextEncryption = method;
  return 1;
}

CVZIP_API int CVZIP_CALL ZpSetNameCodePage(unsigned codePage) {
  try {
    cv::CodePage probe;
    if (codePage != 0 && !probe.Open(codePage)) return 0;
    cv::g_nextCodePage = codePage;
    return 1;
  } catch (...) {
    return 0;
  }
}

CVZIP_API int CVZIP_CALL ZpSetProgress(ZPPROGRESS progress, void* context) {
  cv::g_nextProgress = progress;
  cv::g_nextProgressContext = progress ? context : nullptr;
  return 1;
}

CVZIP_API ZPOPT CVZIP_CALL ZpGetOptions(void) {
  try {
    return cv::g_options;
  } catch (...) {
    return ZPOPT{};
  }
}

CVZIP_API int CVZIP_CALL ZpArchive(int count, const char* zipFile, const ZPNAMES* names) {
  try {
    return cv::Archive(count, zipFile, names);
  } catch (const std::bad_alloc&) {
    return ZE_MEM;
  } catch (...) {
    return ZE_LOGIC;
  }
}

}  // extern "C"
