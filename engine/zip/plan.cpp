#include "zip/plan.h"

#include <unordered_map>

#include "core/match.h"
#include "core/times.h"

namespace cv {

bool Newer(const FileInfo& file, const Entry& entry) {
  if (entry.hasUtcTime) return file.mtime > entry.utcTime;
  const DosTime d = ToDosTime(file.mtime);
  return (uint32_t(d.date) << 16 | d.time) > (uint32_t(entry.dosDate) << 16 | entry.dosTime);
}

std::vector<Planned> PlanAdd(const std::vector<Entry>& entries, const std::vector<ScanItem>& items,
                             const ZipOptions& options) {
  std::unordered_map<std::string_view, size_t> byName;
  for (size_t i = 0; i < entries.size(); ++i) byName.emplace(entries[i].name, i);
  std::vector<size_t> replacement(entries.size(), kNone);
  std::vector<size_t> appended;
  for (size_t i = 0; i < items.size(); ++i) {
    auto found = byName.find(items[i].storedName);
    if (found == byName.end()) {
      if (!options.freshen) appended.push_back(i);
      continue;
    }
    const size_t existing = found->second;
    if ((options.update || options.freshen) && !Newer(items[i].info, entries[existing])) continue;
    replacement[existing] = i;
  }
  std::vector<Planned> plan;
  bool changes = !appended.empty();
  for (size_t i = 0; i < entries.size(); ++i) {
    plan.push_back({i, replacement[i]});
    changes = changes || replacement[i] != kNone;
  }
  for (size_t i : appended) plan.push_back({kNone, i});
  if (!changes) plan.clear();
  return plan;
}

std::vector<Planned> PlanDelete(const std::vector<Entry>& entries,
                                const std::vector<std::string>& names,
                                std::vector<size_t>* deleted) {
  std::vector<std::string_view> entryNames;
  for (const Entry& e : entries) entryNames.push_back(e.name);
  std::vector<bool> selected = SelectByNames(names, entryNames, /*caseSensitive=*/true);
  for (const std::string& n : names) {
    if (n.empty() || n.back() != '/') continue;
    for (size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].name.rfind(n, 0) == 0) selected[i] = true;
    }
  }
  std::vector<Planned> plan;
  deleted->clear();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (selected[i]) {
      deleted->push_back(i);
    } else {
      plan.push_back({i, kNone});
    }
  }
  return plan;
}

}  // namespace cv
