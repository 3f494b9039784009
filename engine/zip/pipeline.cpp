#include "zip/pipeline.h"

#include <libdeflate.h>

#include <algorithm>
#include <new>

#include "core/progress.h"
#include "platform/file.h"
#include "zip/block_deflate.h"

namespace cv {

Status ReadSourceBlock(const PipelineSource& source, uint64_t offset, uint64_t length,
                       std::vector<uint8_t>* out, std::vector<uint8_t>* dictionary) {
  File file;
  CV_RETURN_IF_ERROR(File::Open(source.path, File::Mode::kRead, &file));
  const bool convert = source.lineEnds != LineEnds::Keep;
  // Converting needs one byte on each side; a dictionary needs the raw bytes before the block
  // (twice 32 KiB when converting, as CR LF to LF can halve them).
  const uint64_t back =
      std::min<uint64_t>(offset, dictionary ? (convert ? 2 * kDictionarySize + 1 : kDictionarySize)
                                            : (convert ? 1 : 0));
  const uint64_t ahead = convert && offset + length < source.size ? 1 : 0;
  // The last block asks for one byte more, which must not be there: a file that grew since it
  // was scanned is as changed as one that shrank.
  const bool last = offset + length == source.size;
  const size_t wanted = size_t(back + length + ahead);
  std::vector<uint8_t> raw(wanted + (last ? 1 : 0));
  size_t got = 0;
  CV_RETURN_IF_ERROR(file.ReadAt(offset - back, raw.data(), raw.size(), &got));
  if (got != wanted) {
    return {StatusKind::kIo, "cannot read " + source.path + ": the file became " +
                                 (got < wanted ? "shorter" : "longer")};
  }
  raw.resize(wanted);
  const uint8_t* block = raw.data() + back;
  out->clear();
  if (!convert) {
    out->assign(block, block + length);
    if (dictionary) dictionary->assign(raw.cbegin(), raw.cbegin() + ptrdiff_t(back));
    return {};
  }
  const int before = back > 0 ? block[-1] : -1;
  const int after = ahead ? block[length] : -1;
  ConvertLineEnds(source.lineEnds, block, size_t(length), before, after, *out);
  if (dictionary && back > 0) {
    dictionary->clear();
    // The converted bytes before the block, of which the last 32 KiB are kept.
    const size_t dictRaw = size_t(back) - (back == offset ? 0 : 1);
    const uint8_t* start = block - dictRaw;
    ConvertLineEnds(source.lineEnds, start, dictRaw, back == offset ? -1 : start[-1], block[0],
                    *dictionary);
    if (dictionary->size() > kDictionarySize) {
      dictionary->erase(dictionary->begin(), dictionary->end() - kDictionarySize);
    }
  } else if (dictionary) {
    dictionary->clear();
  }
  return {};
}

uint64_t CompressPipeline::MaxDataSize(uint64_t size, LineEnds lineEnds) {
  // Each block, converted (LF to CR LF can double it), at worst as stored deflate blocks: zlib cuts
  // them at 16 KiB or more, 5 bytes of header each, and a block that is not the last ends with an
  // empty one. A whole file that does not shrink is stored as it is, which costs less.
  const uint64_t grow = lineEnds == LineEnds::LfToCrLf ? 2 : 1;
  auto blockCost = [](uint64_t bytes) { return bytes + 5 * (bytes / 16384 + 2); };
  const uint64_t blocks = BlockCount(size);
  const uint64_t last = size - (blocks - 1) * kBlockSize;
  return (blocks - 1) * blockCost(grow * kBlockSize) + blockCost(grow * last);
}

CompressPipeline::CompressPipeline(std::vector<PipelineSource> sources, int level,
                                   AesFrameMaker makeFrame)
    : m_sources(std::move(sources)), m_level(level), m_makeFrame(std::move(makeFrame)) {
  for (size_t i = 0; i < m_sources.size(); ++i) {
    const PipelineSource& source = m_sources[i];
    // Read, converted (LF to CR LF can double it), and compressed into at most as much.
    const uint64_t grow = source.lineEnds == LineEnds::LfToCrLf ? 2 : 1;
    if (m_level > 0 && source.size <= kWholeFileSize) {
      // Paged: the file as read (and one byte more, which must not be there), converted when
      // asked, and room for its compressed form, which must be smaller.
      const bool convert = source.lineEnds != LineEnds::Keep;
      const uint64_t paged = source.size <= kPagedWholeFile
                                 ? 0
                                 : source.size + 1 + (convert ? 2 * grow : 1) * source.size;
      if (paged <= kWholeFileBudget) {
        m_jobs.push_back(
            {i, 0, source.size, true, true, paged ? 0 : source.size * (1 + 2 * grow), paged});
        continue;
      }
    }
    const uint64_t n = BlockCount(source.size);
    for (uint64_t b = 0; b < n; ++b) {
      const uint64_t offset = b * kBlockSize;
      const uint64_t length = std::min<uint64_t>(kBlockSize, source.size - offset);
      m_jobs.push_back({i, offset, length, b == 0, b + 1 == n, length * (1 + 2 * grow), 0});
    }
  }
  const unsigned threads = WorkerThreads();
  // Enough blocks in flight to keep every worker busy while the writer catches up; 64 blocks of
  // 512 KiB bound the input and the output held at once to about 64 MiB together.
  m_window = std::min<size_t>(64, std::max<size_t>(8, threads * 8));
  m_slots.resize(m_window);
  m_ready.assign(m_window, false);
  if (m_jobs.empty()) return;
  for (unsigned t = 0; t < threads && m_started.ok(); ++t) {
    Thread worker;
    m_started = Thread::Start([this] { Work(); }, &worker);
    if (m_started.ok()) m_workers.push_back(std::move(worker));
  }
  // Fewer workers than asked for still do all the work.
  if (!m_workers.empty()) m_started = {};
}

CompressPipeline::~CompressPipeline() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_changed.notify_all();
  // Work catches what a block throws, so a worker that failed has nothing left to tell.
  for (Thread& t : m_workers) (void)t.Join();
}

