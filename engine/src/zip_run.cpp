#include "zip_run.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <unordered_map>

#include "archive.h"
#include "crypto.h"
#include "cvzip.h"
#include "file.h"
#include "format.h"
#include "names.h"
#include "writer.h"
#include "zip_pipeline.h"
#include "zip_scan.h"

namespace cv {
namespace {

constexpr size_t kNone = size_t(-1);
constexpr size_t kCopyBuffer = 1 << 20;
// Files at least this large get zip64 size fields in their local header from the start: the
// header is written before the data and patched in place afterwards, so its length is fixed.
constexpr uint64_t kZip64LocalThreshold = 0xff000000;

struct DosStamp {
  uint16_t date = 0x21;  // 1980-01-01
  uint16_t time = 0;
};

// The DOS date and time (local time, even seconds) of a moment; times before 1980 become
// 1980-01-01.
DosStamp ToDos(int64_t unixTime) {
  const std::time_t t = std::time_t(unixTime);
  const std::tm* tm = std::localtime(&t);  // the run's thread only calls this
  DosStamp d;
  if (!tm || tm->tm_year < 80 || tm->tm_year > 207) return d;
  d.date = uint16_t((tm->tm_year - 80) << 9 | (tm->tm_mon + 1) << 5 | tm->tm_mday);
  d.time = uint16_t(tm->tm_hour << 11 | tm->tm_min << 5 | tm->tm_sec / 2);
  return d;
}

bool IsAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Whether the whole file looks like text, read chunk by chunk.
bool IsTextFile(const std::string& path, uint64_t size) {
  File file;
  if (!File::Open(path, File::Mode::kRead, &file).ok()) return false;
  std::vector<uint8_t> buffer(kCopyBuffer);
  for (uint64_t offset = 0; offset < size;) {
    size_t got = 0;
    if (!file.ReadAt(offset, buffer.data(), buffer.size(), &got).ok() || got == 0) return false;
    if (!LooksLikeText(buffer.data(), got)) return false;
    offset += got;
  }
  return true;
}

int Percent(uint64_t compressed, uint64_t size) {
  if (size == 0 || compressed >= size) return 0;
  return int((size - compressed) * 100 / size);
}

class ZipRun {
 public:
  ZipRun(const ZipRunOptions& options, const std::string& archive, const ZipRunCallbacks& callbacks)
      : m_options(options), m_archive(archive), m_callbacks(callbacks) {}
  ~ZipRun() { Discard(); }

  int Add(const std::vector<std::string>& names);
  int Delete(const std::vector<std::string>& names);

 private:
  // One entry of the archive being written, in order.
  struct Planned {
    size_t existing = kNone;  // the entry copied, or replaced by the item
    size_t item = kNone;      // the scanned file or folder written in its place
  };

  void Print(const std::string& line) {
    if (m_callbacks.print) m_callbacks.print(line);
  }
  void Say(const std::string& line) {
    if (!m_options.quiet) Print(line);
  }
  int Fail(int code, const std::string& message) {
    Discard();
    Print("zip error: " + message);
    return code;
  }
  void Warn(const std::string& message) {
    ++m_warnings;
    Print("zip warning: " + message);
  }
  bool StopRequested(const std::string& name) { return m_callbacks.stop && m_callbacks.stop(name); }

  int OpenExisting();
  int FailStatus(const Status& s, int code) {
    if (s.kind() == StatusKind::kDiskFull) return Fail(ZE_WRITE, s.message());
    if (s.kind() == StatusKind::kStopped) return Fail(ZE_ABORTED, s.message());
    if (s.kind() == StatusKind::kBadArchive || s.kind() == StatusKind::kBadEntry ||
        s.kind() == StatusKind::kNotZip) {
      return Fail(ZE_FORM, s.message());
    }
    return Fail(code, s.message());
  }
  bool Newer(const DiskEntry& file, const Entry& entry) const;

