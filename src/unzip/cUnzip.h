#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cvunzip.h"
#include "unzip/ArchiveEntry.h"

namespace corvane {

// The events of cUnzip. The owner implements the ones it answers and registers itself with
// cUnzip::Listener; an event nobody answers keeps its preset answer.
class cUnzipEvents {
 public:
  // Once per entry before it is extracted; setting bCancel stops the run.
  virtual void Cancel(const std::string& sMsg, bool& bCancel) {}
  // sFile exists. eResponse arrives as 100 (keep it); 102 overwrites it, 103 overwrites it and all
  // later ones, 104 overwrites none.
  virtual void OverWritePrompt(const std::string& sFile, int32_t& eResponse) {}
  // The encrypted entry sName needs a password; bRetry: the password given for it just before was
  // wrong. A blank sPassword or bCancel refuses, and the run asks no more.
  virtual void PasswordRequest(const std::string& sName, bool bRetry, std::string& sPassword,
                               bool& bCancel) {}
  // One message line of the engine; lCount is always 1.
  virtual void Progress(int32_t lCount, const std::string& sMsg) {}

 protected:
  ~cUnzipEvents() = default;
};

// The unzip object of one archive: reads the archive's catalogue through the unzip engine
// (cvunzip.dll beside the executable) and extracts selected entries. Indices run from 1 to
// FileCount; any other index raises "subscript out of range". A missing engine library raises an
// error whose source ends in ".mUnzip"; the object stays usable.
class cUnzip {
 public:
  cUnzip();
  cUnzip(const cUnzip&) = delete;
  cUnzip& operator=(const cUnzip&) = delete;

  // The registered listener (not owned; it must outlive every run), or null.
  cUnzipEvents* Listener() const { return m_pListener; }
  void Listener(cUnzipEvents* pListener) { m_pListener = pListener; }

  // Setting the archive path empties the catalogue, even when the path does not change.
  const std::string& ZipFile() const { return m_sZipFile; }
  void ZipFile(const std::string& sFileName);

  // Lists the archive and appends one entry per file (folder entries are skipped). Always 0;
  // LastResult holds the engine's code.
  int32_t Directory();

  int32_t FileCount() const { return static_cast<int32_t>(m_entries.size()); }
  const std::string& Filename(int32_t lIndex) const { return Entry(lIndex).fileName; }
  const std::string& FileDirectory(int32_t lIndex) const { return Entry(lIndex).folder; }
  const std::string& FileCompressionMethod(int32_t lIndex) const { return Entry(lIndex).method; }
  // The entry's whole name as the engine listed it ("/" separated): the name that selects it.
  const std::string& FileStoredName(int32_t lIndex) const { return Entry(lIndex).storedName; }
  uint64_t FileSize(int32_t lIndex) const { return Entry(lIndex).size; }
  int32_t FileCompressionRatio(int32_t lIndex) const { return Entry(lIndex).ratio; }
  uint32_t FileCRC(int32_t lIndex) const { return Entry(lIndex).crc; }
  const DateTime& FileDate(int32_t lIndex) const { return Entry(lIndex).date; }
  bool FileEncrypted(int32_t lIndex) const { return Entry(lIndex).encrypted; }
  // The stored name holds a zero byte; the listed names show it as U+FFFD.
  bool FileNameHasZero(int32_t lIndex) const { return Entry(lIndex).nameHasZero; }
  bool FileSelected(int32_t lIndex) const { return Entry(lIndex).selected; }
  void FileSelected(int32_t lIndex, bool bState) { Entry(lIndex).selected = bState; }
  // The engine's own compressed size: exact for any size, where size × ratio ÷ 100 lost the
  // rounding of the ratio and could overflow.
  uint64_t FilePackedSize(int32_t lIndex) const { return Entry(lIndex).packedSize; }
  // Where an extraction with the current options writes the entry, relative to UnzipFolder ("\"
  // separated; empty when it writes no file): the engine's own rule for unsafe names. Raises like
  // Directory when the engine library is missing.
  std::string FileTargetPath(int32_t lIndex) const;

