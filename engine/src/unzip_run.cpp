#include "unzip_run.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "archive.h"
#include "extract.h"
#include "file.h"
#include "format.h"
#include "names.h"
#include "threads.h"

namespace cv {
namespace {

// Entries at least this big are decoded with checking and writing on a thread of their own.
constexpr uint64_t kOverlapThreshold = 4 * 1024 * 1024;
constexpr int kPasswordTries = 3;
constexpr size_t kPasswordBufferSize = 256;

enum class Level { kInfo, kWarning, kError };

// One entry handed to the workers: the decision is made, the data is located.
struct Job {
  size_t index = 0;
  DecodeRequest request;
  std::string target;     // final path ("" when testing)
  std::string writePath;  // where the worker writes: the target, or a temporary name beside it
  File out;               // writePath once created
  // No callback can be needed for an existing target, so the worker creates the file itself and
  // applies the rule: replace it (replaceIfExists) or keep it (keptExisting).
  bool createOnWorker = false;
  bool replaceIfExists = false;
  bool keptExisting = false;
  std::string shown;  // the name in messages
  std::string key;    // case-folded target, to keep two jobs off one file
  int64_t mtime = 0;
  bool replaces = false;  // an existing file is replaced once the data checked out
  // Lines about later entries, held back so that print output stays in archive order.
  std::vector<std::pair<Level, std::string>> after;
  Status status;
  bool done = false;
};

// Worker threads that decode jobs in any order; the calling thread collects them in order.
class WorkerPool {
 public:
  explicit WorkerPool(unsigned count) {
    for (unsigned i = 0; i < count; ++i) m_threads.emplace_back([this] { Work(); });
  }
  ~WorkerPool() {
    {
      std::lock_guard lock(m_mutex);
      m_stopping = true;
    }
    m_wake.notify_all();
    for (auto& t : m_threads) t.join();
  }
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void Submit(Job* job) {
    {
      std::lock_guard lock(m_mutex);
      m_queue.push_back(job);
    }
    m_wake.notify_one();
  }
  void Wait(Job* job) {
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [&] { return job->done; });
  }

 private:
  void Work() {
    std::vector<unsigned char> scratch;
    for (;;) {
      Job* job;
      {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty()) return;
        job = m_queue.front();
        m_queue.pop_front();
      }
      job->request.scratch = &scratch;
      Status status = Decode(*job);
      {
        std::lock_guard lock(m_mutex);
        job->status = status;
        job->done = true;
      }
      m_finished.notify_all();
    }
  }

  static Status Decode(Job& job) {
    try {
      if (job.writePath.empty()) return DecodeEntryData(job.request, nullptr);
      if (job.createOnWorker) CV_RETURN_IF_ERROR(CreateOutput(job));
      if (job.keptExisting) return {};
      File& out = job.out;
      Status status = DecodeEntryData(job.request, &out);
      if (status.ok()) status = out.SetModificationTime(job.mtime);
      Status closed = out.Close();
      if (status.ok()) status = closed;
      if (!status.ok()) (void)RemoveFile(job.writePath);
      return status;
    } catch (const std::bad_alloc&) {
      return {StatusKind::kIo, "out of memory"};
    }
  }

  // Creates the target, or for an existing one that is to be replaced a temporary file beside
  // it (named after the job, so that workers never collide).
  static Status CreateOutput(Job& job) {
    Status created = File::Open(job.target, File::Mode::kCreateNew, &job.out);
    if (created.ok()) return {};
    FileInfo existing = StatPath(job.target);
    if (!existing.exists) return created;
    if (existing.isDirectory) {
      return {StatusKind::kIo, "cannot create " + job.target + ": a folder of that name exists"};
    }
    if (!job.replaceIfExists) {
      job.keptExisting = true;
      return {};
    }
    job.replaces = true;
    for (int attempt = 0;; ++attempt) {
      job.writePath =
          job.target + ".cvz" + std::to_string(job.index) + "-" + std::to_string(attempt) + ".tmp";
      created = File::Open(job.writePath, File::Mode::kCreateNew, &job.out);
      if (created.ok() || !StatPath(job.writePath).exists) return created;
    }
  }

