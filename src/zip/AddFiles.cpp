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

std::vector<std::pair<std::string, std::vector<std::string>>> ItemsByFolder(
    const std::vector<std::string>& items) {
  std::vector<std::pair<std::string, std::vector<std::string>>> groups;
  for (std::string item : items) {
    while (item.size() > 3 && item.back() == '\\') item.pop_back();
    size_t separator = item.find_last_of('\\');
    if (separator == std::string::npos) continue;
    // A drive's root keeps its separator; a share's is the share itself.
    std::string folder = item.substr(0, separator == 2 && item[1] == ':' ? 3 : separator);
    auto group = std::find_if(groups.begin(), groups.end(),
                              [&](const auto& each) { return each.first == folder; });
    if (group == groups.end()) group = groups.insert(groups.end(), {folder, {}});
    group->second.push_back(item);
  }
  return groups;
}

void PrepareAddItems(cZip& zip, const std::string& folder, const std::vector<std::string>& items) {
  zip.ClearFileSpecs();
  for (const std::string& item : items) zip.AddFileSpec(item);
  zip.BasePath(folder);
  zip.StoreFolderNames(true);
  zip.RecurseSubDirs(true);
}

void CreateArchive(cZip& zip, const std::string& path, bool storeFolderNames) {
  zip.ZipFile(path);
  zip.ClearFileSpecs();
  zip.Zip();
  zip.StoreFolderNames(storeFolderNames);
}

}  // namespace corvane