  Status BeginOutput();
  Status Write(const void* data, size_t size) {
    CV_RETURN_IF_ERROR(FlushCopy());
    CV_RETURN_IF_ERROR(m_out.Write(data, size));
    m_offset += size;
    return {};
  }
  Status Write(const std::string& s) { return Write(s.data(), s.size()); }
  // Queues bytes of the old archive for copying; adjacent ranges are copied in one go.
  Status CopyBytes(uint64_t from, uint64_t size);
  Status FlushCopy();
  Status CopyEntry(size_t index);
  WriteEntry NewEntry(const ScanItem& item) const;
  Status WriteFolder(const ScanItem& item, bool replacing);
  Status WriteFile(const ScanItem& item, bool replacing, CompressPipeline& pipeline);
  Status WriteEncryptionHeader(const WriteEntry& e, ZipCrypto& crypto);
  Status WriteStored(const PipelineSource& source, WriteEntry& e, ZipCrypto* crypto);
  Status DrainSource(size_t source, BlockResult& r, CompressPipeline& pipeline);
  Status Finish();
  void Discard();
  int Write(const std::vector<Planned>& plan, std::vector<ScanItem>& items);

  const ZipRunOptions& m_options;
  std::string m_archive;
  const ZipRunCallbacks& m_callbacks;

  bool m_exists = false;
  ArchiveReader m_reader;
  std::vector<Entry> m_entries;
  std::vector<uint64_t> m_limits;