  std::vector<Thread> m_threads;
  std::deque<Job*> m_queue;
  bool m_stopping = false;
  Mutex m_mutex;
  CondVar m_wake;
  CondVar m_finished;
};

std::string FoldKey(const std::string& path) {
  std::string key = path;
  for (char& c : key) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return key;
}

std::vector<std::string> NameList(int count, char** names) {
  std::vector<std::string> out;
  for (int i = 0; names && i < count; ++i) {
    if (names[i] && names[i][0]) out.emplace_back(names[i]);
  }
  return out;
}

class Run {
 public:
  Run(const DCL& options, USERFUNCTION* callbacks) : m_options(options), m_callbacks(callbacks) {}

  int Execute(std::vector<std::string> include, std::vector<std::string> exclude) {
    if (!m_options.lpszZipFN || !m_options.lpszZipFN[0]) {
      Print(Level::kError, "error: no archive name given");
      return PK_PARAM;
    }
    m_archivePath = m_options.lpszZipFN;
    m_include = std::move(include);
    m_exclude = std::move(exclude);
    Status status = m_reader.Open(m_archivePath);
    if (!status.ok()) {
      Print(Level::kError, "error: " + status.message());
      return status.kind() == StatusKind::kBadArchive ? PK_BADERR : PK_NOZIP;
    }
    if (m_options.nvflag) return List();
    return Extract();
  }

 private:
  // ---- messages and callbacks (calling thread only) ----

  // Prints now, or after the lines of the entries still being decoded.
  void Print(Level level, const std::string& line) {
    if (!m_inFlight.empty() && !m_flushing) {
      m_inFlight.back()->after.emplace_back(level, line);
      return;
    }
    Emit(level, line);
  }

  void Emit(Level level, const std::string& line) {
    int quiet = m_options.fQuiet;
    bool shown = level == Level::kError || (level == Level::kWarning && quiet <= 1) || quiet <= 0;
    if (!shown || !m_callbacks || !m_callbacks->print) return;
    std::string text = line;
    m_callbacks->print(text.data(), static_cast<unsigned long>(text.size()));
  }

  void NoteFailure(const Status& status, const std::string& name) {
    switch (status.kind()) {
      case StatusKind::kBadEntry:
        m_entryErrors = true;
        Print(Level::kError, "error: " + name + ": " + status.message());
        break;
      case StatusKind::kDiskFull:
        m_diskFull = true;
        Print(Level::kError, "error: disk full: " + status.message());
        break;
      case StatusKind::kBadArchive:
        m_archiveErrors = true;
        Print(Level::kError, "error: " + status.message());
        break;
      default:
        m_writeErrors = true;
        Print(Level::kError, "error: " + status.message());
        break;
    }
  }

  // ---- selection ----

  // Which entries (given by name) the include and exclude names take.
  void Select(const std::vector<std::string_view>& names, std::vector<bool>* selected) {
    bool caseSensitive = m_options.C_flag != 0;
    std::vector<bool> used;
    if (m_include.empty()) {
      selected->assign(names.size(), true);
    } else {
      *selected = SelectByNames(m_include, names, caseSensitive, &used);
      for (size_t k = 0; k < m_include.size(); ++k) {
        if (!used[k]) {
          m_unmatched = true;
          Print(Level::kWarning, "caution: filename not matched:  " + m_include[k]);
        }
      }
    }
    if (!m_exclude.empty()) {
      std::vector<bool> excluded = SelectByNames(m_exclude, names, caseSensitive);
      for (size_t i = 0; i < names.size(); ++i) {
        if (excluded[i]) (*selected)[i] = false;
      }
    }
  }

  // ---- listing ----

