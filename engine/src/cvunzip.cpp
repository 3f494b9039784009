// The C entry points of the unzip engine.
#include "cvunzip.h"

#include <zlib.h>
// zlib.h defines zlib_version as a macro, which would rename the record field.
#undef zlib_version

#include <algorithm>
#include <cstring>
#include <string>

#include "file.h"
#include "names.h"
#include "unzip_run.h"

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
}  // namespace

extern "C" {

CVUNZIP_API int CVUNZIP_CALL Wiz_SingleEntryUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv,
                                                  LPDCL lpDCL, LPUSERFUNCTION lpUserFunc) {
  if (!lpDCL) return PK_PARAM;
  return cv::RunUnzip(ifnc, ifnv, xfnc, xfnv, *lpDCL, lpUserFunc);
}

CVUNZIP_API void CVUNZIP_CALL UzpVersion2(LPUZPVER version) {
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
}

CVUNZIP_API unsigned CVUNZIP_CALL Wiz_EntryPath(const char* name, int ndflag, int SpaceToUnderscore,
                                                char* buffer, unsigned size) {
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
}

}  // extern "C"
