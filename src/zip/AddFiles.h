#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {

class cZip;

// What the Add Files and New commands do with a document's builder.

// The full paths of the files chosen in the multiple-selection open dialog (explorer style), from
// the text it returns: one full path for a single file; otherwise the folder, then each name,
// separated by zero bytes. There is no limit on their number.
std::vector<std::string> ChosenFiles(std::string_view selection);

// Sets zip up to add the chosen files: their paths as its only file specifications, and
// storeFolderNames. The base path is basePath, unless the selection's root differs from basePath's
// (compared exactly: "c:" is not "C:"); then it is the root of the files' drive followed by "\":
// the drive's two characters, or "\\\\server\\share" for files on a network path.
void PrepareAddFiles(cZip& zip, std::string_view selection, bool storeFolderNames,
                     const std::string& basePath);

// The items grouped by the folder each lies in ("C:\\" for a drive's root), in the order first met.
std::vector<std::pair<std::string, std::vector<std::string>>> ItemsByFolder(
    const std::vector<std::string>& items);

// Sets zip up to add items of folder, files and folders with everything below them: their paths
// as its only file specifications, stored relative to folder with folder names kept.
void PrepareAddItems(cZip& zip, const std::string& folder, const std::vector<std::string>& items);

// Names path as zip's archive and writes it as an empty archive when no file of that name exists
// (an existing file is left as it is), then sets storeFolderNames. Raises what the builder raises.
void CreateArchive(cZip& zip, const std::string& path, bool storeFolderNames);

}  // namespace corvane
