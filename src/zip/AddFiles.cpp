#include "zip/AddFiles.h"

#include <algorithm>

#include "zip/cZip.h"

namespace corvane {

std::vector<std::string> ChosenFiles(std::string_view selection) {
  size_t end = selection.find('\0');
  if (end == std::string_view::npos) return {std::string(selection)};
  std::string folder(selection.substr(0, end));
  // A folder at a drive's root comes with its separator already.
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  std::vector<std::string> files;
  while (end < selection.size()) {
    size_t start = end + 1;
    end = std::min(selection.find('\0', start), selection.size());
    if (end > start) files.push_back(folder + std::string(selection.substr(start, end - start)));
  }
  return files;
}

namespace {

// The root a path lies on, without its last separator: "C:" for a drive, "\\\\server\\share" for a
// network path (a UNC path has no drive letter: its first two characters are no root).
std::string_view RootOf(std::string_view path) {
  if (path.substr(0, 2) != "\\\\") return path.substr(0, 2);
  size_t share = path.find('\\', 2);
  if (share == std::string_view::npos) return path;
  return path.substr(0, std::min(path.find('\\', share + 1), path.size()));
}

}  // namespace

void PrepareAddFiles(cZip& zip, std::string_view selection, bool storeFolderNames,
                     const std::string& basePath) {
  zip.ClearFileSpecs();
  for (const std::string& file : ChosenFiles(selection)) zip.AddFileSpec(file);
  zip.StoreFolderNames(storeFolderNames);
  std::string_view root = RootOf(selection);
  zip.BasePath(root != RootOf(basePath) ? std::string(root) + "\\" : basePath);
}

void CreateArchive(cZip& zip, const std::string& path, bool storeFolderNames) {
  zip.ZipFile(path);
  zip.ClearFileSpecs();
  zip.Zip();
  zip.StoreFolderNames(storeFolderNames);
}

}  // namespace corvane