  // The engine library's version; dDate is left as it is.
  void GetVersion(int32_t& lMajor, int32_t& lMinor, int32_t& lRevision, DateTime& dDate,
                  std::string& sExtraInfo);

  // Options of the next runs, kept in the engine's option record.
  bool ExtractOnlyNewer() const { return m_tDCL.ExtractOnlyNewer != 0; }
  void ExtractOnlyNewer(bool bState) { m_tDCL.ExtractOnlyNewer = bState; }
  bool SpaceToUnderScore() const { return m_tDCL.SpaceToUnderscore != 0; }
  void SpaceToUnderScore(bool bState) { m_tDCL.SpaceToUnderscore = bState; }
  bool PromptToOverwrite() const { return m_tDCL.PromptToOverwrite != 0; }
  void PromptToOverwrite(bool bState) { m_tDCL.PromptToOverwrite = bState; }
  int32_t MessageLevel() const { return m_tDCL.fQuiet; }
  void MessageLevel(int32_t eLevel) { m_tDCL.fQuiet = eLevel; }
  bool TestZip() const { return m_tDCL.ntflag != 0; }
  void TestZip(bool bState) { m_tDCL.ntflag = bState; }
  bool UseFolderNames() const { return m_tDCL.ndflag != 0; }
  void UseFolderNames(bool bState) { m_tDCL.ndflag = bState; }
  bool OverwriteExisting() const { return m_tDCL.noflag != 0; }
  void OverwriteExisting(bool bState) { m_tDCL.noflag = bState; }
  bool ConvertCRToCRLF() const { return m_tDCL.naflag != 0; }
  void ConvertCRToCRLF(bool bState) { m_tDCL.naflag = bState; }
  bool CaseSensitiveFileNames() const { return m_tDCL.C_flag != 0; }
  void CaseSensitiveFileNames(bool bState) { m_tDCL.C_flag = bState; }
  const std::string& UnzipFolder() const { return m_sFolder; }
  void UnzipFolder(const std::string& sFolder) { m_sFolder = sFolder; }
  // The code page (Windows numbering) in which every later listing, test and extraction reads
  // names that are neither flagged nor valid UTF-8; 0, the default, reads them as code page 437.
  // A listing and the extractions after it must use the same one, so that the names the list
  // shows select and name the entries written.
  uint32_t NameCodePage() const { return m_lNameCodePage; }
  void NameCodePage(uint32_t lCodePage) { m_lNameCodePage = lCodePage; }

  // Extracts the selected entries (all of them when none or every one is selected) from ZipFile
  // into UnzipFolder. False without calling the engine when ZipFile is empty; otherwise true when
  // the engine's code is non-zero. LastResult holds the code itself.
  bool Unzip();

  // What the last Directory or Unzip ended with: the engine's return code and its last message
  // lines. Both are cleared when a call starts; a call that raised leaves 0 and the error's
  // description.
  int32_t LastResult() const { return m_lLastResult; }
  const std::string& LastMessage() const { return m_sLastMessage; }
  // True when LastResult is a failure to report: anything but success (0), warnings (1) and
  // "nothing to do" (11, an include name that matched no entry).
  bool LastRunFailed() const {
    return m_lLastResult != 0 && m_lLastResult != 1 && m_lLastResult != 11;
  }

 private:
  friend struct UnzipCallbacks;

  const ArchiveEntry& Entry(int32_t lIndex) const;
  ArchiveEntry& Entry(int32_t lIndex);
  void Run(const std::vector<std::string>& includes, char* extractDir);

  cUnzipEvents* m_pListener = nullptr;
  std::string m_sZipFile;
  std::string m_sFolder;
  std::vector<ArchiveEntry> m_entries;
  DCL m_tDCL{};
  uint32_t m_lNameCodePage = 0;
  int32_t m_lLastResult = 0;
  std::string m_sLastMessage;
};

}  // namespace corvane
