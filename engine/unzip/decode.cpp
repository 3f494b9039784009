#include "unzip/decode.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "core/deflate64.h"
#include "core/format.h"
#include "core/line_ends.h"
#include "platform/faults.h"
#include "platform/memory.h"
#include "platform/threads.h"

namespace cv {
namespace {

constexpr size_t kInputChunk = 256 * 1024;
constexpr size_t kOutputChunk = 256 * 1024;
// Whole-entry output is checked and written in pieces this big, so that progress and a request to
// stop still come between them.
constexpr size_t kWholeChunk = 1024 * 1024;
// Whole-entry buffers a worker keeps for its next entries at least (DecodeRequest::keepWhole);
// bigger ones go back to the budget after their entry, for the other workers.
constexpr size_t kKeptWhole = 256 * 1024;

Status Corrupt(const std::string& what) {
  return {StatusKind::kBadEntry, what};
}

std::string Hex(uint32_t v) {
  char text[12];
  std::snprintf(text, sizeof text, "%08x", v);
  return text;
}

// Checks and writes decoded bytes: CRC, size limit, text conversion.
class Checker {
 public:
  Checker(const DecodeRequest& request, File* out) : m_request(request), m_out(out) {}

  Status Take(const unsigned char* data, size_t size) {
    if (m_request.stop && m_request.stop->load(std::memory_order_relaxed)) {
      return {StatusKind::kStopped, "stopped"};
    }
    CV_RETURN_IF_ERROR(Check(data, size));
    if (m_request.decoded) m_request.decoded->store(m_total, std::memory_order_relaxed);
    if (m_request.stop) detail::HoldDecode(m_total, *m_request.stop);
    return {};
  }

  Status Finish() const {
    if (m_total != m_request.uncompressedSize) {
      return Corrupt("data shorter than its header says (" + std::to_string(m_total) + " of " +
                     std::to_string(m_request.uncompressedSize) + " bytes)");
    }
    if (m_request.checkCrc && m_crc != m_request.crc) {
      return Corrupt(m_request.cipher == Cipher::kTraditional
                         ? "bad CRC " + Hex(m_crc) + " (incorrect password?)"
                         : "bad CRC " + Hex(m_crc) + " (should be " + Hex(m_request.crc) + ")");
    }
    return {};
  }

 private:
  // Checks and writes one chunk.
  Status Check(const unsigned char* data, size_t size) {
    if (size > m_request.uncompressedSize - m_total) {
      return Corrupt("data longer than its header says (" +
                     std::to_string(m_request.uncompressedSize) + " bytes)");
    }
    m_total += size;
    m_crc = libdeflate_crc32(m_crc, data, size);
    if (!m_out) return {};
    if (!m_request.lfToCrlf) return m_out->Write(data, size);
    m_text.clear();
    ConvertLineEnds(LineEnds::LfToCrLf, data, size, m_last, -1, m_text);
    if (size > 0) m_last = data[size - 1];
    return m_out->Write(m_text.data(), m_text.size());
  }

  const DecodeRequest& m_request;
  File* m_out;
  uint64_t m_total = 0;
  uint32_t m_crc = 0;
  int m_last = -1;  // the byte before the next chunk, for a CR LF pair cut by a chunk end
  std::vector<unsigned char> m_text;
};

// Hands decoded chunks to a second thread that runs the Checker, through a few rotating
// buffers; the producer waits when all are full, so memory stays fixed.
class OverlappedSink {
 public:
  explicit OverlappedSink(Checker& checker) : m_checker(checker) {
    for (auto& b : m_buffers) b.data.resize(kOutputChunk);
    m_running = Thread::Start([this] { Consume(); }, &m_thread).ok();
  }
  ~OverlappedSink() {
    Close();
    (void)m_thread.Join();
  }
  // False when no thread could be started: the caller checks on its own thread.
  bool running() const { return m_running; }
  OverlappedSink(const OverlappedSink&) = delete;
  OverlappedSink& operator=(const OverlappedSink&) = delete;

