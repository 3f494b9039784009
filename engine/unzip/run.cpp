#include "unzip/run.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>

#include "core/aes.h"
#include "core/format.h"
#include "core/match.h"
#include "core/overlap.h"
#include "core/progress.h"
#include "core/reader.h"
#include "core/safe_path.h"
#include "platform/code_page.h"
#include "platform/folder.h"
#include "platform/path.h"
#include "platform/zone_identifier.h"
#include "unzip/encryption.h"
#include "unzip/worker_pool.h"
#include "unzip/zone_mark.h"

namespace cv {
namespace {

// Entries at least this big are decoded with checking and writing on a thread of their own.
constexpr uint64_t kOverlapThreshold = 4 * 1024 * 1024;
// The whole-entry buffers of all workers together, input and output: every entry of the benchmark
// tree fits, and extraction stays under 64 MiB with 16 workers (bench/run).
constexpr uint64_t kWholeEntryBudget = 32 * 1024 * 1024;

// Jobs in flight at least, whatever the number of workers.
constexpr size_t kMinWindow = 64;

// Compressed size as a whole percentage of the size, rounded up, at most 32767.
unsigned Ratio(uint64_t compressed, uint64_t size) {
  if (size == 0) return 0;
  if (compressed / size >= 327) return 32767;
  auto r = (static_cast<unsigned __int128>(compressed) * 100 + size - 1) / size;
  return unsigned(std::min<unsigned __int128>(r, 32767));
}

// A stored name with a zero byte would reach every C-string reader cut at the zero, as another,
// shorter name: it is shown and matched with each zero as U+FFFD instead.
constexpr char kFlagZeroInName = char(0x80);

bool HasZero(const std::string& name) {
  return name.find('\0') != std::string::npos;
}

std::string ShownName(const std::string& name) {
  if (!HasZero(name)) return name;
  std::string shown;
  for (char c : name)
    shown += c == '\0' ? std::string_view("\xEF\xBF\xBD") : std::string_view(&c, 1);
  return shown;
}

class Run {
 public:
  Run(const DCL& options, USERFUNCTION* callbacks, const std::vector<std::string>& include,
      const std::vector<std::string>& exclude, unsigned nameCodePage,
      ProgressMeter::Callback progress)
      : m_options(options),
        m_callbacks(callbacks),
        m_include(include),
        m_exclude(exclude),
        m_nameCodePage(nameCodePage),
        m_report(options.fQuiet, callbacks),
        m_unlocker(callbacks),
        m_progress(std::move(progress)) {}

  UnzipOutcome Execute() {
    UnzipOutcome& outcome = m_report.outcome();
    if (!m_options.lpszZipFN || !m_options.lpszZipFN[0]) {
      m_report.Print(Level::kError, "error: no archive name given");
      outcome.fatal = {StatusKind::kBadOption, "no archive name"};
      return outcome;
    }
    m_archivePath = m_options.lpszZipFN;
    if (m_nameCodePage != 0) {
      if (!m_codePage.Open(m_nameCodePage)) {
        m_report.Print(Level::kError, "error: code page " + std::to_string(m_nameCodePage) +
                                          " is not available on this system");
        outcome.fatal = {StatusKind::kBadOption, "code page not available"};
        return outcome;
      }
      m_reader.SetNameCodePage(&m_codePage);
    }
    Status status = m_reader.Open(m_archivePath);
    if (!status.ok()) {
      m_report.Print(Level::kError, "error: " + status.message());
      outcome.fatal = status;
      return outcome;
    }
    if (!m_reader.info().damage.empty()) {
      ArchiveDamaged({StatusKind::kBadArchive, m_archivePath + ": " + m_reader.info().damage});
    }
    if (m_options.nvflag) {
      List();
    } else {
      Extract();
    }
    return outcome;
  }

 private:
  // Reports when due; true once the caller asked to stop, which then stops the workers too.
  bool Tick() {
    if (!m_progress.active()) return false;
    if (m_progress.Tick([&] { return std::pair{DoneBytes(), m_entriesSettled}; })) {
      m_report.outcome().stopped = true;
      m_stop = true;
    }
    return m_progress.stopped();
  }
  // Entries dealt with count whole, the ones still with the workers by what they decoded so far.
  uint64_t DoneBytes() const {
    uint64_t bytes = m_bytesSettled;
    for (const auto& job : m_inFlight) bytes += job->decoded.load(std::memory_order_relaxed);
    return bytes;
  }
  void Settle(uint64_t bytes) {
    m_bytesSettled += bytes;
    ++m_entriesSettled;
  }
  void PrintStopped() { m_report.Print(Level::kWarning, "stopped by the caller"); }

