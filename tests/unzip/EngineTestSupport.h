#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/Error.h"

namespace corvane::test {

// A new, empty folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return m_sPath; }
  // Path() + "\" + relative.
  std::string operator/(const std::string& relative) const { return m_sPath + "\\" + relative; }

 private:
  std::string m_sPath;
};

// The folder of the running test executable, where the engine DLLs lie.
std::string ExecutableFolder();

// The archive made for the tests by make_archives.py (found through CORVANE_TEST_ARCHIVES).
std::string TestArchive(const std::string& name);

// Writes data to path, creating its folders.
void WriteFileText(const std::string& path, const std::string& data);
// The file's bytes; "<missing>" when it cannot be read.
std::string ReadFileText(const std::string& path);
bool FileExists(const std::string& path);
// Sets the file's last-write time to the given local time.
void SetFileDate(const std::string& path, WORD year, WORD month, WORD day);

// Every file under folder, as paths relative to it with "\" separators.
std::set<std::string> FilesUnder(const std::string& folder);

// The stored names of an archive, read from its central directory; empty when it has none.
std::vector<std::string> ArchiveNames(const std::string& path);

// The number of the corvane::Error that call raises; 0 when it raises none.
long ErrorNumber(const std::function<void()>& call, std::string* source = nullptr);

// Handles and threads of this process.
DWORD HandleCount();
DWORD ThreadCount();

}  // namespace corvane::test