  int List() {
    uint64_t totalCompressed = 0, totalSize = 0;
    unsigned count = 0;
    std::string method;
    auto deliver = [&](Entry& e) {
      LocalTime t = EntryLocalTime(e);
      method = MethodText(e);
      if (m_callbacks && m_callbacks->SendApplicationMessage) {
        m_callbacks->SendApplicationMessage(e.compressedSize, e.uncompressedSize,
                                            Ratio(e.compressedSize, e.uncompressedSize), t.month,
                                            t.day, t.year, t.hour, t.minute, 0, e.name.data(),
                                            method.data(), e.crc, char(e.encrypted() ? 0x40 : 0));
      }
      totalCompressed += e.compressedSize;
      totalSize += e.uncompressedSize;
      ++count;
      return Status();
    };
    Status status;
    if (m_include.empty() && m_exclude.empty()) {
      // Every entry: straight from the directory, in constant memory.
      status = m_reader.ForEachEntry(deliver);
    } else {
      // Exact-first matching needs every name before the first decision.
      std::vector<Entry> entries;
      status = m_reader.ReadEntries(&entries);
      std::vector<std::string_view> names;
      for (const Entry& e : entries) names.push_back(e.name);
      std::vector<bool> selected;
      Select(names, &selected);
      for (size_t i = 0; i < entries.size(); ++i) {
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
    if (!status.ok()) {
      Print(Level::kError, "error: " + status.message());
      return PK_BADERR;
    }
    return m_unmatched ? PK_FIND : PK_OK;
  }

  // Compressed size as a whole percentage of the size, rounded up, at most 32767.
  static unsigned Ratio(uint64_t compressed, uint64_t size) {
    if (size == 0) return 0;
    if (compressed / size >= 327) return 32767;
    auto r = (static_cast<unsigned __int128>(compressed) * 100 + size - 1) / size;
    return unsigned(std::min<unsigned __int128>(r, 32767));
  }

  // ---- extraction and test ----

  int Extract() {
    // First pass over the directory: only what the overlap check and the selection need, so
    // that memory stays small whatever the number of entries. The second pass streams.
    std::vector<EntrySpan> spans;
    std::vector<std::string> names;
    bool filtered = !m_include.empty() || !m_exclude.empty();
    Status status = m_reader.ForEachEntry([&](Entry& e) {
      spans.push_back(SpanOf(e));
      if (filtered) names.push_back(e.name);
      return Status();
    });
    if (!status.ok()) {
      Print(Level::kError, "error: " + status.message());
      return PK_BADERR;
    }
    m_testing = m_options.ntflag != 0;
    std::vector<bool> selected(spans.size(), true);
    if (filtered) {
      std::vector<std::string_view> views(names.begin(), names.end());
      Select(views, &selected);
    }
    names = {};
    std::vector<uint64_t> limits = ComputeEntryLimits(spans, m_reader.info());
    spans = {};

    if (!m_testing) {
      const char* dir = m_options.lpszExtractDir;
      m_targetDir = dir && dir[0] ? dir : "";
      if (!m_targetDir.empty()) {
        Status made = MakeDirectories(m_targetDir);
        if (!made.ok()) {
          Print(Level::kError, "error: cannot create the target folder: " + made.message());
          return PK_DISK;
        }
      }
    }

    unsigned threads = HardwareThreads();
    WorkerPool pool(threads);
    m_pool = &pool;
    const size_t window = threads * 8;
    bool stopped = false;
    size_t index = 0;
    status = m_reader.ForEachEntry([&](Entry& e) {
      size_t i = index++;
      // The directory was read once already; a file changed in between is not followed.
      if (i >= selected.size()) return Status(StatusKind::kBadArchive, "archive changed");
      if (!selected[i]) return Status();
      if (m_callbacks && m_callbacks->ServCallBk &&
          m_callbacks->ServCallBk(e.name.c_str(), static_cast<unsigned long>(e.name.size())) != 0) {
        stopped = true;
        return Status(StatusKind::kStopped, "stopped");
      }
      while (m_inFlight.size() >= window) FinishOldest();
      Prepare(e, limits[i], i);
      if (m_diskFull) return Status(StatusKind::kDiskFull, "disk full");
      return Status();
    });
    while (!m_inFlight.empty()) FinishOldest();
    m_pool = nullptr;
    if (!status.ok() && status.kind() == StatusKind::kBadArchive) {
      m_archiveErrors = true;
      Print(Level::kError, "error: " + status.message());
    }

    if (m_testing) {
      if (m_entryErrors || m_archiveErrors) {
        Print(Level::kError, "At least one error was detected in " + m_archivePath + ".");
      } else if (m_processed > 0 && !stopped && m_badPasswords == 0 && !m_unsupported) {
        Print(Level::kInfo, "No errors detected in compressed data of " + m_archivePath + ".");
      }
    }
    if (stopped) {
      Print(Level::kWarning, "stopped by the caller");
      return IZ_CTRLC;
    }
    if (m_diskFull || m_writeErrors) return PK_DISK;
    if (m_archiveErrors) return PK_BADERR;
    if (m_entryErrors) return PK_ERR;
    if (m_encryptedSeen > 0 && m_badPasswords == m_encryptedSeen) return IZ_BADPWD;
    if (m_unsupported) return IZ_UNSUP;
    if (m_unmatched) return PK_FIND;
    if (m_badPasswords > 0 || m_warnings) return PK_WARN;
    return PK_OK;
  }

  Status MakeDirectories(const std::string& path) {
    if (path.empty() || m_madeDirs.count(path)) return {};
    FileInfo info = StatPath(path);
    if (!info.exists) {
      size_t cut = path.find_last_of(PathSeparator() == '/' ? "/" : "/\\");
      if (cut != std::string::npos && cut > 0) {
        std::string parent = path.substr(0, cut);
        // "C:" and "\\server\share" roots need not be made.
        if (parent.back() != ':' && parent.find_first_not_of("/\\") != std::string::npos) {
          CV_RETURN_IF_ERROR(MakeDirectories(parent));
        }
      }
      CV_RETURN_IF_ERROR(MakeDirectory(path));
    } else if (!info.isDirectory) {
      return {StatusKind::kIo, "cannot create folder " + path + ": a file of that name exists"};
    }
    m_madeDirs.insert(path);
    return {};
  }

  // Decides what to do with one selected entry and hands its data to the workers.
  void Prepare(const Entry& e, uint64_t limit, size_t index) {
    std::string relative;
    if (!m_testing) {
      relative = SafeRelativePath(e.name, m_options.ndflag != 0, m_options.SpaceToUnderscore != 0);
      if (e.isFolder()) {
        if (m_options.ndflag && !relative.empty()) {
          Status made = MakeDirectories(JoinPath(m_targetDir, relative));
          if (!made.ok()) {
            NoteFailure(made, e.name);
          } else {
            Print(Level::kInfo, "   creating: " + relative + "/");
          }
        }
        return;
      }
      if (relative.empty()) {
        m_warnings = true;
        Print(Level::kWarning, "warning: skipped \"" + e.name + "\": no usable file name");
        return;
      }
    } else if (e.isFolder()) {
      return;
    }
    const std::string& shown = m_testing ? e.name : relative;

    if (e.method != kMethodStored && e.method != kMethodDeflated) {
      m_unsupported = true;
      Print(Level::kWarning, "   skipping: " + shown + "  unsupported compression method " +
                                 std::to_string(e.method) + " (" + MethodText(e) + ")");
      return;
    }
    if (e.encrypted() && (e.flags & kFlagStrongEncryption)) {
      m_unsupported = true;
      Print(Level::kWarning, "   skipping: " + shown + "  unsupported encryption");
      return;
    }

    uint64_t dataOffset = 0;
    Status located = m_reader.LocateData(e, limit, &dataOffset);
    if (!located.ok()) {
      NoteFailure(located, e.name);
      return;
    }

    auto job = std::make_unique<Job>();
    job->index = index;
    job->shown = shown;
    DecodeRequest& r = job->request;
    r.archive = &m_reader.file();
    r.dataOffset = dataOffset;
    r.compressedSize = e.compressedSize;
    r.uncompressedSize = e.uncompressedSize;
    r.method = e.method;
    r.crc = e.crc;
    r.lfToCrlf = !m_testing && m_options.naflag && (e.internalAttributes & kInternalText);
    r.overlapped = e.uncompressedSize >= kOverlapThreshold;

    if (!m_testing) {
      job->target = JoinPath(m_targetDir, relative);
      job->key = FoldKey(job->target);
      // A job still writing the same file (duplicate or case-twin names) must land first, so
      // the overwrite rules see it.
      while (std::any_of(m_inFlight.begin(), m_inFlight.end(),
                         [&](const auto& j) { return j->key == job->key; })) {
        FinishOldest();
      }
      Status made = MakeDirectories(ParentOf(job->target));
      if (!made.ok()) {
        NoteFailure(made, e.name);
        return;
      }
      // Only a prompt or the only-newer rule needs the existing file looked at here.
      bool decidedWithoutAsking =
          !m_options.ExtractOnlyNewer &&
          (m_options.noflag || m_replaceAll || m_replaceNone || !m_options.PromptToOverwrite);
      if (decidedWithoutAsking) {
        job->createOnWorker = true;
        job->replaceIfExists = m_options.noflag || m_replaceAll;
        job->writePath = job->target;
      } else if (!OpenOutput(e, relative, job.get())) {
        return;
      }
      job->mtime = e.ModificationTime();
    }

    if (e.encrypted()) {
      ++m_encryptedSeen;
      if (e.compressedSize < kEncryptionHeaderSize) {
        NoteFailure({StatusKind::kBadEntry, "encrypted data shorter than its header"}, e.name);
        DiscardOutput(*job);
        return;
      }
      if (!FindPassword(e, dataOffset, shown, &r.keys)) {
        DiscardOutput(*job);
        return;
      }
      r.encrypted = true;
      r.dataOffset += kEncryptionHeaderSize;
      r.compressedSize -= kEncryptionHeaderSize;
    }
    m_pool->Submit(job.get());
    m_inFlight.push_back(std::move(job));
  }

  static std::string ParentOf(const std::string& path) {
    size_t cut = path.find_last_of(PathSeparator() == '/' ? "/" : "/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
  }

  std::string TemporaryName(const std::string& target) {
    for (;;) {
      std::string name = target + ".cvz" + std::to_string(++m_tempCounter) + ".tmp";
      if (!StatPath(name).exists) return name;
    }
  }

  // Creates the file the job writes: the target itself when it is new (one exclusive create,
  // no separate existence check), else, when the overwrite rules allow replacing the existing
  // file, a temporary file beside it. False: the entry is not extracted.
  bool OpenOutput(const Entry& e, const std::string& relative, Job* job) {
    Status created = File::Open(job->target, File::Mode::kCreateNew, &job->out);
    if (created.ok()) {
      job->writePath = job->target;
      return true;
    }
    FileInfo existing = StatPath(job->target);
    if (!existing.exists) {
      NoteFailure(created, e.name);
      return false;
    }
    if (existing.isDirectory) {
      NoteFailure(
          {StatusKind::kIo, "cannot create " + job->target + ": a folder of that name exists"},
          e.name);
      return false;
    }
    if (m_options.ExtractOnlyNewer && e.ModificationTime() <= existing.mtime) {
      Print(Level::kInfo, "   skipping: " + relative + "  (not newer than the existing file)");
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
    if (!replace) {
      Print(Level::kWarning, "   skipping: " + relative + "  (file exists)");
      return false;
    }
    job->replaces = true;
    job->writePath = TemporaryName(job->target);
    created = File::Open(job->writePath, File::Mode::kCreateNew, &job->out);
    if (!created.ok()) {
      NoteFailure(created, e.name);
      return false;
    }
    return true;
  }

  // Takes back the file created for a job that will not run.
  static void DiscardOutput(Job& job) {
    if (!job.out.is_open()) return;
    (void)job.out.Close();
    (void)RemoveFile(job.writePath);
  }

  // Finds the keys for an encrypted entry: the password that worked last, then up to three
  // answers of the password callback, each checked against the header's check byte.
  bool FindPassword(const Entry& e, uint64_t dataOffset, const std::string& shown,
                    ZipCrypto* keys) {
    unsigned char header[kEncryptionHeaderSize];
    Status read = m_reader.file().ReadExactAt(dataOffset, header, sizeof header);
    if (!read.ok()) {
      NoteFailure({StatusKind::kBadEntry, read.message()}, e.name);
      return false;
    }
    uint8_t check =
        (e.flags & kFlagDataDescriptor) ? uint8_t(e.dosTime >> 8) : uint8_t(e.crc >> 24);
    auto tryPassword = [&](const std::string& password) {
      unsigned char copy[kEncryptionHeaderSize];
      std::memcpy(copy, header, sizeof copy);
      keys->Init(password);
      return keys->DecryptHeader(copy, check);
    };
    if (m_havePassword && tryPassword(m_password)) return true;
    bool given = false;
    for (int attempt = 0; attempt < kPasswordTries; ++attempt) {
      if (!m_callbacks || !m_callbacks->password) break;
      char buffer[kPasswordBufferSize] = {};
      const char* prompt = attempt == 0 ? "Enter password:" : "Incorrect password, enter again:";
      if (m_callbacks->password(buffer, int(sizeof buffer), prompt, e.name.c_str()) != 0) break;
      given = true;
      std::string password(buffer, strnlen(buffer, sizeof buffer));
      if (tryPassword(password)) {
        m_password = password;
        m_havePassword = true;
        return true;
      }
    }
    ++m_badPasswords;
    Print(Level::kWarning,
          "   skipping: " + shown + (given ? "  incorrect password" : "  no password given"));
    return false;
  }

  // Waits for the oldest job, then makes its file final and reports it.
  void FinishOldest() {
    std::unique_ptr<Job> job = std::move(m_inFlight.front());
    m_inFlight.pop_front();
    m_pool->Wait(job.get());
    m_flushing = true;
    Report(*job);
    for (const auto& [level, line] : job->after) Emit(level, line);
    m_flushing = false;
  }

  // The outcome of a finished job: make its file final, print its line.
  void Report(Job& job) {
    Status status = job.status;
    if (status.ok() && job.keptExisting) {
      Print(Level::kWarning, "   skipping: " + job.shown + "  (file exists)");
      return;
    }
    if (status.ok() && job.replaces) {
      status = RenameReplace(job.writePath, job.target);
      if (!status.ok()) (void)RemoveFile(job.writePath);
    }
    if (!status.ok()) {
      NoteFailure(status, job.shown);
      return;
    }
    ++m_processed;
    if (m_testing) {
      Print(Level::kInfo, "    testing: " + job.shown + "   OK");
    } else {
      Print(Level::kInfo,
            (job.request.method == kMethodStored ? " extracting: " : "  inflating: ") + job.shown);
    }
  }

  const DCL& m_options;
  USERFUNCTION* m_callbacks;
  std::string m_archivePath;
  std::vector<std::string> m_include;
  std::vector<std::string> m_exclude;
  ArchiveReader m_reader;
  std::string m_targetDir;
  bool m_testing = false;
  bool m_flushing = false;
  WorkerPool* m_pool = nullptr;
  std::deque<std::unique_ptr<Job>> m_inFlight;
  std::unordered_set<std::string> m_madeDirs;
  uint64_t m_tempCounter = 0;

  bool m_replaceAll = false;
  bool m_replaceNone = false;
  bool m_havePassword = false;
  std::string m_password;

  size_t m_processed = 0;
  size_t m_encryptedSeen = 0;
  size_t m_badPasswords = 0;
  bool m_unmatched = false;
  bool m_unsupported = false;
  bool m_warnings = false;
  bool m_entryErrors = false;
  bool m_archiveErrors = false;
  bool m_writeErrors = false;
  bool m_diskFull = false;
};

}  // namespace

int RunUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv, const DCL& options,
             USERFUNCTION* callbacks) {
  try {
    Run run(options, callbacks);
    return run.Execute(NameList(ifnc, ifnv), NameList(xfnc, xfnv));
  } catch (const std::bad_alloc&) {
    return PK_MEM;
  } catch (...) {
    return PK_BADERR;
  }
}

}  // namespace cv
