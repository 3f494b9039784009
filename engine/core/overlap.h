// Entries whose bytes overlap another's (the overlapping-entry zip bomb): where each entry's local
// header and data must end.
#pragma once

#include <cstdint>
#include <vector>

#include "core/end_record.h"
#include "core/entry.h"

namespace cv {

// Just what the limits need of an entry (16 bytes), for callers that do not keep whole entries.
struct EntrySpan {
  uint64_t localHeaderOffset;
  uint64_t minimalSize;  // local header with the central name, plus the compressed data
};
EntrySpan SpanOf(const Entry& entry);

// Per entry, where its local header and data must end: the next entry's local header (in file
// order) or the central directory. An entry that shares its header offset with another or whose
// minimal header and data reach past that limit overlaps its neighbour and gets limit 0, which
// ArchiveReader::LocateData refuses.
std::vector<uint64_t> ComputeEntryLimits(const std::vector<EntrySpan>& spans,
                                         const ArchiveInfo& info);
std::vector<uint64_t> ComputeEntryLimits(const std::vector<Entry>& entries,
                                         const ArchiveInfo& info);

}  // namespace cv