  void ArchiveDamaged(const Status& status) {
    m_report.outcome().archiveErrors = true;
    m_report.Print(Level::kError, "error: " + status.message());
  }

  // Which entries (given by name) the include and exclude names take.
  std::vector<bool> Select(const std::vector<std::string_view>& names) {
    bool caseSensitive = m_options.C_flag != 0;
    std::vector<bool> selected(names.size(), true);
    if (!m_include.empty()) {
      std::vector<bool> used;
      selected = SelectByNames(m_include, names, caseSensitive, &used);
      for (size_t k = 0; k < m_include.size(); ++k) {
        if (!used[k]) {
          m_report.outcome().unmatched = true;
          m_report.Print(Level::kWarning, "caution: filename not matched:  " + m_include[k]);
        }
      }
    }
    if (!m_exclude.empty()) {
      std::vector<bool> excluded = SelectByNames(m_exclude, names, caseSensitive);
      for (size_t i = 0; i < names.size(); ++i) {
        if (excluded[i]) selected[i] = false;
      }
    }
    return selected;
  }

  void List() {
    uint64_t totalCompressed = 0, totalSize = 0;
    unsigned count = 0;
    std::string method, name;
    uint64_t directoryRead = 0;
    auto deliver = [&](Entry& e) {
      CivilTime t = e.ListedTime();
      method = MethodText(e);
      name = ShownName(e.name);
      const char flags = char((e.encrypted() ? 0x40 : 0) | (HasZero(e.name) ? kFlagZeroInName : 0));
      if (m_callbacks && m_callbacks->SendApplicationMessage) {
        m_callbacks->SendApplicationMessage(
            e.compressedSize, e.uncompressedSize, Ratio(e.compressedSize, e.uncompressedSize),
            t.month, t.day, t.year, t.hour, t.minute, 0, name.data(), method.data(), e.crc, flags);
      }
      totalCompressed += e.compressedSize;
      totalSize += e.uncompressedSize;
      ++count;
      directoryRead += kCentralHeaderSize + e.rawName.size() + e.extra.size() + e.comment.size();
      return Tick() ? Status(StatusKind::kStopped, "stopped") : Status();
    };
    Status status;
    const uint64_t directorySize = m_reader.info().centralSize;
    if (m_include.empty() && m_exclude.empty()) {
      // Every entry: straight from the directory, in constant memory.
      m_progress.SetTotals(directorySize, m_reader.info().declaredEntries);
      if (!Tick()) status = m_reader.ForEachEntry(deliver);
    } else {
      // Exact-first matching needs every name before the first decision.
      std::vector<Entry> entries;
      status = m_reader.ReadEntries(&entries);
      std::vector<std::string> shown;
      for (const Entry& e : entries) shown.push_back(ShownName(e.name));
      std::vector<bool> selected =
          Select(std::vector<std::string_view>(shown.begin(), shown.end()));
      m_progress.SetTotals(directorySize,
                           uint64_t(std::count(selected.begin(), selected.end(), true)));
      directoryRead = directorySize;
      for (size_t i = 0; i < entries.size() && !Tick(); ++i) {
        if (selected[i]) (void)deliver(entries[i]);
      }
    }
    if (m_callbacks) {
      m_callbacks->TotalSizeComp = totalCompressed;
      m_callbacks->TotalSize = totalSize;
      m_callbacks->CompFactor = Ratio(totalCompressed, totalSize);
      m_callbacks->NumMembers = count;
      m_callbacks->cchComment = unsigned(m_reader.info().comment.size());
    }
    if (m_report.outcome().stopped) {
      PrintStopped();
      return;
    }
    if (!status.ok()) ArchiveDamaged(status);
    (void)m_progress.Finish(directoryRead, count);
  }

