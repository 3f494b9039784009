#include "core/overlap.h"

#include <algorithm>
#include <numeric>

#include "core/format.h"

namespace cv {

EntrySpan SpanOf(const Entry& entry) {
  // Saturating: a compressed size near 2^64 must not wrap into a small span.
  uint64_t header = kLocalHeaderSize + entry.rawName.size();
  uint64_t size =
      entry.compressedSize > UINT64_MAX - header ? UINT64_MAX : header + entry.compressedSize;
  return {entry.localHeaderOffset, size};
}

std::vector<uint64_t> ComputeEntryLimits(const std::vector<Entry>& entries,
                                         const ArchiveInfo& info) {
  std::vector<EntrySpan> spans;
  spans.reserve(entries.size());
  for (const Entry& e : entries) spans.push_back(SpanOf(e));
  return ComputeEntryLimits(spans, info);
}

std::vector<uint64_t> ComputeEntryLimits(const std::vector<EntrySpan>& spans,
                                         const ArchiveInfo& info) {
  std::vector<uint32_t> order(spans.size());
  std::iota(order.begin(), order.end(), uint32_t(0));
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return spans[a].localHeaderOffset < spans[b].localHeaderOffset;
  });
  std::vector<uint64_t> limits(spans.size(), 0);
  for (size_t k = 0; k < order.size(); ++k) {
    const EntrySpan& e = spans[order[k]];
    uint64_t limit =
        k + 1 < order.size() ? spans[order[k + 1]].localHeaderOffset : info.centralOffset;
    bool sharesStart = (k > 0 && spans[order[k - 1]].localHeaderOffset == e.localHeaderOffset) ||
                       limit == e.localHeaderOffset;
    bool fits = e.localHeaderOffset <= limit && e.minimalSize <= limit - e.localHeaderOffset;
    limits[order[k]] = sharesStart || !fits ? 0 : limit;
  }
  return limits;
}

}  // namespace cv
