// The reading subcommands of cvz: list, test, extract.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cvunzip.h"
#include "tools/cvz/cvz.h"

namespace {

void CVUNZIP_CALL ListEntry(unsigned long long compressedSize, unsigned long long size,
                            unsigned ratio, unsigned month, unsigned day, unsigned year,
                            unsigned hour, unsigned minute, char, char* name, char* method,
                            unsigned crc, char flags) {
  ClearProgress();
  std::printf("%12llu %12llu %4u%% %04u-%02u-%02u %02u:%02u %08x %-7s %s%s\n", size, compressedSize,
              ratio, year, month, day, hour, minute, crc, method, (flags & 0x40) ? "+" : "", name);
}

int Run(DCL& dcl, std::vector<std::string>& include, std::vector<std::string>& exclude,
        unsigned codePage) {
  if (codePage != 0 && !Wiz_SetNameCodePage(codePage)) {
    return Usage("code page " + std::to_string(codePage) + " is not available");
  }
  std::vector<char*> in, ex;
  for (auto& s : include) in.push_back(s.data());
  for (auto& s : exclude) ex.push_back(s.data());
  USERFUNCTION functions{};
  functions.print = PrintLine;
  functions.password = AnswerPassword;
  functions.SendApplicationMessage = ListEntry;
  bool quiet = dcl.fQuiet != 0;
  if (ProgressWanted(quiet)) Wiz_SetProgress(DrawProgress, &quiet);
  int rc =
      Wiz_SingleEntryUnzip(int(in.size()), in.data(), int(ex.size()), ex.data(), &dcl, &functions);
  EndProgress();
  std::fflush(stdout);
  return rc;
}

}  // namespace

int CvzList(const CvzArgs& args) {
  if (args.empty()) return Usage("list takes one archive");
  std::string archive = args[0];
  unsigned codePage = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--codepage" && i + 1 < args.size()) {
      if (!ParseCodePage(args[++i], &codePage)) return kUsageError;
    } else if (args[i] == "--progress") {
      g_forceProgress = true;
    } else {
      return Usage("list takes one archive");
    }
  }
  DCL dcl{};
  dcl.nvflag = 1;
  dcl.ndflag = 1;
  dcl.lpszZipFN = archive.data();
  std::vector<std::string> none;
  return Run(dcl, none, none, codePage);
}

int CvzTest(const CvzArgs& args) {
  if (args.empty()) return Usage("test takes an archive");
  std::string archive = args[0];
  DCL dcl{};
  dcl.ntflag = 1;
  dcl.ndflag = 1;
  dcl.lpszZipFN = archive.data();
  unsigned codePage = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "-q") {
      dcl.fQuiet = 1;
    } else if (args[i] == "-p" && i + 1 < args.size()) {
      g_password = args[++i];
    } else if (args[i] == "--codepage" && i + 1 < args.size()) {
      if (!ParseCodePage(args[++i], &codePage)) return kUsageError;
    } else if (args[i] == "--progress") {
      g_forceProgress = true;
    } else {
      return Usage("unknown option " + args[i]);
    }
  }
  std::vector<std::string> none;
  return Run(dcl, none, none, codePage);
}

int CvzExtract(const CvzArgs& args) {
  if (args.empty()) return Usage("extract takes an archive");
  std::string archive = args[0];
  std::string dir;
  DCL dcl{};
  dcl.ndflag = 1;
  std::vector<std::string> include, exclude;
  unsigned codePage = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == "-d" && hasValue) {
      dir = args[++i];
    } else if (a == "-o") {
      dcl.noflag = 1;
    } else if (a == "-n") {
      dcl.noflag = 0;
    } else if (a == "-j") {
      dcl.ndflag = 0;
    } else if (a == "-a") {
      dcl.naflag = 1;
    } else if (a == "-C") {
      dcl.C_flag = 1;
    } else if (a == "-q") {
      dcl.fQuiet = 1;
    } else if (a == "-qq") {
      dcl.fQuiet = 2;
    } else if (a == "-p" && hasValue) {
      g_password = args[++i];
    } else if (a == "-x" && hasValue) {
      exclude.push_back(args[++i]);
    } else if (a == "--codepage" && hasValue) {
      if (!ParseCodePage(args[++i], &codePage)) return kUsageError;
    } else if (a == "--progress") {
      g_forceProgress = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option " + a);
    } else {
      include.push_back(a);
    }
  }
  dcl.lpszZipFN = archive.data();
  dcl.lpszExtractDir = dir.data();
  return Run(dcl, include, exclude, codePage);
}