  void Extract() {
    UnzipOutcome& outcome = m_report.outcome();
    // First pass over the directory: only what the overlap check and the selection need, so
    // that memory stays small whatever the number of entries. The second pass streams.
    std::vector<EntrySpan> spans;
    std::vector<std::string> names;
    std::vector<uint64_t> sizes;  // with names: to total what the names select
    uint64_t totalBytes = 0;
    bool filtered = !m_include.empty() || !m_exclude.empty();
    Status status = m_reader.ForEachEntry([&](Entry& e) {
      spans.push_back(SpanOf(e));
      totalBytes += e.uncompressedSize;
      if (filtered) {
        names.push_back(ShownName(e.name));
        if (m_progress.active()) sizes.push_back(e.uncompressedSize);
      }
      return Status();
    });
    if (!status.ok()) {
      ArchiveDamaged(status);
      return;
    }
    m_testing = m_options.ntflag != 0;
    std::vector<bool> selected(spans.size(), true);
    if (filtered) selected = Select(std::vector<std::string_view>(names.begin(), names.end()));
    names = {};
    uint64_t totalEntries = spans.size();
    if (filtered && m_progress.active()) {
      totalBytes = totalEntries = 0;
      for (size_t i = 0; i < sizes.size(); ++i) {
        if (!selected[i]) continue;
        totalBytes += sizes[i];
        ++totalEntries;
      }
    }
    m_progress.SetTotals(totalBytes, totalEntries);
    if (Tick()) {
      PrintStopped();
      return;
    }
    std::vector<uint64_t> limits = ComputeEntryLimits(spans, m_reader.info());
    spans = {};

    if (!m_testing) {
      const char* dir = m_options.lpszExtractDir;
      m_targetDir = dir && dir[0] ? dir : "";
      Status made = m_folders.Make(m_targetDir);
      if (!made.ok()) {
        m_report.Print(Level::kError, "error: cannot create the target folder: " + made.message());
        outcome.writeErrors = true;
        return;
      }
      // Files from a downloaded archive stay marked as downloaded.
      std::string archiveMark;
      if (ReadZoneIdentifier(m_archivePath, &archiveMark)) {
        m_fileMark = ExtractedFileMark(archiveMark);
      }
    }

    WorkerPool pool;
    if (Status started = pool.Start(WorkerThreads()); !started.ok()) {
      m_report.Print(Level::kError, "error: " + started.message());
      outcome.fatal = started;
      return;
    }
    m_pool = &pool;
    // What the workers keep of the budget between entries (input and output each): a quarter of
    // it, so that half of the budget is always free for the entries that need more.
    m_keepWhole = size_t(kWholeEntryBudget / (4 * pool.size()));
    // Jobs in flight at most: enough that the caller, draining half of them, waits about once per
    // 32 small entries. What they hold is bounded by the budget (HeldBytes).
    const size_t window = std::max<size_t>(pool.size() * 8, kMinWindow);
    size_t index = 0;
    status = m_reader.ForEachEntry([&](Entry& e) {
      size_t i = index++;
      // The directory was read once already; a file changed in between is not followed.
      if (i >= selected.size()) return Status(StatusKind::kBadArchive, "archive changed");
      if (!selected[i]) return Status();
      if (m_progress.stopped()) return Status(StatusKind::kStopped, "stopped");
      const std::string shown = ShownName(e.name);
      if (m_callbacks && m_callbacks->ServCallBk &&
          m_callbacks->ServCallBk(shown.c_str(), static_cast<unsigned long>(shown.size())) != 0) {
        outcome.stopped = true;
        return Status(StatusKind::kStopped, "stopped");
      }
      // A full window drains by half: the caller waits once for several jobs, not once for each.
      if (m_inFlight.size() >= window) FinishSome(window / 2);
      // A stop that came while waiting: nothing more is asked of the caller.
      if (m_progress.stopped()) return Status(StatusKind::kStopped, "stopped");
      const size_t submitted = m_submitted;
      Prepare(e, limits[i]);
      // What went to no worker is dealt with already.
      if (m_submitted == submitted) Settle(e.uncompressedSize);
      if (outcome.diskFull) return Status(StatusKind::kDiskFull, "disk full");
      if (Tick()) return Status(StatusKind::kStopped, "stopped");
      return Status();
    });
    while (!m_inFlight.empty()) FinishOldest();
    m_pool = nullptr;
    if (!outcome.stopped) (void)m_progress.Finish(m_bytesSettled, m_entriesSettled);
    if (status.kind() == StatusKind::kBadArchive) ArchiveDamaged(status);

    if (m_testing) {
      if (outcome.entryErrors || outcome.archiveErrors) {
        m_report.Print(Level::kError, "At least one error was detected in " + m_archivePath + ".");
      } else if (m_processed > 0 && !outcome.stopped && outcome.badPasswords == 0 &&
                 !outcome.unsupported) {
        m_report.Print(Level::kInfo,
                       "No errors detected in compressed data of " + m_archivePath + ".");
      }
    }
    if (outcome.stopped) m_report.Print(Level::kWarning, "stopped by the caller");
  }