  // The buffer to fill next; waits for the consumer to free it.
  unsigned char* Acquire() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return !m_buffers[m_head].full; });
    return m_buffers[m_head].data.data();
  }
  // Passes the acquired buffer on; returns the consumer's first failure, if any.
  Status Submit(size_t size) {
    std::lock_guard lock(m_mutex);
    m_buffers[m_head].size = size;
    m_buffers[m_head].full = true;
    m_head = (m_head + 1) % kBuffers;
    m_changed.notify_all();
    return m_status;
  }
  // Waits until everything submitted is checked; returns the consumer's status.
  Status Drain() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] {
      for (const auto& b : m_buffers) {
        if (b.full) return false;
      }
      return true;
    });
    return m_status;
  }

 private:
  static constexpr size_t kBuffers = 4;
  struct Buffer {
    std::vector<unsigned char> data;
    size_t size = 0;
    bool full = false;
  };

  void Close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_changed.notify_all();
  }

  void Consume() {
    size_t tail = 0;
    for (;;) {
      std::unique_lock lock(m_mutex);
      m_changed.wait(lock, [&] { return m_buffers[tail].full || m_closed; });
      if (!m_buffers[tail].full) return;
      Buffer& b = m_buffers[tail];
      bool failed = !m_status.ok();
      lock.unlock();
      Status status;
      try {
        if (!failed) status = m_checker.Take(b.data.data(), b.size);
      } catch (const std::bad_alloc&) {
        status = {StatusKind::kOutOfMemory, "out of memory"};
      }
      lock.lock();
      if (!status.ok() && m_status.ok()) m_status = status;
      b.full = false;
      tail = (tail + 1) % kBuffers;
      m_changed.notify_all();
    }
  }

  Checker& m_checker;
  Buffer m_buffers[kBuffers];
  size_t m_head = 0;
  bool m_closed = false;
  bool m_running = false;
  Status m_status;
  Mutex m_mutex;
  CondVar m_changed;
  Thread m_thread;
};

// Reads the compressed data in chunks, decrypting (and for AES authenticating) as it goes.
class Source {
 public:
  // `whole`: room for all of the compressed data, read in one piece; else chunks of its own.
  explicit Source(const DecodeRequest& request, unsigned char* whole = nullptr)
      : m_request(request), m_keys(request.keys), m_left(request.compressedSize) {
    if (request.data) {
      // Handed out where it is: nothing to decrypt.
      m_capacity = size_t(std::min<uint64_t>(kInputChunk, std::max<uint64_t>(m_left, 1)));
    } else if (whole) {
      m_data = whole;
      m_capacity = size_t(std::max<uint64_t>(m_left, 1));
    } else {
      m_buffer.resize(size_t(std::min<uint64_t>(kInputChunk, std::max<uint64_t>(m_left, 1))));
      m_data = m_buffer.data();
      m_capacity = m_buffer.size();
    }
  }
  Status Start() {
    if (m_request.cipher != Cipher::kAes) return {};
    return m_aes.Init(*m_request.crypto, m_request.aesKeys);
  }
  uint64_t left() const { return m_left; }
  Status Next(const unsigned char** data, size_t* size) {
    size_t n = size_t(std::min<uint64_t>(m_left, m_capacity));
    if (m_request.data) {
      *data = m_request.data + (m_offset - m_request.dataOffset);
    } else {
      CV_RETURN_IF_ERROR(m_request.archive->ReadExactAt(m_offset, m_data, n));
      if (m_request.cipher == Cipher::kTraditional) m_keys.Decrypt(m_data, n);
      if (m_request.cipher == Cipher::kAes) CV_RETURN_IF_ERROR(m_aes.Decrypt(m_data, n));
      *data = m_data;
    }
    m_offset += n;
    m_left -= n;
    *size = n;
    return {};
  }
  // AES: takes what is left of the data into the authentication code, without decrypting it, and
  // compares the code with the one stored after the data.
  Status Authenticate() {
    while (m_left > 0) {
      const size_t n = size_t(std::min<uint64_t>(m_left, m_capacity));
      CV_RETURN_IF_ERROR(m_request.archive->ReadExactAt(m_offset, m_data, n));
      CV_RETURN_IF_ERROR(m_aes.Authenticate(m_data, n));
      m_offset += n;
      m_left -= n;
    }
    uint8_t stored[kAesCodeSize], computed[kAesCodeSize];
    CV_RETURN_IF_ERROR(m_request.archive->ReadExactAt(m_offset, stored, sizeof stored));
    CV_RETURN_IF_ERROR(m_aes.Finish(computed));
    if (std::memcmp(stored, computed, kAesCodeSize) != 0) {
      return Corrupt("authentication code differs: the data is damaged");
    }
    return {};
  }

