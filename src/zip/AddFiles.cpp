#include "zip/AddFiles.h"

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

void PrepareAddFiles(cZip& zip, std::string_view selection, bool storeFolderNames,
                     const std::string& basePath) {
  zip.ClearFileSpecs();
  for (const std::string& file : ChosenFiles(selection)) zip.AddFileSpec(file);
  zip.StoreFolderNames(storeFolderNames);
  std::string_view drive = selection.substr(0, 2);
  zip.BasePath(drive != std::string_view(basePath).substr(0, 2) ? std::string(drive) + "\\"
                                                                : basePath);
}

void CreateArchive(cZip& zip, const std::string& path, bool storeFolderNames) {
  zip.ZipFile(path);
  zip.ClearFileSpecs();
  zip.Zip();
  zip.StoreFolderNames(storeFolderNames);
}

}  // namespace corvane
