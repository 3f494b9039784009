// The C entry points of the unzip engine, and where it picks its return code: ReturnCode turns
// what a run met into the published PK_/IZ_ code. No exception leaves them (function try blocks
// where the body is short).
#include "cvunzip.h"

#include <zlib.h>
// zlib.h defines zlib_version as a macro, which would rename the record field.
#undef zlib_version

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "core/names.h"
#include "core/safe_path.h"
#include "platform/code_page.h"
#include "platform/path.h"
#include "unzip/run.h"

namespace {

constexpr unsigned char kVersion[3] = {1, 0, 0};
// The listing-callback and DLL interfaces, versioned on their own.
constexpr unsigned char kInterfaceVersion[3] = {1, 0, 0};
constexpr char kReleaseDate[] = "Dec 06 2026";

void SetVersion(_version_type& v, const unsigned char (&value)[3]) {
  v.major = value[0];
  v.minor = value[1];
  v.patchlevel = value[2];
  v.not_used = 0;
}

void CopyText(char* field, size_t size, const char* text) {
  std::memset(field, 0, size);
  std::strncpy(field, text, size - 1);
}

// The code page Wiz_SetNameCodePage chose for the next run; 0: none.
unsigned g_nextCodePage = 0;
// The progress callback Wiz_SetProgress set for the next run, and its context.
DLLPROGRESS g_nextProgress = nullptr;
void* g_nextProgressContext = nullptr;

cv::ProgressMeter::Callback ProgressOf(DLLPROGRESS progress, void* context) {
  if (!progress) return {};
  return [progress, context](const cv::ProgressCounts& c) {
    return progress(context, c.bytesDone, c.bytesTotal, c.entriesDone, c.entriesTotal) != 0;
  };
}

std::vector<std::string> NameList(int count, char** names) {
  std::vector<std::string> out;
  for (int i = 0; names && i < count; ++i) {
    if (names[i] && names[i][0]) out.emplace_back(names[i]);
  }
  return out;
}

// The worst of what the run met decides the code.
int ReturnCode(const cv::UnzipOutcome& o) {
  using cv::StatusKind;
  if (!o.fatal.ok()) {
    switch (o.fatal.kind()) {
      case StatusKind::kBadOption:
        return PK_PARAM;
      case StatusKind::kBadArchive:
        return PK_BADERR;
      case StatusKind::kOutOfMemory:
        return PK_MEM;
      default:
        return PK_NOZIP;
    }
  }
  if (o.stopped) return IZ_CTRLC;
  if (o.outOfMemory) return PK_MEM;
  if (o.diskFull || o.writeErrors) return PK_DISK;
  if (o.archiveErrors) return PK_BADERR;
  if (o.entryErrors) return PK_ERR;
  if (o.encryptedSeen > 0 && o.badPasswords == o.encryptedSeen) return IZ_BADPWD;
  if (o.unsupported) return IZ_UNSUP;
  if (o.unmatched) return PK_FIND;
  if (o.badPasswords > 0 || o.warnings) return PK_WARN;
  return PK_OK;
}

}  // namespace

extern "C" {

CVUNZIP_API int CVUNZIP_CALL Wiz_SingleEntryUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv,
                                                  LPDCL lpDCL, LPUSERFUNCTION lpUserFunc) {
  const unsigned codePage = g_nextCodePage;
  const DLLPROGRESS progress = g_nextProgress;
  void* const progressContext = g_nextProgressContext;
  g_nextCodePage = 0;
  g_nextProgress = nullptr;
  g_nextProgressContext = nullptr;
  if (!lpDCL) return PK_PARAM;
  try {
    return ReturnCode(cv::RunUnzip(*lpDCL, lpUserFunc, NameList(ifnc, ifnv), NameList(xfnc, xfnv),
                                   codePage, ProgressOf(progress, progressContext)));
  } catch (const std::bad_alloc&) {
    return PK_MEM;
  } catch (...) {
    return PK_BADERR;
  }
}

CVUNZIP_API int CVUNZIP_CALL Wiz_SetNameCodePage(unsigned codePage) try {
  cv::CodePage probe;
  if (codePage != 0 && !probe.Open(codePage)) return 0;
  g_nextCodePage = codePage;
  return 1;
} catch (...) {
  return 0;
}

CVUNZIP_API int CVUNZIP_CALL Wiz_SetProgress(DLLPROGRESS progress, void* context) {
  g_nextProgress = progress;
  g_nextProgressContext = progress ? context : nullptr;
  return 1;
}

CVUNZIP_API void CVUNZIP_CALL UzpVersion2(LPUZPVER version) try {
  if (!version || version->structlen < sizeof(UZPVER)) return;
  version->structlen = sizeof(UZPVER);
  version->flag = 2;  // a release, built with zlib
  CopyText(version->betalevel, sizeof version->betalevel, "");
  CopyText(version->date, sizeof version->date, kReleaseDate);
  CopyText(version->zlib_version, sizeof version->zlib_version, zlibVersion());
  SetVersion(version->unzip, kVersion);
  SetVersion(version->zipinfo, kInterfaceVersion);
  SetVersion(version->windll, kInterfaceVersion);
  SetVersion(version->dllapimin, kVersion);
} catch (...) {
}

CVUNZIP_API unsigned CVUNZIP_CALL Wiz_EntryPath(const char* name, int ndflag, int SpaceToUnderscore,
                                                char* buffer, unsigned size) try {
  if (!name || cv::IsFolderName(name)) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
  }
  std::string path =
      cv::JoinPath("", cv::SafeRelativePath(name, ndflag != 0, SpaceToUnderscore != 0));
  if (buffer && size > 0) {
    size_t n = std::min<size_t>(path.size(), size - 1);
    std::memcpy(buffer, path.data(), n);
    buffer[n] = '\0';
  }
  return unsigned(path.size());
} catch (...) {
  if (buffer && size > 0) buffer[0] = '\0';
  return 0;
}

}  // extern "C"