// A worker's compressors: zlib's for blocks, libdeflate's (made when first needed) for whole files.
struct CompressPipeline::Deflaters {
  explicit Deflaters(int level) : level(level), blocks(level > 0 ? level : 1) {}
  ~Deflaters() {
    if (whole) libdeflate_free_compressor(whole);
  }
  Deflaters(const Deflaters&) = delete;
  Deflaters& operator=(const Deflaters&) = delete;

  int level;
  BlockDeflater blocks;
  libdeflate_compressor* whole = nullptr;
};

void CompressPipeline::Compress(const Job& job, BlockResult* r, Deflaters& deflaters) {
  const PipelineSource& source = m_sources[job.source];
  r->source = job.source;
  r->first = job.first;
  r->last = job.last;
  r->deflated = false;
  if (job.first && m_makeFrame) {
    r->frameStatus = m_makeFrame(&r->aesHeader, &r->aesKeys);
    r->framed = r->frameStatus.ok();
  }
  if (job.paged) return CompressPaged(job, r, deflaters);
  std::vector<uint8_t> plain, dictionary;
  const bool single = job.first && job.last;
  r->status = ReadSourceBlock(source, job.offset, job.length, &plain,
                              m_level > 0 && !single ? &dictionary : nullptr);
  if (!r->status.ok()) return;
  r->size = plain.size();
  r->crc = libdeflate_crc32(0, plain.data(), plain.size());
  if (m_level > 0 && single) {
    if (!deflaters.whole) deflaters.whole = libdeflate_alloc_compressor(m_level);
    if (!deflaters.whole) {
      r->status = {StatusKind::kOutOfMemory, "out of memory compressing " + source.path};
      return;
    }
    // Room for less than the file: one that does not shrink is stored instead.
    r->data.resize(plain.size() > 0 ? plain.size() - 1 : 0);
    const size_t size =
        plain.empty() ? 0
                      : libdeflate_deflate_compress(deflaters.whole, plain.data(), plain.size(),
                                                    r->data.data(), r->data.size());
    if (size > 0) {
      r->data.resize(size);
      r->deflated = true;
      return;
    }
  } else if (m_level > 0) {
    if (!deflaters.blocks.Compress(dictionary.data(), dictionary.size(), plain.data(), plain.size(),
                                   job.last, r->data)) {
      r->status = {StatusKind::kIo, "out of memory compressing " + source.path};
      return;
    }
    r->deflated = true;
    return;
  }
  r->data = std::move(plain);
}

