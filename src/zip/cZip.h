#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cvzip.h"

namespace corvane {

// The events of cZip. The owner implements the ones it answers and registers itself with
// cZip::Listener; an event nobody answers keeps its preset answer.
class cZipEvents {
 public:
  // Once per entry the engine is about to write or delete; setting bCancel stops the run.
  virtual void Cancel(const std::string& sMsg, bool& bCancel) {}
  // Entries are to be encrypted, sName the first of them (bRetry is false). A blank sPassword or
  // bCancel refuses, and the run asks no more.
  virtual void PasswordRequest(const std::string& sName, bool bRetry, std::string& sPassword,
                               bool& bCancel) {}
  // One message line of the engine; lCount is always 1.
  virtual void Progress(int32_t lCount, const std::string& sMsg) {}

 protected:
  ~cZipEvents() = default;
};

// The archive builder of one archive: adds files to it or deletes entries from it through the zip
// engine (cvzip.dll beside the executable). The options live in the engine's option record. A
// missing engine library raises an error whose source ends in ".mZip"; the object stays usable.
class cZip {
 public:
  cZip();
  cZip(const cZip&) = delete;
  cZip& operator=(const cZip&) = delete;

  // The registered listener (not owned; it must outlive every run), or null.
  cZipEvents* Listener() const { return m_pListener; }
  void Listener(cZipEvents* pListener) { m_pListener = pListener; }

  const std::string& ZipFile() const { return m_sZipFile; }
  void ZipFile(const std::string& sFileName) { m_sZipFile = sFileName; }
  // The folder stored names are relative to; made the current folder of its drive before each run.
  const std::string& BasePath() const { return m_sBasePath; }
  void BasePath(const std::string& sBasePath) { m_sBasePath = sBasePath; }

  void Encrypt(bool bState) { m_tZPOPT.fEncrypt = bState; }
  // The getter's published name is spelled "Encrpyt", and stays so for the callers that use it.
  bool Encrpyt() const { return m_tZPOPT.fEncrypt != 0; }
  bool IncludeSystemAndHiddenFiles() const { return m_tZPOPT.fSystem != 0; }
  void IncludeSystemAndHiddenFiles(bool bState) { m_tZPOPT.fSystem = bState; }
  bool StoreVolumeLabel() const { return m_tZPOPT.fVolume != 0; }
  void StoreVolumeLabel(bool bState) { m_tZPOPT.fVolume = bState; }
  bool StoreDirectories() const { return m_tZPOPT.fNoDirEntries == 0; }
  void StoreDirectories(bool bState) { m_tZPOPT.fNoDirEntries = !bState; }
  bool StoreFolderNames() const { return m_tZPOPT.fJunkDir == 0; }
  void StoreFolderNames(bool bState) { m_tZPOPT.fJunkDir = !bState; }
  bool RecurseSubDirs() const { return m_tZPOPT.fRecurse != 0; }
  void RecurseSubDirs(bool bState) { m_tZPOPT.fRecurse = bState ? 2 : 0; }
  bool UpdateOnlyIfNewer() const { return m_tZPOPT.fUpdate != 0; }
  void UpdateOnlyIfNewer(bool bState) { m_tZPOPT.fUpdate = bState; }
  bool FreshenFiles() const { return m_tZPOPT.fFreshen != 0; }
  void FreshenFiles(bool bState) { m_tZPOPT.fFreshen = bState; }
  bool ConvertCRLFToLF() const { return m_tZPOPT.fCRLF_LF != 0; }
  void ConvertCRLFToLF(bool bState) { m_tZPOPT.fCRLF_LF = bState; }
  bool ConvertLFToCRLF() const { return m_tZPOPT.fLF_CRLF != 0; }
  void ConvertLFToCRLF(bool bState) { m_tZPOPT.fLF_CRLF = bState; }
  bool AllowAppend() const { return m_tZPOPT.fGrow != 0; }
  void AllowAppend(bool bState) { m_tZPOPT.fGrow = bState; }
  // The code page (Windows numbering) in which every later run reads the existing archive's names
  // that are neither flagged nor valid UTF-8 (0, the default: code page 437): the one the archive
  // was listed with, so that a listed name deletes or replaces its entry.
  uint32_t NameCodePage() const { return m_lNameCodePage; }
  void NameCodePage(uint32_t lCodePage) { m_lNameCodePage = lCodePage; }
  // 0 verbose, 1 quiet, 2 normal; any other value is ignored.
  int32_t MessageLevel() const;
  void MessageLevel(int32_t eLevel);

  void ClearFileSpecs() { m_sFileSpecs.clear(); }
  // Appends a file, folder or wildcard pattern (or, for Delete, an entry name). Returns 0.
  int32_t AddFileSpec(const std::string& sSpec);
  int32_t FileSpecCount() const { return static_cast<int32_t>(m_sFileSpecs.size()); }
  // nIndex from 1 to FileSpecCount; any other raises "subscript out of range".
  const std::string& FileSpec(int32_t nIndex) const;

  // Adds the specified files to ZipFile, creating it when missing. Reports nothing; LastResult
  // holds the engine's code. A BasePath that is not a folder raises "path not found" and the
  // engine is not called.
  void Zip();
  // Deletes the entries named by the specifications from ZipFile, as Zip reports.
  void Delete();

  // What the last Zip or Delete ended with: the engine's return code and its last message lines.
  // Both are cleared when a call starts; a call that raised leaves 0 and the error's description.
  int32_t LastResult() const { return m_lLastResult; }
  const std::string& LastMessage() const { return m_sLastMessage; }
  // True when LastResult is a failure to report: anything but success (0) and "nothing to do"
  // (12).
  bool LastRunFailed() const { return m_lLastResult != 0 && m_lLastResult != 12; }

 private:
  friend struct cZipTestHelper;

  void Run();

  cZipEvents* m_pListener = nullptr;
  std::string m_sZipFile;
  std::string m_sBasePath;
  std::vector<std::string> m_sFileSpecs;
  ZPOPT m_tZPOPT{};
  uint32_t m_lNameCodePage = 0;
  int32_t m_lLastResult = 0;
  std::string m_sLastMessage;
};

}  // namespace corvane
