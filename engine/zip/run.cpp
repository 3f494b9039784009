#include "zip/run.h"

#include <algorithm>

#include "core/overlap.h"
#include "core/reader.h"
#include "platform/code_page.h"
#include "platform/crypto.h"
#include "platform/file.h"
#include "platform/folder.h"
#include "zip/archive_writer.h"
#include "zip/entry_writer.h"
#include "zip/messages.h"
#include "zip/plan.h"
#include "zip/scan.h"

namespace cv {
namespace {

constexpr size_t kTextProbe = 1 << 20;

// Whether the whole file looks like text, read chunk by chunk.
bool IsTextFile(const std::string& path, uint64_t size) {
  File file;
  if (!File::Open(path, File::Mode::kRead, &file).ok()) return false;
  std::vector<uint8_t> buffer(kTextProbe);
  for (uint64_t offset = 0; offset < size;) {
    size_t got = 0;
    if (!file.ReadAt(offset, buffer.data(), buffer.size(), &got).ok() || got == 0) return false;
    if (!LooksLikeText(buffer.data(), got)) return false;
    offset += got;
  }
  return true;
}

class ZipRun {
 public:
  ZipRun(const ZipOptions& options, const std::string& archive, const ZipCallbacks& callbacks)
      : m_options(options),
        m_archive(archive),
        m_messages(callbacks, options.quiet),
        m_progress(callbacks.progress) {}

  ZipOutcome Add(const std::vector<std::string>& names);
  ZipOutcome Delete(const std::vector<std::string>& names);

 private:
  // Ends the run: prints the failure and notes where it happened.
  ZipOutcome Fail(ZipStep step, const Status& status) {
    m_messages.Print("zip error: " + status.message());
    return {status, step, m_exists, m_messages.warnings()};
  }
  Status OpenExisting(ZipStep* step);
  ZipOutcome WriteArchive(const std::vector<Planned>& plan, const std::vector<ScanItem>& items);