void CompressPipeline::CompressPaged(const Job& job, BlockResult* r, Deflaters& deflaters) {
  const PipelineSource& source = m_sources[job.source];
  // What the buffers do not hold goes back once the job is done, before its result is stored.
  struct GiveBack {
    MemoryBudget& budget;
    uint64_t held;
    ~GiveBack() { budget.Give(held); }
  } unused{m_wholeBudget, job.paged};
  const auto outOfMemory = [&] {
    r->status = {StatusKind::kOutOfMemory, "out of memory compressing " + source.path};
  };
  WholeBuffer input;
  const size_t size = size_t(source.size);
  unused.held -= size + 1;
  if (!input.Adopt(m_wholeBudget, size + 1)) return outOfMemory();
  File file;
  r->status = File::Open(source.path, File::Mode::kRead, &file);
  size_t got = 0;
  if (r->status.ok()) r->status = file.ReadAt(0, input.data(), size + 1, &got);
  if (!r->status.ok()) return;
  // A file that grew since it was scanned is as changed as one that shrank.
  if (got != size) {
    r->status = {StatusKind::kIo, "cannot read " + source.path + ": the file became " +
                                      (got < size ? "shorter" : "longer")};
    return;
  }
  std::vector<uint8_t> converted;
  const uint8_t* plain = input.data();
  size_t plainSize = size;
  if (source.lineEnds != LineEnds::Keep) {
    ConvertLineEnds(source.lineEnds, input.data(), size, -1, -1, converted);
    plain = converted.data();
    plainSize = converted.size();
  }
  r->size = plainSize;
  r->crc = libdeflate_crc32(0, plain, plainSize);
  if (!deflaters.whole) deflaters.whole = libdeflate_alloc_compressor(m_level);
  if (!deflaters.whole) return outOfMemory();
  // Room for less than the file: one that does not shrink is stored instead.
  WholeBuffer output;
  const size_t room = plainSize - 1;
  unused.held -= room;
  if (!output.Adopt(m_wholeBudget, room)) return outOfMemory();
  const size_t packed =
      libdeflate_deflate_compress(deflaters.whole, plain, plainSize, output.data(), room);
  if (packed > 0) {
    r->paged = std::move(output);
    r->pagedSize = packed;
    r->deflated = true;
  } else if (converted.empty()) {
    r->paged = std::move(input);
    r->pagedSize = size;
  } else {
    r->data = std::move(converted);
  }
}

void CompressPipeline::Work() {
  Deflaters deflaters(m_level);
  for (;;) {
    size_t j;
    {
      std::unique_lock lock(m_mutex);
      m_changed.wait(lock, [&] {
        if (m_stopping || m_claimed == m_jobs.size()) return true;
        if (m_claimed >= m_consumed + m_window) return false;
        // Taken in the order of the jobs, so a paged job waits only for older ones, which
        // need nothing more to be written.
        const Job& next = m_jobs[m_claimed];
        if (next.paged) return m_wholeBudget.Take(next.paged);
        // The oldest job outstanding may always go, whatever it costs.
        return m_claimed == m_consumed || m_inFlight + next.cost <= kPipelineBudget;
      });
      if (m_stopping || m_claimed == m_jobs.size()) return;
      j = m_claimed++;
      m_inFlight += m_jobs[j].cost;
    }
    BlockResult result;
    try {
      Compress(m_jobs[j], &result, deflaters);
    } catch (const std::bad_alloc&) {
      // No exception may end a worker: the block fails, and the writer reports it.
      result.status = {StatusKind::kOutOfMemory, "out of memory"};
    } catch (...) {
      result.status = {StatusKind::kIo, "compressing failed"};
    }
    m_bytesRead.fetch_add(m_jobs[j].length, std::memory_order_relaxed);
    {
      std::lock_guard lock(m_mutex);
      m_slots[j % m_window] = std::move(result);
      m_ready[j % m_window] = true;
    }
    m_changed.notify_all();
  }
}

bool CompressPipeline::Next(BlockResult* result) {
  // The previous result's pages go back first: a worker may be waiting for them.
  const bool released = result->paged.data() != nullptr;
  result->paged.Free();
  std::unique_lock lock(m_mutex);
  if (released) m_changed.notify_all();
  if (m_consumed == m_jobs.size()) return false;
  const size_t slot = m_consumed % m_window;
  if (!m_idle) {
    m_changed.wait(lock, [&] { return bool(m_ready[slot]); });
  }
  // Workers finishing other blocks wake this wait too: the idle call's own clock decides.
  while (!m_ready[slot]) {
    (void)m_changed.wait_for(lock, kProgressInterval);
    if (m_ready[slot]) break;
    lock.unlock();
    m_gaveUp = m_idle();
    if (m_gaveUp) return false;
    lock.lock();
  }
  *result = std::move(m_slots[slot]);
  m_ready[slot] = false;
  m_inFlight -= m_jobs[m_consumed].cost;
  ++m_consumed;
  lock.unlock();
  m_changed.notify_all();
  return true;
}

}  // namespace cv
