// cvz add and cvz delete: the zip engine through its C entry points, with the defaults of a
// command-line zip (folder names and folder entries stored), which differ from the program's.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cvzip.h"
#include "tools/cvz/cvz.h"

namespace {

// The archive path as seen from the folder cvz started in, which -b changes.
std::string Absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char cwd[4096];
  return std::string(::getcwd(cwd, sizeof cwd) ? cwd : ".") + "/" + path;
}

// encryption: a ZP_ENCRYPTION_ value; codePage: 0 or the code page of --codepage.
int Run(ZPOPT& options, const std::string& archive, std::vector<std::string>& names, int encryption,
        unsigned codePage) {
  if (codePage != 0 && !ZpSetNameCodePage(codePage)) {
    return Usage("code page " + std::to_string(codePage) + " is not available");
  }
  ZIPUSERFUNCTIONS functions{PrintLine, AnswerPassword, nullptr, nullptr};
  ZpInit(&functions);
  ZpSetOptions(&options);
  ZpSetEncryption(encryption);
  // The engine reads exactly count slots, so any number of names fits.
  std::vector<char*> slots(std::max<size_t>(names.size(), ZPNAMES_SLOTS), nullptr);
  for (size_t i = 0; i < names.size(); ++i) slots[i] = names[i].data();
  bool quiet = options.fQuiet != 0;
  if (ProgressWanted(quiet)) ZpSetProgress(DrawProgress, &quiet);
  const int rc =
      ZpArchive(int(names.size()), archive.c_str(), reinterpret_cast<ZPNAMES*>(slots.data()));
  EndProgress();
  return rc;
}

}  // namespace

int CvzAdd(const CvzArgs& args) {
  ZPOPT options{};
  std::string archive, base;
  std::vector<std::string> names;
  int encryption = ZP_ENCRYPTION_TRADITIONAL;
  unsigned codePage = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() == 2 && a[0] == '-' && a[1] >= '0' && a[1] <= '9') {
      options.fLevel = a[1];
    } else if (a == "-r") {
      options.fRecurse = 2;
    } else if (a == "-j") {
      options.fJunkDir = 1;
    } else if (a == "-D") {
      options.fNoDirEntries = 1;
    } else if (a == "-u") {
      options.fUpdate = 1;
    } else if (a == "-f") {
      options.fFreshen = 1;
    } else if (a == "-l") {
      options.fLF_CRLF = 1;
    } else if (a == "-L") {
      options.fCRLF_LF = 1;
    } else if (a == "-S") {
      options.fSystem = 1;
    } else if (a == "-e") {
      options.fEncrypt = 1;
    } else if (a == "-q") {
      options.fQuiet = 1;
    } else if (a == "-v") {
      options.fVerbose = 1;
    } else if ((a == "-b" || a == "-p") && i + 1 < args.size()) {
      (a == "-b" ? base : g_password) = args[++i];
    } else if (a == "--aes" && i + 1 < args.size()) {
      const std::string bits = args[++i];
      encryption = bits == "128"   ? ZP_ENCRYPTION_AES128
                   : bits == "192" ? ZP_ENCRYPTION_AES192
                   : bits == "256" ? ZP_ENCRYPTION_AES256
                                   : -1;
      if (encryption < 0) return Usage("--aes takes 128, 192 or 256");
    } else if (a == "--codepage" && i + 1 < args.size()) {
      if (!ParseCodePage(args[++i], &codePage)) return kUsageError;
    } else if (a == "--progress") {
      g_forceProgress = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option " + a);
    } else if (archive.empty()) {
      archive = Absolute(a);
    } else {
      names.push_back(a);
    }
  }
  if (archive.empty()) return Usage("no archive named");
  if (options.fUpdate && options.fFreshen) return Usage("-u and -f exclude each other");
  if (options.fLF_CRLF && options.fCRLF_LF) return Usage("-l and -L exclude each other");
  if (encryption != ZP_ENCRYPTION_TRADITIONAL && !options.fEncrypt) return Usage("--aes needs -e");
  if (!base.empty()) {
    // As the program does: the base folder is also the folder names are relative to.
    base = Absolute(base);
    if (::chdir(base.c_str()) != 0) {
      std::fprintf(stderr, "cvz: base folder not found: %s\n", base.c_str());
      return ZE_OPEN;
    }
    options.szRootDir = base.data();
  }
  return Run(options, archive, names, encryption, codePage);
}

int CvzDelete(const CvzArgs& args) {
  if (args.empty()) return Usage("no archive named");
  ZPOPT options{};
  options.fDeleteEntries = 1;
  unsigned codePage = 0;
  std::vector<std::string> names;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--codepage" && i + 1 < args.size()) {
      if (!ParseCodePage(args[++i], &codePage)) return kUsageError;
    } else if (args[i] == "--progress") {
      g_forceProgress = true;
    } else {
      names.push_back(args[i]);
    }
  }
  return Run(options, args[0], names, ZP_ENCRYPTION_TRADITIONAL, codePage);
}