  std::string m_tempPath;
  File m_out;
  uint64_t m_offset = 0;  // of the output, copies queued included
  uint64_t m_copyFrom = 0;
  uint64_t m_copySize = 0;
  std::vector<WriteEntry> m_central;
  std::string m_password;
  std::mt19937 m_random{std::random_device{}()};
  int m_warnings = 0;
  uint64_t m_totalIn = 0;
  uint64_t m_totalOut = 0;
};

int ZipRun::OpenExisting() {
  const FileInfo info = StatPath(m_archive);
  if (!info.exists) return ZE_OK;
  if (info.isDirectory) return Fail(ZE_CREAT, "the archive name is a folder: " + m_archive);
  m_exists = true;
  Status s = m_reader.Open(m_archive);
  if (s.kind() == StatusKind::kNotZip) {
    return Fail(ZE_READ, m_archive + " is not a zip archive; it was left as it is");
  }
  if (!s.ok()) return FailStatus(s, ZE_READ);
  s = m_reader.ReadEntries(&m_entries);
  if (!s.ok()) return FailStatus(s, ZE_READ);
  m_limits = ComputeEntryLimits(m_entries, m_reader.info());
  return ZE_OK;
}

bool ZipRun::Newer(const DiskEntry& file, const Entry& entry) const {
  if (entry.hasUtcTime) return file.mtime > entry.utcTime;
  // Without a UTC time both sides are compared as DOS stamps, at the 2 seconds they can hold.
  const DosStamp d = ToDos(file.mtime);
  return (uint32_t(d.date) << 16 | d.time) > (uint32_t(entry.dosDate) << 16 | entry.dosTime);
}

Status ZipRun::BeginOutput() {
  // Beside the archive, so that the final rename stays on one volume.
  for (int attempt = 0;; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.cvztmp", unsigned(m_random()));
    Status s = File::Open(m_archive + suffix, File::Mode::kCreateNew, &m_out);
    if (s.ok()) {
      m_tempPath = m_archive + suffix;
      break;
    }
    // Only a name taken by another run is worth another try.
    if (attempt == 8 || !StatPath(m_archive + suffix).exists) return s;
  }
  m_offset = 0;
  if (m_entries.empty()) return {};
  // Bytes in front of the first entry (a self-extractor stub) are kept.
  uint64_t first = m_reader.info().centralOffset;
  for (const Entry& e : m_entries) first = std::min(first, e.localHeaderOffset);
  return CopyBytes(0, first);
}

Status ZipRun::CopyBytes(uint64_t from, uint64_t size) {
  if (m_copySize == 0 || m_copyFrom + m_copySize != from) {
    CV_RETURN_IF_ERROR(FlushCopy());
    m_copyFrom = from;
  }
  m_copySize += size;
  m_offset += size;
  return {};
}

Status ZipRun::FlushCopy() {
  if (m_copySize == 0) return {};
  const uint64_t size = m_copySize;
  m_copySize = 0;
  return m_out.AppendCopy(m_reader.file(), m_copyFrom, size);
}

Status ZipRun::CopyEntry(size_t index) {
  // Each entry is copied once: its texts move to the new central directory.
  Entry& en = m_entries[index];
  // An entry's bytes (header, data, data descriptor) run to the next entry's header or the
  // central directory and are copied as they are; the limit is 0 for entries that overlap.
  const uint64_t end = m_limits[index];
  if (end < en.localHeaderOffset + kLocalHeaderSize + en.rawName.size() + en.compressedSize) {
    return {StatusKind::kBadEntry, "damaged entry " + en.name + " in " + m_archive};
  }
  WriteEntry e;
  e.name = std::move(en.rawName);
  e.versionMadeBy = en.versionMadeBy;
  e.versionNeeded = en.versionNeeded;
  e.flags = en.flags;
  e.method = en.method;
  e.dosTime = en.dosTime;
  e.dosDate = en.dosDate;
  e.crc = en.crc;
  e.compressedSize = en.compressedSize;
  e.uncompressedSize = en.uncompressedSize;
  e.internalAttributes = en.internalAttributes;
  e.externalAttributes = en.externalAttributes;
  e.extra = WithoutExtraField(en.extra, kExtraZip64);
  e.comment = std::move(en.comment);
  e.localOffset = m_offset;
  CV_RETURN_IF_ERROR(CopyBytes(en.localHeaderOffset, end - en.localHeaderOffset));
  m_central.push_back(std::move(e));
  return {};
}

WriteEntry ZipRun::NewEntry(const ScanItem& item) const {
  WriteEntry e;
  e.name = item.storedName;
  e.versionMadeBy = VersionMadeBy();
  e.versionNeeded = item.info.isDirectory ? 20 : 10;
  if (!IsAscii(e.name)) e.flags |= kFlagUtf8;
  const DosStamp d = ToDos(item.info.mtime);
  e.dosDate = d.date;
  e.dosTime = d.time;
  e.externalAttributes = item.info.externalAttributes;
  e.extra = TimestampExtra(item.info.mtime);
  e.localOffset = m_offset;
  return e;
}

Status ZipRun::WriteFolder(const ScanItem& item, bool replacing) {
  if (StopRequested(item.storedName)) return {StatusKind::kStopped, "stopped by request"};
  WriteEntry e = NewEntry(item);
  CV_RETURN_IF_ERROR(Write(LocalHeader(e, false, e.extra)));
  Say(std::string(replacing ? "updating: " : "  adding: ") + item.storedName + " (stored 0%)");
  m_central.push_back(std::move(e));
  return {};
}

Status ZipRun::DrainSource(size_t source, BlockResult& r, CompressPipeline& pipeline) {
  while (!r.last) {
    if (!pipeline.Next(&r)) return {StatusKind::kIo, "compression ended early"};
    if (r.source != source) return {StatusKind::kIo, "compression out of order"};
  }
  return {};
}

Status ZipRun::WriteStored(const PipelineSource& source, WriteEntry& e, ZipCrypto* crypto) {
  uint32_t crc = 0;
  uint64_t size = 0;
  std::vector<uint8_t> block;
  const uint64_t blocks = CompressPipeline::BlockCount(source.size);
  for (uint64_t b = 0; b < blocks; ++b) {
    const uint64_t offset = b * kBlockSize;
    CV_RETURN_IF_ERROR(ReadSourceBlock(
        source, offset, std::min<uint64_t>(kBlockSize, source.size - offset), &block, nullptr));
    crc = uint32_t(crc32(crc, block.data(), uInt(block.size())));
    size += block.size();
    if (crypto) crypto->Encrypt(block.data(), block.size());
    CV_RETURN_IF_ERROR(Write(block.data(), block.size()));
  }
  if (crc != e.crc || size != e.uncompressedSize) {
    return {StatusKind::kIo, "the file changed while it was read: " + source.path};
  }
  e.method = kMethodStored;
  e.compressedSize = size + (crypto ? kEncryptionHeaderSize : 0);
  return {};
}

Status ZipRun::WriteEncryptionHeader(const WriteEntry& e, ZipCrypto& crypto) {
  crypto.Init(m_password);
  unsigned char header[kEncryptionHeaderSize];
  for (auto& b : header) b = uint8_t(m_random());
  // The check byte must be known before the data: with a data descriptor it is the high byte of
  // the DOS time instead of the CRC's.
  header[kEncryptionHeaderSize - 1] = uint8_t(e.dosTime >> 8);
  crypto.Encrypt(header, sizeof header);
  return Write(header, sizeof header);
}

Status ZipRun::WriteFile(const ScanItem& item, bool replacing, CompressPipeline& pipeline) {
  BlockResult r;
  if (!pipeline.Next(&r)) return {StatusKind::kIo, "compression ended early"};
  const size_t source = r.source;
  const PipelineSource& src = pipeline.source(source);
  if (!r.status.ok()) {
    CV_RETURN_IF_ERROR(DrainSource(source, r, pipeline));
    Warn("could not open for reading: " + item.storedName + " (" + r.status.message() + ")");
    return {};
  }
  if (StopRequested(item.storedName)) return {StatusKind::kStopped, "stopped by request"};

  WriteEntry e = NewEntry(item);
  const uint64_t start = m_offset;
  const bool multiBlock = !r.last;
  e.method = r.deflated ? kMethodDeflated : kMethodStored;
  if (e.method == kMethodDeflated) {
    e.versionNeeded = 20;
    if (m_options.level >= 8) e.flags |= 0x2;
    if (m_options.level == 2) e.flags |= 0x4;
    if (m_options.level == 1) e.flags |= 0x6;
  }
  if (src.lineEnds != LineEnds::Keep) e.internalAttributes |= kInternalText;
  const uint64_t bound = src.lineEnds == LineEnds::LfToCrLf ? 2 * src.size : src.size;
  const bool zip64 = bound >= kZip64LocalThreshold;
  ZipCrypto crypto;
  ZipCrypto* cipher = nullptr;
  if (m_options.encrypt) {
    e.flags |= kFlagEncrypted | kFlagDataDescriptor;
    e.versionNeeded = std::max<uint16_t>(e.versionNeeded, 20);
    cipher = &crypto;
  }
  const std::string localExtra = e.extra;
  CV_RETURN_IF_ERROR(Write(LocalHeader(e, zip64, localExtra)));
  const uint64_t dataStart = m_offset;
  if (cipher) CV_RETURN_IF_ERROR(WriteEncryptionHeader(e, crypto));
  uint32_t crc = 0;
  uint64_t size = 0;
  for (;;) {
    crc = uint32_t(crc32_combine(crc, r.crc, z_off_t(r.size)));
    size += r.size;
    if (cipher) crypto.Encrypt(r.data.data(), r.data.size());
    CV_RETURN_IF_ERROR(Write(r.data.data(), r.data.size()));
    if (r.last) break;
    if (!pipeline.Next(&r)) return {StatusKind::kIo, "compression ended early"};
    if (!r.status.ok()) {
      // A read failed part way: the entry is taken out again and the file skipped.
      CV_RETURN_IF_ERROR(m_out.Truncate(start));
      m_offset = start;
      CV_RETURN_IF_ERROR(DrainSource(source, r, pipeline));
      Warn("could not read: " + item.storedName + " (" + r.status.message() + ")");
      return {};
    }
  }
  e.crc = crc;
  e.uncompressedSize = size;
  e.compressedSize = m_offset - dataStart;
  const uint64_t dataSize = e.compressedSize - (cipher ? kEncryptionHeaderSize : 0);
  if (multiBlock && e.method == kMethodDeflated && dataSize >= size) {
    // Deflate did not shrink this file: it is written again, stored.
    CV_RETURN_IF_ERROR(m_out.Truncate(start));
    m_offset = start;
    e.flags &= uint16_t(~0x6);
    e.method = kMethodStored;
    CV_RETURN_IF_ERROR(Write(LocalHeader(e, zip64, localExtra)));
    if (cipher) CV_RETURN_IF_ERROR(WriteEncryptionHeader(e, crypto));
    Status s = WriteStored(src, e, cipher);
    if (!s.ok()) {
      if (s.kind() == StatusKind::kDiskFull) return s;
      CV_RETURN_IF_ERROR(m_out.Truncate(start));
      m_offset = start;
      Warn("could not read: " + item.storedName + " (" + s.message() + ")");
      return {};
    }
  }
  if (cipher) {
    std::string descriptor;
    unsigned char b[8];
    Put32(b, kDataDescriptorSig);
    descriptor.append(reinterpret_cast<char*>(b), 4);
    Put32(b, e.crc);
    descriptor.append(reinterpret_cast<char*>(b), 4);
    for (uint64_t v : {e.compressedSize, e.uncompressedSize}) {
      if (zip64) {
        Put64(b, v);
        descriptor.append(reinterpret_cast<char*>(b), 8);
      } else {
        Put32(b, uint32_t(v));
        descriptor.append(reinterpret_cast<char*>(b), 4);
      }
    }
    CV_RETURN_IF_ERROR(Write(descriptor));
  } else {
    const std::string header = LocalHeader(e, zip64, localExtra);
    CV_RETURN_IF_ERROR(m_out.WriteAt(start, header.data(), header.size()));
  }
  m_totalIn += e.uncompressedSize;
  m_totalOut += e.compressedSize;
  const int percent = Percent(e.compressedSize, e.uncompressedSize);
  Say(std::string(replacing ? "updating: " : "  adding: ") + item.storedName + " (" +
      (e.method == kMethodDeflated ? "deflated " : "stored ") + std::to_string(percent) + "%)");
  m_central.push_back(std::move(e));
  return {};
}

Status ZipRun::Finish() {
  const uint64_t directoryOffset = m_offset;
  std::string batch;
  for (const WriteEntry& e : m_central) {
    batch += CentralHeader(e);
    if (batch.size() >= kCopyBuffer) {
      CV_RETURN_IF_ERROR(Write(batch));
      batch.clear();
    }
  }
  CV_RETURN_IF_ERROR(Write(batch));
  const std::string comment = m_exists ? m_reader.info().comment : std::string();
  CV_RETURN_IF_ERROR(
      Write(EndRecords(m_central.size(), directoryOffset, m_offset - directoryOffset, comment)));
  CV_RETURN_IF_ERROR(m_out.Close());
  // The reader must let go of the archive before it can be replaced on Windows.
  m_reader = ArchiveReader();
  CV_RETURN_IF_ERROR(RenameReplace(m_tempPath, m_archive));
  m_tempPath.clear();
  return {};
}

void ZipRun::Discard() {
  if (m_tempPath.empty()) return;
  (void)m_out.Close();
  (void)RemoveFile(m_tempPath);
  m_tempPath.clear();
}

int ZipRun::Write(const std::vector<Planned>& plan, std::vector<ScanItem>& items) {
  std::vector<PipelineSource> sources;
  for (const Planned& p : plan) {
    if (p.item == kNone || items[p.item].info.isDirectory) continue;
    const ScanItem& item = items[p.item];
    PipelineSource s{item.path, item.info.size, LineEnds::Keep};
    if (m_options.lineEnds != LineEnds::Keep && IsTextFile(item.path, item.info.size)) {
      s.lineEnds = m_options.lineEnds;
    }
    sources.push_back(std::move(s));
  }
  Status s = BeginOutput();
  if (!s.ok()) {
    return FailStatus(s, m_exists ? ZE_TEMP : ZE_CREAT);
  }
  CompressPipeline pipeline(std::move(sources), m_options.level);
  m_central.reserve(plan.size());
  for (const Planned& p : plan) {
    const bool replacing = p.existing != kNone;
    if (p.item == kNone) {
      s = CopyEntry(p.existing);
    } else if (items[p.item].info.isDirectory) {
      s = WriteFolder(items[p.item], replacing);
    } else {
      s = WriteFile(items[p.item], replacing, pipeline);
    }
    if (!s.ok()) return FailStatus(s, ZE_WRITE);
  }
  s = Finish();
  if (!s.ok()) {
    return FailStatus(s, s.kind() == StatusKind::kDiskFull ? ZE_WRITE : ZE_TEMP);
  }
  if (m_options.verbose && m_totalIn > 0) {
    Print("total bytes=" + std::to_string(m_totalIn) +
          ", compressed=" + std::to_string(m_totalOut) + " -> " +
          std::to_string(Percent(m_totalOut, m_totalIn)) + "% savings");
  }
  return m_warnings > 0 ? ZE_OPEN : ZE_OK;
}

int ZipRun::Add(const std::vector<std::string>& names) {
  if (int rc = OpenExisting(); rc != ZE_OK) return rc;
  if (names.empty()) {
    // Nothing to add: a missing archive is created empty, an existing one left alone.
    if (m_exists) return ZE_OK;
    std::vector<ScanItem> none;
    return Write({}, none);
  }
  if (!m_options.rootDir.empty() && !StatPath(m_options.rootDir).isDirectory) {
    return Fail(ZE_OPEN, "base folder not found: " + m_options.rootDir);
  }
  ScanOptions scan;
  scan.rootDir = m_options.rootDir;
  scan.recurse = m_options.recurse;
  scan.junkDirs = m_options.junkDirs;
  scan.dirEntries = m_options.dirEntries;
  scan.includeHiddenSystem = m_options.includeHiddenSystem;
  scan.archivePath = m_archive;
  std::vector<ScanItem> items;
  if (Status s = ScanNames(names, scan, &items); !s.ok()) return Fail(ZE_OPEN, s.message());

  std::unordered_map<std::string_view, size_t> byName;
  for (size_t i = 0; i < m_entries.size(); ++i) byName.emplace(m_entries[i].name, i);
  std::vector<size_t> replacement(m_entries.size(), kNone);
  std::vector<size_t> appended;
  for (size_t i = 0; i < items.size(); ++i) {
    auto found = byName.find(items[i].storedName);
    if (found == byName.end()) {
      if (!m_options.freshen) appended.push_back(i);
      continue;
    }
    const size_t existing = found->second;
    if ((m_options.update || m_options.freshen) && !Newer(items[i].info, m_entries[existing])) {
      continue;
    }
    replacement[existing] = i;
  }
  std::vector<Planned> plan;
  bool changes = !appended.empty();
  for (size_t i = 0; i < m_entries.size(); ++i) {
    plan.push_back({i, replacement[i]});
    changes = changes || replacement[i] != kNone;
  }
  for (size_t i : appended) plan.push_back({kNone, i});
  if (!changes) return Fail(ZE_NONE, "nothing to do: " + m_archive + " is up to date");

  if (m_options.encrypt) {
    const auto first = std::find_if(plan.begin(), plan.end(), [&](const Planned& p) {
      return p.item != kNone && !items[p.item].info.isDirectory;
    });
    if (first != plan.end()) {
      if (!m_callbacks.password ||
          !m_callbacks.password(items[first->item].storedName, &m_password) || m_password.empty()) {
        return Fail(ZE_LOGIC, "no password given: nothing was encrypted or added");
      }
    }
  }
  return Write(plan, items);
}

int ZipRun::Delete(const std::vector<std::string>& names) {
  if (names.empty()) return Fail(ZE_NONE, "nothing to delete");
  if (int rc = OpenExisting(); rc != ZE_OK) return rc;
  if (!m_exists) return Fail(ZE_NAME, "archive not found: " + m_archive);
  std::vector<std::string_view> entryNames;
  for (const Entry& e : m_entries) entryNames.push_back(e.name);
  std::vector<bool> selected = SelectByNames(names, entryNames, /*caseSensitive=*/true);
  // A folder name also takes everything stored under it.
  for (const std::string& n : names) {
    if (n.empty() || n.back() != '/') continue;
    for (size_t i = 0; i < m_entries.size(); ++i) {
      if (m_entries[i].name.rfind(n, 0) == 0) selected[i] = true;
    }
  }
  std::vector<Planned> plan;
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (!selected[i]) plan.push_back({i, kNone});
  }
  if (plan.size() == m_entries.size()) {
    return Fail(ZE_NONE, "nothing to do: no entry of " + m_archive + " matches");
  }
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (!selected[i]) continue;
    if (StopRequested(m_entries[i].name)) return Fail(ZE_ABORTED, "stopped by request");
    Say("deleting: " + m_entries[i].name);
  }
  std::vector<ScanItem> none;
  return Write(plan, none);
}

}  // namespace

int RunZip(const ZipRunOptions& options, const std::string& archive,
           const std::vector<std::string>& names, const ZipRunCallbacks& callbacks) {
  ZipRun run(options, archive, callbacks);
  if (archive.empty()) {
    if (callbacks.print) callbacks.print("zip error: no archive name given");
    return ZE_NAME;
  }
  return options.deleteEntries ? run.Delete(names) : run.Add(names);
}

}  // namespace cv