  const ZipOptions& m_options;
  std::string m_archive;
  ZipMessages m_messages;
  bool m_exists = false;
  CodePage m_codePage;  // the reader's, when a code page is chosen
  ArchiveReader m_reader;
  std::vector<Entry> m_entries;
  std::vector<uint64_t> m_limits;
  std::string m_password;
  std::shared_ptr<const CryptoLibrary> m_crypto;
  ProgressMeter m_progress;
};

Status ZipRun::OpenExisting(ZipStep* step) {
  FileInfo info;
  if (!Stat(m_archive, &info)) return {};
  if (info.isDirectory) {
    *step = ZipStep::kCreate;
    return {StatusKind::kIo, "the archive name is a folder: " + m_archive};
  }
  m_exists = true;
  *step = ZipStep::kReadArchive;
  if (m_options.nameCodePage != 0) {
    if (!m_codePage.Open(m_options.nameCodePage)) {
      return {StatusKind::kBadOption, "code page " + std::to_string(m_options.nameCodePage) +
                                          " is not available on this system"};
    }
    m_reader.SetNameCodePage(&m_codePage);
  }
  Status s = m_reader.Open(m_archive);
  if (s.kind() == StatusKind::kNotZip) {
    return {StatusKind::kNotZip, m_archive + " is not a zip archive; it was left as it is"};
  }
  CV_RETURN_IF_ERROR(s);
  // Rewriting would hide the damage; the archive is left for a tool that repairs.
  if (!m_reader.info().damage.empty()) {
    return {StatusKind::kBadArchive, m_archive + ": " + m_reader.info().damage};
  }
  CV_RETURN_IF_ERROR(m_reader.ReadEntries(&m_entries));
  m_limits = ComputeEntryLimits(m_entries, m_reader.info());
  return {};
}

ZipOutcome ZipRun::WriteArchive(const std::vector<Planned>& plan,
                                const std::vector<ScanItem>& items) {
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
  const Status stopped(StatusKind::kStopped, "stopped by request");
  uint64_t totalBytes = 0;
  for (const Planned& p : plan) {
    if (p.item != kNone) {
      totalBytes += items[p.item].info.isDirectory ? 0 : items[p.item].info.size;
    } else {
      totalBytes += m_limits[p.existing] - m_entries[p.existing].localHeaderOffset;
    }
  }
  m_progress.SetTotals(totalBytes, plan.size());
  uint64_t entriesDone = 0;
  // Set once the writer and the pipeline exist: what they have done so far.
  std::function<std::pair<uint64_t, uint64_t>()> done = [] {
    return std::pair<uint64_t, uint64_t>();
  };
  auto tick = [&] { return m_progress.active() && m_progress.Tick(done); };
  if (tick()) return Fail(ZipStep::kStart, stopped);

  ArchiveWriter out(m_archive, m_exists ? &m_reader : nullptr);
  Status s = out.Begin(m_entries);
  if (!s.ok()) return Fail(ZipStep::kCreate, s);
  AesFrameMaker makeFrame;
  if (m_options.encrypt && m_options.aes) {
    makeFrame = [this](AesHeader* header, AesKeys* keys) {
      return NewAesHeader(*m_crypto, m_password, *m_options.aes, header, keys);
    };
  }
  CompressPipeline pipeline(std::move(sources), m_options.level, std::move(makeFrame));
  if (!pipeline.started().ok()) return Fail(ZipStep::kWrite, pipeline.started());
  EntryWriter writer(out, pipeline, m_options, m_password, m_crypto.get(), m_messages);
  if (m_progress.active()) {
    done = [&] { return std::pair{out.copied() + pipeline.bytesRead(), entriesDone}; };
    out.SetProgress([&](bool last) {
      if (!last) return tick();
      const auto [bytes, entries] = done();
      return m_progress.Finish(bytes, entries);
    });
    pipeline.SetIdle(tick);
    writer.SetTick(tick);
  }
  for (const Planned& p : plan) {
    const bool replacing = p.existing != kNone;
    if (p.item == kNone) {
      s = out.CopyEntry(m_entries[p.existing], m_limits[p.existing]);
    } else if (items[p.item].info.isDirectory) {
      s = writer.WriteFolder(items[p.item], replacing);
    } else {
      bool unread = false;
      s = writer.WriteFile(items[p.item], replacing, &unread);
      // Nothing already in the archive is lost because its replacement could not be read.
      if (s.ok() && unread && replacing) {
        s = out.CopyEntry(m_entries[p.existing], m_limits[p.existing]);
      }
    }
    if (!s.ok()) return Fail(ZipStep::kWrite, s);
    ++entriesDone;
    if (tick()) return Fail(ZipStep::kWrite, stopped);
  }
  s = out.Finish(m_exists ? m_reader.info().comment : std::string());
  if (!s.ok()) return Fail(ZipStep::kCommit, s);
  if (m_options.verbose && writer.totalIn() > 0) {
    m_messages.Print("total bytes=" + std::to_string(writer.totalIn()) +
                     ", compressed=" + std::to_string(writer.totalOut()) + " -> " +
                     std::to_string(PercentSaved(writer.totalOut(), writer.totalIn())) +
                     "% savings");
  }
  return {Status(), ZipStep::kCommit, m_exists, m_messages.warnings()};
}

ZipOutcome ZipRun::Add(const std::vector<std::string>& names) {
  ZipStep step = ZipStep::kReadArchive;
  if (Status s = OpenExisting(&step); !s.ok()) return Fail(step, s);
  if (names.empty()) {
    // Nothing to add: a missing archive is created empty, an existing one left alone.
    if (m_exists) {
      m_progress.SetTotals(0, 0);
      (void)m_progress.Finish(0, 0);
      return {};
    }
    return WriteArchive({}, {});
  }
  FileInfo root;
  if (!m_options.rootDir.empty() && !(Stat(m_options.rootDir, &root) && root.isDirectory)) {
    return Fail(ZipStep::kSelect,
                {StatusKind::kNotFound, "base folder not found: " + m_options.rootDir});
  }
  ScanOptions scan;
  scan.rootDir = m_options.rootDir;
  scan.recurse = m_options.recurse;
  scan.junkDirs = m_options.junkDirs;
  scan.dirEntries = m_options.dirEntries;
  scan.includeHiddenSystem = m_options.includeHiddenSystem;
  scan.archivePath = m_archive;
  std::vector<ScanItem> items;
  std::vector<std::string> unreadFolders;
  if (Status s = ScanNames(names, scan, &items, &unreadFolders); !s.ok()) {
    return Fail(ZipStep::kSelect, s);
  }
  for (const std::string& folder : unreadFolders) {
    m_messages.Warn("could not read " + folder + ": what it holds is not added");
  }

  const std::vector<Planned> plan = PlanAdd(m_entries, items, m_options);
  if (plan.empty()) {
    return Fail(ZipStep::kSelect,
                {StatusKind::kNothingToDo, "nothing to do: " + m_archive + " is up to date"});
  }
  if (m_options.encrypt) {
    const auto first = std::find_if(plan.begin(), plan.end(), [&](const Planned& p) {
      return p.item != kNone && !items[p.item].info.isDirectory;
    });
    if (first != plan.end()) {
      const ZipCallbacks& callbacks = m_messages.callbacks();
      if (!callbacks.password || !callbacks.password(items[first->item].storedName, &m_password) ||
          m_password.empty()) {
        return Fail(ZipStep::kSelect, {StatusKind::kBadPassword,
                                       "no password given: nothing was encrypted or added"});
      }
    }
    if (m_options.aes) {
      if (Status s = CryptoLibrary::Load(&m_crypto); !s.ok()) return Fail(ZipStep::kSelect, s);
    }
  }
  return WriteArchive(plan, items);
}

ZipOutcome ZipRun::Delete(const std::vector<std::string>& names) {
  if (names.empty()) return Fail(ZipStep::kSelect, {StatusKind::kNothingToDo, "nothing to delete"});
  ZipStep step = ZipStep::kReadArchive;
  if (Status s = OpenExisting(&step); !s.ok()) return Fail(step, s);
  if (!m_exists) {
    return Fail(ZipStep::kStart, {StatusKind::kNotFound, "archive not found: " + m_archive});
  }
  std::vector<size_t> deleted;
  const std::vector<Planned> plan = PlanDelete(m_entries, names, &deleted);
  if (deleted.empty()) {
    return Fail(ZipStep::kSelect,
                {StatusKind::kNothingToDo, "nothing to do: no entry of " + m_archive + " matches"});
  }
  for (size_t i : deleted) {
    if (m_messages.StopRequested(m_entries[i].name)) {
      return Fail(ZipStep::kSelect, {StatusKind::kStopped, "stopped by request"});
    }
    m_messages.Say("deleting: " + m_entries[i].name);
  }
  return WriteArchive(plan, {});
}

}  // namespace

ZipOutcome RunZip(const ZipOptions& options, const std::string& archive,
                  const std::vector<std::string>& names, const ZipCallbacks& callbacks) {
  if (archive.empty()) {
    if (callbacks.print) callbacks.print("zip error: no archive name given");
    return {{StatusKind::kNotFound, "no archive name given"}, ZipStep::kStart};
  }
  ZipRun run(options, archive, callbacks);
  return options.deleteEntries ? run.Delete(names) : run.Add(names);
}

}  // namespace cv