  // Decides what to do with one selected entry and hands its data to the workers.
  void Prepare(const Entry& e, uint64_t limit) {
    UnzipOutcome& outcome = m_report.outcome();
    if (HasZero(e.name)) {
      outcome.warnings = true;
      m_report.Print(Level::kWarning, "warning: skipped \"" + ShownName(e.name) +
                                          "\": its stored name holds a zero byte");
      return;
    }
    std::string relative;
    if (!m_testing) {
      relative = SafeRelativePath(e.name, m_options.ndflag != 0, m_options.SpaceToUnderscore != 0);
      if (e.isFolder()) {
        if (m_options.ndflag && !relative.empty()) {
          Status made = m_folders.Make(JoinPath(m_targetDir, relative));
          if (!made.ok()) {
            m_report.Fail(made, e.name);
          } else {
            m_report.Print(Level::kInfo, "   creating: " + relative + "/");
          }
        }
        return;
      }
      if (relative.empty()) {
        outcome.warnings = true;
        m_report.Print(Level::kWarning, "warning: skipped \"" + e.name + "\": no usable file name");
        return;
      }
    } else if (e.isFolder()) {
      return;
    }
    const std::string& shown = m_testing ? e.name : relative;

    // The method of the data itself: for AES, the one its AES field names.
    AesField aes;
    const AesFieldState aesState = FindAesField(e.extra, &aes);
    const bool isAes =
        e.method == kMethodAes || (e.encrypted() && aesState != AesFieldState::kAbsent);
    if (isAes) {
      Status framed = CheckAes(e, aesState, aes);
      if (!framed.ok()) {
        m_report.Fail(framed, framed.kind() == StatusKind::kBadEntry ? e.name : shown);
        return;
      }
    }
    const uint16_t method = isAes ? aes.method : e.method;
    if (method != kMethodStored && method != kMethodDeflated && method != kMethodDeflate64) {
      outcome.unsupported = true;
      m_report.Print(Level::kWarning, "   skipping: " + shown +
                                          "  unsupported compression method " +
                                          std::to_string(method) + " (" + (isAes ? "inside " : "") +
                                          MethodText(e) + ")");
      return;
    }
    if (e.encrypted() && (e.flags & kFlagStrongEncryption)) {
      outcome.unsupported = true;
      m_report.Print(Level::kWarning, "   skipping: " + shown + "  unsupported encryption");
      return;
    }

    uint64_t dataOffset = 0;
    // An encrypted entry's header is read apart: its data is not taken in with its header.
    ArchiveReader::LocalRead* read = e.encrypted() ? nullptr : &m_localRead;
    Status located = m_reader.LocateData(e, limit, &dataOffset, read);
    if (!located.ok()) {
      m_report.Fail(located, e.name);
      return;
    }

    auto job = std::make_unique<Job>();
    job->name = e.name;
    job->shown = shown;
    DecodeRequest& r = job->request;
    r.archive = &m_reader.file();
    r.dataOffset = dataOffset;
    if (read && read->data && job->held.Hold(m_budget, read->data, size_t(e.compressedSize))) {
      r.data = job->held.data();
    }
    r.compressedSize = e.compressedSize;
    r.uncompressedSize = e.uncompressedSize;
    r.method = method;
    r.crc = e.crc;
    r.lfToCrlf = !m_testing && m_options.naflag && (e.internalAttributes & kInternalText);
    r.overlapped = e.uncompressedSize >= kOverlapThreshold;
    r.budget = &m_budget;
    r.keepWhole = m_keepWhole;
    if (m_progress.active()) {
      r.decoded = &job->decoded;
      r.stop = &m_stop;
    }

    if (!m_testing) {
      job->target = JoinPath(m_targetDir, relative);
      job->mark = &m_fileMark;
      job->key = CollisionKey(job->target);
      // A job still writing the same file (duplicate or case-twin names) must land first, so
      // the overwrite rules see it.
      while (std::any_of(m_inFlight.begin(), m_inFlight.end(),
                         [&](const auto& j) { return j->key == job->key; })) {
        FinishOldest();
      }
      if (m_progress.stopped()) return;
      Status made = m_folders.Make(ParentOf(job->target));
      if (!made.ok()) {
        m_report.Fail(made, e.name);
        return;
      }
      // Only a prompt or the only-newer rule needs the existing file looked at here.
      bool decidedWithoutAsking =
          !m_options.ExtractOnlyNewer &&
          (m_options.noflag || m_replaceAll || m_replaceNone || !m_options.PromptToOverwrite);
      if (decidedWithoutAsking) {
        job->createOnWorker = true;
        job->replaceIfExists = m_options.noflag || m_replaceAll;
      } else {
        bool skipped = false;
        Status created = job->out.Create(
            job->target,
            [&](const FileInfo& existing) {
              skipped = !Replaces(e, relative, existing);
              return !skipped;
            },
            job->mark);
        if (!created.ok()) {
          m_report.Fail(created, e.name);
          return;
        }
        if (skipped) return;
      }
      job->mtime = e.ModificationTime();
    }

    if (e.encrypted()) {
      ++outcome.encryptedSeen;
      Status unlocked = m_unlocker.Unlock(e, isAes ? &aes : nullptr, &r);
      if (!unlocked.ok()) {
        job->out.Discard();
        m_report.Fail(unlocked, unlocked.kind() == StatusKind::kBadEntry ? e.name : shown);
        return;
      }
    }
    m_pool->Submit(job.get());
    ++m_submitted;
    m_report.Hold();
    m_inFlight.push_back(std::move(job));
  }

