#include "unzip/cUnzip.h"

#include <algorithm>
#include <cstring>

#include "platform/Module.h"
#include "unzip/mUnzip.h"

namespace corvane {

cUnzip::cUnzip() = default;

void cUnzip::ZipFile(const std::string& sFileName) {
  m_sZipFile = sFileName;
  m_entries.clear();
}

const ArchiveEntry& cUnzip::Entry(int32_t lIndex) const {
  if (lIndex < 1 || lIndex > FileCount()) {
    throw Error(kErrSubscriptOutOfRange, ExecutableTitle() + ".cUnzip", kSubscriptOutOfRange);
  }
  return m_entries[static_cast<size_t>(lIndex) - 1];
}

ArchiveEntry& cUnzip::Entry(int32_t lIndex) {
  return const_cast<ArchiveEntry&>(static_cast<const cUnzip&>(*this).Entry(lIndex));
}

std::string cUnzip::FileTargetPath(int32_t lIndex) const {
  return mUnzip::EntryPath(Entry(lIndex).storedName, UseFolderNames(), SpaceToUnderScore());
}

void cUnzip::Run(const std::vector<std::string>& includes, char* extractDir) {
  RecordRun(m_lLastResult, m_sLastMessage, [&] {
    // The record points into these strings only for the length of the call.
    m_tDCL.lpszZipFN = m_sZipFile.data();
    m_tDCL.lpszExtractDir = extractDir;
    struct Detach {
      DCL& dcl;
      ~Detach() { dcl.lpszZipFN = dcl.lpszExtractDir = nullptr; }
    } detach{m_tDCL};
    return mUnzip::UnzipCall(*this, m_tDCL, includes, {});
  });
}

int32_t cUnzip::Directory() {
  // The listing writes nothing, so it gets no target folder.
  static char noFolder[] = "";
  m_tDCL.nvflag = 1;
  Run({}, noFolder);
  return 0;
}

bool cUnzip::Unzip() {
  if (m_sZipFile.empty()) return false;
  std::vector<std::string> includes;
  for (const ArchiveEntry& entry : m_entries) {
    if (entry.selected) includes.push_back(entry.storedName);
  }
  // The engine takes an empty list as every entry.
  if (includes.size() == m_entries.size()) includes.clear();
  m_tDCL.nvflag = 0;
  Run(includes, m_sFolder.data());
  return m_lLastResult != 0;
}

void cUnzip::GetVersion(int32_t& lMajor, int32_t& lMinor, int32_t& lRevision, DateTime&,
                        std::string& sExtraInfo) {
  UZPVER version{};
  version.structlen = 64;
  auto preset = [](char* field, size_t size) {
    std::memset(field, ' ', size - 1);
    field[size - 1] = '\0';
  };
  preset(version.betalevel, sizeof version.betalevel);
  preset(version.date, sizeof version.date);
  preset(version.zlib_version, sizeof version.zlib_version);
  mUnzip::Version(*this, version);
  lMajor = version.dllapimin.major;
  lMinor = version.dllapimin.minor;
  lRevision = version.dllapimin.patchlevel;
  sExtraInfo.assign(version.betalevel, strnlen(version.betalevel, sizeof version.betalevel));
  sExtraInfo.resize(std::max<size_t>(sExtraInfo.size(), 10), ' ');
}

}  // namespace corvane