 private:
  const DecodeRequest& m_request;
  ZipCrypto m_keys;
  AesCipher m_aes;
  uint64_t m_left;
  uint64_t m_offset = m_request.dataOffset;
  std::vector<unsigned char> m_buffer;
  unsigned char* m_data = nullptr;
  size_t m_capacity;
};

class Inflater {
 public:
  Inflater() = default;
  ~Inflater() {
    if (m_ready) inflateEnd(&m_stream);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool Init() {
    m_ready = inflateInit2(&m_stream, -MAX_WBITS) == Z_OK;
    return m_ready;
  }
  z_stream& stream() { return m_stream; }

 private:
  z_stream m_stream{};
  bool m_ready = false;
};

// Deflate64 through the core's decoder: input from the source, output copied into the buffers of
// `emit`.
template <typename GetBuffer, typename Emit>
Status ProduceDeflate64(Source& source, GetBuffer& buffer, Emit& emit) {
  class Input final : public Inflate64Input {
   public:
    explicit Input(Source& source) : m_source(source) {}
    Status Next(const uint8_t** data, size_t* size) override {
      *size = 0;
      return m_source.left() == 0 ? Status() : m_source.Next(data, size);
    }

   private:
    Source& m_source;
  } input(source);
  class Output final : public Inflate64Output {
   public:
    Output(GetBuffer& buffer, Emit& emit) : m_buffer(buffer), m_emit(emit) {}
    Status Take(const uint8_t* data, size_t size) override {
      while (size > 0) {
        const size_t n = std::min(size, kOutputChunk);
        unsigned char* out = m_buffer();
        std::memcpy(out, data, n);
        CV_RETURN_IF_ERROR(m_emit(out, n));
        data += n;
        size -= n;
      }
      return {};
    }

   private:
    GetBuffer& m_buffer;
    Emit& m_emit;
  } output(buffer, emit);
  uint64_t unused = 0;
  CV_RETURN_IF_ERROR(Inflate64(input, output, &unused));
  if (unused != 0 || source.left() != 0) {
    return Corrupt("compressed data ends before its stated size");
  }
  return {};
}

// Produces the decoded bytes of the entry, calling `emit(buffer, size)` per output chunk;
// `buffer()` gives the memory to fill.
template <typename GetBuffer, typename Emit>
Status Produce(const DecodeRequest& request, Source& source, GetBuffer buffer, Emit emit) {
  if (request.method == kMethodDeflate64) return ProduceDeflate64(source, buffer, emit);
  if (request.method == kMethodStored) {
    if (request.compressedSize != request.uncompressedSize) {
      return Corrupt("stored data size differs from its uncompressed size");
    }
    while (source.left() > 0) {
      const unsigned char* data;
      size_t size;
      CV_RETURN_IF_ERROR(source.Next(&data, &size));
      unsigned char* out = buffer();
      std::copy(data, data + size, out);
      CV_RETURN_IF_ERROR(emit(out, size));
    }
    return {};
  }
  Inflater inflater;
  if (!inflater.Init()) return {StatusKind::kIo, "out of memory"};
  z_stream& z = inflater.stream();
  unsigned char* out = buffer();
  z.next_out = out;
  z.avail_out = uInt(kOutputChunk);
  bool ended = false;
  while (!ended) {
    if (z.avail_in == 0 && source.left() > 0) {
      const unsigned char* data;
      size_t size;
      CV_RETURN_IF_ERROR(source.Next(&data, &size));
      z.next_in = const_cast<unsigned char*>(data);
      z.avail_in = uInt(size);
    }
    int rc = inflate(&z, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      ended = true;
    } else if (rc == Z_BUF_ERROR) {
      // No progress: with room for output, the input has run out before the stream's end.
      if (z.avail_out > 0) return Corrupt("compressed data ends early");
    } else if (rc != Z_OK) {
      return Corrupt(std::string("compressed data damaged (") + (z.msg ? z.msg : "inflate") + ")");
    }
    if (z.avail_out == 0 || (ended && z.avail_out < kOutputChunk)) {
      CV_RETURN_IF_ERROR(emit(out, kOutputChunk - z.avail_out));
      if (!ended) {
        out = buffer();
        z.next_out = out;
        z.avail_out = uInt(kOutputChunk);
      }
    }
  }
  if (z.avail_in != 0 || source.left() != 0) {
    return Corrupt("compressed data ends before its stated size");
  }
  return {};
}

// A deflated entry inflated in one call, when its buffers fit the run's budget. Nothing when they
// do not, or when the data is damaged: the entry then streams, which also says how it is damaged
// (nothing has been written yet).
std::optional<Status> DecodeWhole(const DecodeRequest& request, File* out) {
  DecodeScratch& scratch = *request.scratch;
  struct Trim {
    DecodeScratch& s;
    size_t keep;
    ~Trim() {
      s.input.Trim(keep);
      s.output.Trim(keep);
    }
  } trim{scratch, std::max(kKeptWhole, request.keepWhole)};
  const uint64_t in = request.compressedSize, size = request.uncompressedSize;
  if (in > SIZE_MAX - 1 || size > SIZE_MAX - 1) return std::nullopt;
  if ((!request.data &&
       !scratch.input.Reserve(*request.budget, size_t(std::max<uint64_t>(in, 1)))) ||
      !scratch.output.Reserve(*request.budget, size_t(std::max<uint64_t>(size, 1)))) {
    return std::nullopt;
  }
  if (!scratch.inflater) scratch.inflater = libdeflate_alloc_decompressor();
  if (!scratch.inflater) return std::nullopt;
  Source source(request, scratch.input.data());
  CV_RETURN_IF_ERROR(source.Start());
  const unsigned char* data = request.data ? request.data : scratch.input.data();
  size_t read = 0;
  if (in > 0) CV_RETURN_IF_ERROR(source.Next(&data, &read));
  size_t used = 0, produced = 0;
  if (libdeflate_deflate_decompress_ex(scratch.inflater, data, read, scratch.output.data(),
                                       size_t(size), &used, &produced) != LIBDEFLATE_SUCCESS ||
      used != read) {
    return std::nullopt;
  }
  // Checked before anything is written: damaged data leaves no file.
  if (request.cipher == Cipher::kAes) CV_RETURN_IF_ERROR(source.Authenticate());
  Checker checker(request, out);
  for (size_t at = 0; at < produced; at += kWholeChunk) {
    CV_RETURN_IF_ERROR(
        checker.Take(scratch.output.data() + at, std::min(kWholeChunk, produced - at)));
  }
  return checker.Finish();
}

}  // namespace