  // The overwrite rules for an existing file, on the calling thread: only newer, the options,
  // then the replace callback.
  bool Replaces(const Entry& e, const std::string& relative, const FileInfo& existing) {
    if (m_options.ExtractOnlyNewer && e.ModificationTime() <= existing.mtime) {
      m_report.Print(Level::kInfo,
                     "   skipping: " + relative + "  (not newer than the existing file)");
      return false;
    }
    bool replace = m_options.noflag || m_replaceAll;
    if (!replace && m_options.PromptToOverwrite && !m_replaceNone) {
      std::string name = relative;
      int reply =
          m_callbacks && m_callbacks->replace ? m_callbacks->replace(name.data()) : IDM_REPLACE_NO;
      if (reply == IDM_REPLACE_YES) {
        replace = true;
      } else if (reply == IDM_REPLACE_ALL) {
        replace = m_replaceAll = true;
      } else if (reply == IDM_REPLACE_NONE) {
        m_replaceNone = true;
      }
    }
    if (!replace) m_report.Print(Level::kWarning, "   skipping: " + relative + "  (file exists)");
    return replace;
  }

  // The AES field of an entry that is or claims to be AES-encrypted, checked against the entry.
  static Status CheckAes(const Entry& e, AesFieldState state, const AesField& aes) {
    switch (state) {
      case AesFieldState::kAbsent:
        return {StatusKind::kBadEntry, "AES entry without its AES extra field"};
      case AesFieldState::kDamaged:
        return {StatusKind::kBadEntry, "AES extra field damaged"};
      case AesFieldState::kUnsupported:
        return {StatusKind::kUnsupported,
                "unsupported AES version " + std::to_string(aes.vendorVersion)};
      case AesFieldState::kFound:
        break;
    }
    if (e.method != kMethodAes) {
      return {StatusKind::kBadEntry,
              "AES extra field on an entry of method " + std::to_string(e.method)};
    }
    if (!e.encrypted()) return {StatusKind::kBadEntry, "AES entry not marked as encrypted"};
    if (aes.method == kMethodAes) return {StatusKind::kBadEntry, "AES extra field damaged"};
    return {};
  }

  // Waits for a job still in flight (so that its bytes are reported while it decodes).
  void WaitFor(Job* job) {
    if (m_progress.active()) {
      m_pool->Wait(job, [this] { (void)Tick(); });
    } else {
      m_pool->Wait(job);
    }
  }

