#include "zip/cZip.h"

#include "enginecall/EngineCall.h"
#include "platform/Module.h"
#include "zip/mZip.h"

namespace corvane {

cZip::cZip() {
  // A new builder stores neither folder entries nor folder names and does not recurse.
  StoreDirectories(false);
  StoreFolderNames(false);
  RecurseSubDirs(false);
}

int32_t cZip::MessageLevel() const {
  if (m_tZPOPT.fVerbose) return 0;
  return m_tZPOPT.fQuiet ? 1 : 2;
}

void cZip::MessageLevel(int32_t eLevel) {
  if (eLevel < 0 || eLevel > 2) return;
  m_tZPOPT.fVerbose = eLevel == 0;
  m_tZPOPT.fQuiet = eLevel == 1;
}

int32_t cZip::AddFileSpec(const std::string& sSpec) {
  m_sFileSpecs.push_back(sSpec);
  return 0;
}

const std::string& cZip::FileSpec(int32_t nIndex) const {
  if (nIndex < 1 || nIndex > FileSpecCount()) {
    throw Error(kErrSubscriptOutOfRange, ExecutableTitle() + ".cZip", kSubscriptOutOfRange);
  }
  return m_sFileSpecs[static_cast<size_t>(nIndex) - 1];
}

void cZip::Run() {
  RecordRun(m_lLastResult, m_sLastMessage,
            [&] { return mZip::ZipCall(*this, m_tZPOPT, m_sFileSpecs); });
}

void cZip::Zip() {
  Run();
}

void cZip::Delete() {
  m_tZPOPT.fDeleteEntries = 1;
  try {
    Run();
  } catch (...) {
    m_tZPOPT.fDeleteEntries = 0;
    throw;
  }
  m_tZPOPT.fDeleteEntries = 0;
}

}  // namespace corvane