DecodeScratch::~DecodeScratch() {
  if (inflater) libdeflate_free_decompressor(inflater);
}

Status UnlockAes(DecodeRequest& request) {
  if (!request.aesPassword) return {};
  CV_RETURN_IF_ERROR(
      cv::UnlockAes(*request.crypto, *request.aesPassword, request.aesHeader, &request.aesKeys));
  request.aesPassword.reset();
  return {};
}

Status DecodeEntryData(const DecodeRequest& request, File* out) {
  if (request.method != kMethodStored && request.method != kMethodDeflated &&
      request.method != kMethodDeflate64) {
    return {StatusKind::kUnsupported, "unsupported method"};
  }
  if (request.method == kMethodDeflated && request.budget && request.scratch) {
    if (std::optional<Status> whole = DecodeWhole(request, out)) return *whole;
  }
  Source source(request);
  CV_RETURN_IF_ERROR(source.Start());
  Checker checker(request, out);
  Status produced;
  std::optional<OverlappedSink> sink;
  if (request.overlapped) sink.emplace(checker);
  if (sink && sink->running()) {
    produced = Produce(
        request, source, [&] { return sink->Acquire(); },
        [&](unsigned char*, size_t size) { return sink->Submit(size); });
    Status checked = sink->Drain();
    if (!checked.ok()) return checked;
  } else {
    std::vector<unsigned char> own;
    std::vector<unsigned char>& buffer = request.scratch ? request.scratch->chunk : own;
    buffer.resize(kOutputChunk);
    produced = Produce(
        request, source, [&] { return buffer.data(); },
        [&](unsigned char* data, size_t size) { return checker.Take(data, size); });
  }
  if (request.cipher == Cipher::kAes &&
      (produced.ok() || produced.kind() == StatusKind::kBadEntry)) {
    // Also after a damaged stream: a code that differs says better what went wrong.
    CV_RETURN_IF_ERROR(source.Authenticate());
  }
  CV_RETURN_IF_ERROR(produced);
  return checker.Finish();
}

}  // namespace cv