  // Finishes the `count` oldest jobs, waiting first for the last of them: jobs end about in the
  // order they began, so the others are mostly done by then.
  void FinishSome(size_t count) {
    count = std::min(count, m_inFlight.size());
    if (count == 0) return;
    WaitFor(m_inFlight[count - 1].get());
    for (size_t k = 0; k < count; ++k) FinishOldest();
  }

  // Waits for the oldest job, then makes its file final and reports it.
  void FinishOldest() {
    Job* oldest = m_inFlight.front().get();
    WaitFor(oldest);
    if (oldest->status.kind() == StatusKind::kBadPassword) {
      // The password that had worked did not fit this AES entry: asked again, in archive order,
      // and decoded on a worker again, so that the calling thread goes on reporting.
      oldest->status = m_progress.stopped() ? Status(StatusKind::kStopped, "stopped")
                                            : m_unlocker.Retry(oldest->name, &oldest->request);
      if (oldest->status.ok()) {
        oldest->done = false;
        m_pool->Submit(oldest);
        WaitFor(oldest);
      }
    }
    std::unique_ptr<Job> job = std::move(m_inFlight.front());
    m_inFlight.pop_front();
    m_report.Release([&] { Report(*job); });
    Settle(job->request.uncompressedSize);
    (void)Tick();
  }

  // The outcome of a finished job: make its file final, print its line.
  void Report(Job& job) {
    Status status = job.status;
    if (status.kind() == StatusKind::kStopped) {
      // Stopped part way by the caller: the file being written goes, silently.
      job.out.Discard();
      return;
    }
    if (status.ok() && job.out.kept()) {
      m_report.Print(Level::kWarning, "   skipping: " + job.shown + "  (file exists)");
      return;
    }
    if (status.ok()) status = job.out.Commit();
    if (!status.ok()) {
      job.out.Discard();
      m_report.Fail(status, job.shown);
      return;
    }
    ++m_processed;
    if (m_testing) {
      m_report.Print(Level::kInfo, "    testing: " + job.shown + "   OK");
    } else {
      m_report.Print(
          Level::kInfo,
          (job.request.method == kMethodStored ? " extracting: " : "  inflating: ") + job.shown);
    }
    if (const Status& marked = job.out.marked(); !marked.ok()) {
      m_report.outcome().warnings = true;
      m_report.Print(Level::kWarning,
                     "warning: " + job.shown + " is not marked as downloaded: " + marked.message());
    }
    if (!job.timeSet.ok()) {
      m_report.outcome().warnings = true;
      m_report.Print(Level::kWarning, "warning: " + job.shown + ": " + job.timeSet.message());
    }
  }

  const DCL& m_options;
  USERFUNCTION* m_callbacks;
  const std::vector<std::string>& m_include;
  const std::vector<std::string>& m_exclude;
  unsigned m_nameCodePage;
  CodePage m_codePage;
  Reporter m_report;
  Unlocker m_unlocker;
  std::string m_archivePath;
  ArchiveReader m_reader;
  ArchiveReader::LocalRead m_localRead;
  std::string m_targetDir;
  std::string m_fileMark;  // the Zone.Identifier of the files written; empty: none
  bool m_testing = false;
  WorkerPool* m_pool = nullptr;
  std::deque<std::unique_ptr<Job>> m_inFlight;
  OutputFolders m_folders;
  bool m_replaceAll = false;
  bool m_replaceNone = false;
  size_t m_processed = 0;
  ProgressMeter m_progress;
  std::atomic<bool> m_stop{false};  // the caller asked to stop: the workers end their entries
  uint64_t m_bytesSettled = 0;      // of the entries dealt with
  uint64_t m_entriesSettled = 0;
  size_t m_submitted = 0;  // jobs handed to the workers
  MemoryBudget m_budget{kWholeEntryBudget};
  size_t m_keepWhole = 0;
};

}  // namespace

UnzipOutcome RunUnzip(const DCL& options, USERFUNCTION* callbacks,
                      const std::vector<std::string>& include,
                      const std::vector<std::string>& exclude, unsigned nameCodePage,
                      ProgressMeter::Callback progress) {
  Run run(options, callbacks, include, exclude, nameCodePage, std::move(progress));
  return run.Execute();
}

}  // namespace cv
