// Compression on worker threads: the files to add are cut into blocks, the blocks are read,
// converted and compressed by as many workers as there are cores, and the results are handed back
// strictly in order. At most a fixed number of blocks is in flight, so memory stays bounded
// whatever the file sizes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/aes.h"
#include "core/line_ends.h"
#include "core/status.h"
#include "platform/memory.h"
#include "platform/threads.h"

namespace cv {

inline constexpr size_t kBlockSize = 512 * 1024;
// A file up to this size is compressed whole, in one call of libdeflate on one worker; a bigger
// one is cut into blocks that zlib compresses on every worker.
inline constexpr uint64_t kWholeFileSize = 16 * 1024 * 1024;
// A whole file bigger than this is read and compressed into buffers of the system's pages, drawn
// from one budget that all workers share (input and output counted), so that the memory held
// stays the same at any worker count; a job whose buffers do not fit what is left waits for the
// jobs before it to be written. Smaller ones use the heap, where allocating pages would cost
// more than compressing them.
inline constexpr uint64_t kPagedWholeFile = 256 * 1024;
inline constexpr uint64_t kWholeFileBudget = 64 * 1024 * 1024;
// What the jobs in flight may hold together, read and compressed (a job may go over it alone).
inline constexpr uint64_t kPipelineBudget = 32 * 1024 * 1024;

struct PipelineSource {
  std::string path;
  uint64_t size = 0;  // as scanned; the file is read up to this size
  LineEnds lineEnds = LineEnds::Keep;
};

struct BlockResult {
  Status status;
  size_t source = 0;
  bool first = false;
  bool last = false;
  bool deflated = false;  // data is a piece of a raw deflate stream, else the block's own bytes
  uint32_t crc = 0;       // of the block's (converted) bytes
  uint64_t size = 0;      // converted bytes in the block
  std::vector<uint8_t> data;
  // A paged whole file's data, in place of `data`: `pagedSize` bytes of `paged`.
  WholeBuffer paged;
  size_t pagedSize = 0;
  uint8_t* bytes() { return paged.data() ? paged.data() : data.data(); }
  size_t byteCount() const { return paged.data() ? pagedSize : data.size(); }
  // With a file's first block, when the pipeline makes AES frames: the file's salt, check value
  // and keys (`frameStatus` the failure of the system's cryptography).
  bool framed = false;
  Status frameStatus;
  AesHeader aesHeader;
  AesKeys aesKeys;
};

// Makes the AES frame of a new entry: a salt and the keys derived from it.
using AesFrameMaker = std::function<Status(AesHeader* header, AesKeys* keys)>;

// Reads bytes [offset, offset + length) of a source, converted, into out. dictionary receives the
// converted bytes just before them (up to 32 KiB) when not null.
Status ReadSourceBlock(const PipelineSource& source, uint64_t offset, uint64_t length,
                       std::vector<uint8_t>* out, std::vector<uint8_t>* dictionary);

class CompressPipeline {
 public:
  // level 0 stores. A source compressed whole whose deflated form is not smaller comes back stored.
  // Starts as many workers as there are processors, or as many as the system gives (started()).
  // `makeFrame`, when given, runs on the workers with each file's first block: the derivation of
  // AES keys is slow on purpose, and so runs on every core.
  CompressPipeline(std::vector<PipelineSource> sources, int level, AesFrameMaker makeFrame = {});
  ~CompressPipeline();
  CompressPipeline(const CompressPipeline&) = delete;
  CompressPipeline& operator=(const CompressPipeline&) = delete;

  // A failure when there are blocks to compress and no worker could be started.
  const Status& started() const { return m_started; }
  const PipelineSource& source(size_t i) const { return m_sources[i]; }
  // Number of blocks of a source as the stored path reads it.
  static uint64_t BlockCount(uint64_t size) {
    return size == 0 ? 1 : (size + kBlockSize - 1) / kBlockSize;
  }
  // The most bytes the compressed data of a source of `size` bytes can take, whatever it holds.
  static uint64_t MaxDataSize(uint64_t size, LineEnds lineEnds);

  // The next block in order (sources in order, blocks of each in order). False after the last,
  // and when `idle` gave up.
  bool Next(BlockResult* result);
  // Called about every kProgressInterval while Next waits for a block, unlocked, on Next's thread;
  // true gives up waiting: Next returns false and gaveUp() tells.
  void SetIdle(std::function<bool()> idle) { m_idle = std::move(idle); }
  bool gaveUp() const { return m_gaveUp; }
  // The bytes of the sources the workers have dealt with (read, failed or not), as they go.
  uint64_t bytesRead() const { return m_bytesRead.load(std::memory_order_relaxed); }

 private:
  struct Job {
    size_t source;
    uint64_t offset;
    uint64_t length;
    bool first;
    bool last;
    uint64_t cost;   // of the budget, while in flight
    uint64_t paged;  // taken from the whole files' budget when claimed (0: not a paged job)
  };
  struct Deflaters;
  void Work();
  void Compress(const Job& job, BlockResult* result, Deflaters& deflaters);
  // A paged whole file (Job::paged taken); gives back what its buffers do not hold.
  void CompressPaged(const Job& job, BlockResult* result, Deflaters& deflaters);

  std::vector<PipelineSource> m_sources;
  std::vector<Job> m_jobs;
  int m_level;
  AesFrameMaker m_makeFrame;
  size_t m_window;
  Mutex m_mutex;
  CondVar m_changed;
  size_t m_claimed = 0;     // jobs handed to workers
  size_t m_consumed = 0;    // results handed out by Next
  uint64_t m_inFlight = 0;  // the cost of the jobs claimed and not yet handed out
  MemoryBudget m_wholeBudget{kWholeFileBudget};
  bool m_stopping = false;
  std::vector<BlockResult> m_slots;  // m_window results, job j in slot j % m_window
  std::vector<bool> m_ready;
  std::vector<Thread> m_workers;
  Status m_started;
  std::function<bool()> m_idle;
  bool m_gaveUp = false;
  std::atomic<uint64_t> m_bytesRead{0};
};

}  // namespace cv
