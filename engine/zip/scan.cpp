#include "zip/scan.h"

#include <unordered_set>

#include "core/match.h"
#include "platform/path.h"

namespace cv {
namespace {

// Disk names are matched with "*" and "?" only: "[" is an ordinary character of a file name.
bool DiskNameMatch(const std::string& pattern, const std::string& name, bool ignoreCase) {
  std::string escaped;
  for (char c : pattern) escaped += c == '[' ? std::string("[[]") : std::string(1, c);
  return WildcardMatch(escaped, name, /*caseSensitive=*/!ignoreCase);
}

std::string ToStoredForm(std::string s) {
  for (char& c : s) {
    if (IsPathSeparator(c)) c = '/';
  }
  return s;
}

class Scanner {
 public:
  Scanner(const ScanOptions& options, std::vector<ScanItem>* items,
          std::vector<std::string>* unreadFolders)
      : m_options(options),
        m_items(items),
        m_unreadFolders(unreadFolders),
        m_ignoreCase(NamesIgnoreCase()) {
    m_root = AbsolutePath(options.rootDir.empty() ? "." : options.rootDir);
    while (m_root.size() > RootLength(m_root) && IsPathSeparator(m_root.back())) m_root.pop_back();
    if (!options.archivePath.empty()) m_archive = AbsolutePath(options.archivePath);
  }

  Status Name(const std::string& name) {
    if (name.empty()) return {};
    size_t cut = name.size();
    while (cut > 0 && !IsPathSeparator(name[cut - 1])) --cut;
    const std::string last = name.substr(cut);
    if (last.find_first_of("*?") == std::string::npos) {
      FileInfo info;
      if (!Stat(name, &info)) return {StatusKind::kNotFound, "name not matched: " + name};
      // Devices, pipes and sockets are not files to archive (reading a pipe would wait forever).
      if (info.isSpecial) return {StatusKind::kNotFound, "not a file or folder: " + name};
      info.name = last;
      return info.isDirectory ? AddFolder(AbsolutePath(name), info)
                              : AddFile(AbsolutePath(name), info);
    }
    const std::string dir = cut == 0 ? "." : name.substr(0, cut);
    std::vector<FileInfo> entries;
    if (!ListFolder(dir, &entries).ok()) {
      return {StatusKind::kNotFound, "name not matched: " + name};
    }
    bool matched = false;
    for (const FileInfo& e : entries) {
      if (!DiskNameMatch(last, e.name, m_ignoreCase) || !Wanted(e)) continue;
      matched = true;
      const std::string path = AbsolutePath(JoinPath(dir, e.name));
      CV_RETURN_IF_ERROR(e.isDirectory ? AddFolder(path, e) : AddFile(path, e));
    }
    if (!matched) return {StatusKind::kNotFound, "name not matched: " + name};
    return {};
  }

 private:
  // Hidden and system files are taken only when named; links to folders are never descended,
  // so a link cycle cannot make the scan endless.
  bool Wanted(const FileInfo& e) const {
    return (m_options.includeHiddenSystem || !e.hiddenOrSystem) && !(e.isLink && e.isDirectory);
  }

  std::string StoredName(const std::string& path) const {
    if (m_options.junkDirs) {
      size_t cut = path.size();
      while (cut > 0 && !IsPathSeparator(path[cut - 1])) --cut;
      return path.substr(cut);
    }
    const size_t rootLength = RootLength(m_root);
    if (SamePath(path, m_root)) return {};  // the base folder itself
    if (path.size() > m_root.size() && IsPathSeparator(path[m_root.size()]) &&
        SamePath(path.substr(0, m_root.size()), m_root)) {
      return ToStoredForm(path.substr(m_root.size() + 1));
    }
    if (m_root.size() == rootLength && path.size() > rootLength &&
        SamePath(path.substr(0, rootLength), m_root)) {
      return ToStoredForm(path.substr(rootLength));  // the root is a drive's root
    }
    return ToStoredForm(path.substr(RootLength(path)));
  }

  void Add(const std::string& path, std::string stored, const FileInfo& info) {
    if (stored.empty() || stored == "/" || !m_seen.insert(stored).second) return;
    m_items->push_back({path, std::move(stored), info});
  }

  Status AddFile(const std::string& path, const FileInfo& info) {
    if (!m_archive.empty() && SamePath(path, m_archive)) return {};
    Add(path, StoredName(path), info);
    return {};
  }

  Status AddFolder(const std::string& path, const FileInfo& info) {
    if (m_options.dirEntries && !m_options.junkDirs) Add(path, StoredName(path) + "/", info);
    if (!m_options.recurse) return {};
    std::vector<FileInfo> entries;
    if (Status listed = ListFolder(path, &entries); !listed.ok()) {
      m_unreadFolders->push_back("folder " + StoredName(path) + " (" + listed.message() + ")");
      return {};
    }
    for (const FileInfo& e : entries) {
      if (!Wanted(e)) continue;
      const std::string child = JoinPath(path, e.name);
      CV_RETURN_IF_ERROR(e.isDirectory ? AddFolder(child, e) : AddFile(child, e));
    }
    return {};
  }

  const ScanOptions& m_options;
  std::vector<ScanItem>* m_items;
  std::vector<std::string>* m_unreadFolders;
  bool m_ignoreCase;
  std::string m_root;
  std::string m_archive;
  std::unordered_set<std::string> m_seen;
};

}  // namespace

Status ScanNames(const std::vector<std::string>& names, const ScanOptions& options,
                 std::vector<ScanItem>* items, std::vector<std::string>* unreadFolders) {
  items->clear();
  unreadFolders->clear();
  Scanner scanner(options, items, unreadFolders);
  for (const std::string& name : names) {
    Status s = scanner.Name(name);
    if (!s.ok()) {
      items->clear();
      return s;
    }
  }
  return {};
}

}  // namespace cv
