// cvz: a command-line front end over the engines' C entry points, used to test and benchmark them
// against other ZIP tools.
#include "tools/cvz/cvz.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

namespace {

struct Command {
  const char* name;
  int (*run)(const CvzArgs& args);
};

constexpr Command kCommands[] = {
    {"list", CvzList}, {"test", CvzTest},     {"extract", CvzExtract},
    {"add", CvzAdd},   {"delete", CvzDelete},
};

constexpr char kHelp[] = R"(usage:
  cvz list ARCHIVE [--codepage N]
  cvz test ARCHIVE [-q] [-p PASSWORD] [--codepage N]
  cvz extract ARCHIVE [-d DIR] [-o|-n] [-j] [-a] [-C] [-p PASSWORD] [-q|-qq] [--codepage N]
              [-x NAME]... [NAME...]

list     one line per entry: size, packed size, ratio, date, time, CRC, method, name
test     reads every entry and checks its CRC (and AES authentication code); writes nothing
         (ntflag 1)
extract  writes the entries named (all when none) into DIR (default: the current folder)

Each option of extract sets one field of the engine's option record (DCL):
  -d DIR       lpszExtractDir = DIR
  -o           noflag = 1: overwrite existing files
  -n           noflag = 0: keep existing files (the default)
  -j           ndflag = 0: drop the folder part of names (default ndflag = 1)
  -a           naflag = 1: entries marked as text get CR LF line ends
  -C           C_flag = 1: NAME patterns match case-sensitively
  -q, -qq      fQuiet = 1 (warnings and errors only), fQuiet = 2 (errors only)
  -p PASSWORD  the password callback answers PASSWORD (without -p: no password, encrypted
               entries are skipped)
  -x NAME      an exclude name
  NAME         an include name: an entry's exact name, else a pattern with * ? [...]
PromptToOverwrite stays 0: cvz never asks.
--codepage N (Wiz_SetNameCodePage) reads names that are neither flagged UTF-8 nor valid UTF-8
in code page N (932, 936, 1251, 866, ...) instead of 437.

The exit code of list, test and extract is the unzip engine's return code (0 ok, 1 warning,
2/3 damaged, 9 not found or not a ZIP archive, 11 no match, 50 write failed, 81 unsupported,
82 bad password).

  cvz add ARCHIVE [-r] [-j] [-D] [-b BASE] [-0..-9] [-u|-f] [-l|-L] [-S]
          [-e -p PASSWORD [--aes 128|192|256]] [-q|-v] [--codepage N] NAME...
  cvz delete ARCHIVE [--codepage N] NAME...

add      adds files, folders and wildcard patterns (* ?) to ARCHIVE, creating it when missing;
         an entry of the same name is replaced in place
delete   removes the entries named: an exact name first, else a pattern; "dir/" also removes
         everything under it

Each option of add sets one field of the zip engine's option record (ZPOPT); without options
folder names and folder entries are stored and folders are not descended:
  -r           fRecurse = 2: descend into named folders
  -j           fJunkDir = 1: store file names without their folders
  -D           fNoDirEntries = 1: store no folder entries
  -b BASE      szRootDir = BASE, and BASE becomes the current folder: names are stored
               relative to it
  -0 .. -9     fLevel = '0'..'9' (-0 stores; default 6)
  -u           fUpdate = 1: replace entries only by newer files, add new files
  -f           fFreshen = 1: replace entries only by newer files, add nothing new
  -l           fLF_CRLF = 1: text files get CR LF line ends
  -L           fCRLF_LF = 1: text files get LF line ends
  -S           fSystem = 1: include hidden and system files
  -e           fEncrypt = 1: encrypt with the password of -p (traditional PKWARE)
  --aes BITS   with -e: AES with keys of BITS bits instead (ZpSetEncryption)
  -q, -v       fQuiet = 1 (errors and warnings only), fVerbose = 1 (a summary line)
--codepage N (ZpSetNameCodePage) reads the archive's names as list and extract do, so that a
name listed with --codepage N deletes or replaces its entry.
delete sets fDeleteEntries = 1. The exit code of add and delete is the zip engine's return code:
0 ok, 3 damaged archive, 4 out of memory, 5 no password, 10 temporary file, 11 not a ZIP archive,
12 nothing to do, 13 no archive, 14 write error, 15 cannot create, 16 bad option (or no AES on
this system), 18 a name not found or a file not read, 80 stopped.

Every command shows its progress on stderr when stderr is a terminal (one line: percent, bytes
and entries done of the total), except with -q or -qq. --progress follows the progress even
when nothing is drawn (output to a file, -q), so that what following it costs can be measured.

A command line cvz does not understand exits with 10.
)";

}  // namespace

std::string g_password;
bool g_forceProgress = false;

namespace {
bool g_progressDrawn = false;

// 1536 -> "1.5 KiB"
std::string Size(unsigned long long bytes) {
  static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
  double value = double(bytes);
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, kUnits[unit]);
  return text;
}
}  // namespace

bool ProgressWanted(bool quiet) {
  return g_forceProgress || (!quiet && ::isatty(STDERR_FILENO));
}

int DrawProgress(void* quiet, unsigned long long bytesDone, unsigned long long bytesTotal,
                 unsigned long long entriesDone, unsigned long long entriesTotal) {
  if (*static_cast<bool*>(quiet) || !::isatty(STDERR_FILENO)) return 0;
  const unsigned percent = bytesTotal     ? unsigned(bytesDone * 100.0 / double(bytesTotal))
                           : entriesTotal ? unsigned(entriesDone * 100 / entriesTotal)
                                          : 100;
  // Blanks at the end clear what a longer line before left.
  std::fprintf(stderr, "\r%3u%%  %s of %s  %llu of %llu entries   ", percent,
               Size(bytesDone).c_str(), Size(bytesTotal).c_str(), entriesDone, entriesTotal);
  std::fflush(stderr);
  g_progressDrawn = true;
  return 0;
}

void ClearProgress() {
  // The line is drawn again by the next report, below what stdout printed.
  static const bool shared = ::isatty(STDOUT_FILENO);
  if (!g_progressDrawn || !shared) return;
  std::fputs("\r\033[K", stderr);
  g_progressDrawn = false;
}

void EndProgress() {
  if (g_progressDrawn) std::fputc('\n', stderr);
  g_progressDrawn = false;
}

int Usage(const std::string& problem) {
  std::fprintf(stderr, "cvz: %s (see cvz --help)\n", problem.c_str());
  return kUsageError;
}

int PrintLine(char* text, unsigned long length) {
  ClearProgress();
  std::fwrite(text, 1, length, stdout);
  std::fputc('\n', stdout);
  return 0;
}

bool ParseCodePage(const std::string& value, unsigned* codePage) {
  char* end = nullptr;
  const unsigned long n = std::strtoul(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || n == 0 || n > 65535) {
    std::fprintf(stderr, "cvz: not a code page: %s\n", value.c_str());
    return false;
  }
  *codePage = unsigned(n);
  return true;
}

int AnswerPassword(char* buffer, int size, const char*, const char*) {
  if (g_password.empty() || size <= 1) return 1;
  const size_t n = std::min(g_password.size(), size_t(size - 1));
  std::memcpy(buffer, g_password.data(), n);
  buffer[n] = '\0';
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc >= 2) {
    for (const Command& command : kCommands) {
      if (!std::strcmp(argv[1], command.name)) return command.run(CvzArgs(argv + 2, argv + argc));
    }
  }
  std::fputs(kHelp, stderr);
  return kUsageError;
}
