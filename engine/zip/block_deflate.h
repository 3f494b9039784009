// Block-parallel deflate: a file is cut into blocks that are compressed independently (each primed
// with the 32 KiB that precede it as the dictionary) and whose outputs, concatenated in order,
// form one raw deflate stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct z_stream_s;

namespace cv {

// The window deflate can refer back into; a block's dictionary is at most this long.
inline constexpr size_t kDictionarySize = 32 * 1024;

// One raw-deflate compressor, reused for many blocks. Owns its zlib streams: neither copied nor
// moved.
class BlockDeflater {
 public:
  explicit BlockDeflater(int level);
  ~BlockDeflater();
  BlockDeflater(const BlockDeflater&) = delete;
  BlockDeflater& operator=(const BlockDeflater&) = delete;

  // Compresses data[0, size) into out (replacing its contents) as the part of a raw deflate
  // stream that follows `dictionary` (the stream's preceding uncompressed bytes, at most
  // kDictionarySize used). A block that is not the last ends on a byte boundary with no final
  // bit, so the next block's output can follow it directly; the last block ends the stream. A
  // block that deflate would enlarge is emitted as stored deflate blocks instead. Returns false
  // only when zlib fails (out of memory).
  [[nodiscard]] bool Compress(const uint8_t* dictionary, size_t dictionarySize, const uint8_t* data,
                              size_t size, bool last, std::vector<uint8_t>& out);

 private:
  [[nodiscard]] bool Run(z_stream_s* stream, const uint8_t* data, size_t size, bool last,
                         std::vector<uint8_t>& out);

  int m_level;
  z_stream_s* m_deflate = nullptr;  // the level asked for
  z_stream_s* m_store = nullptr;    // level 0, for blocks that do not shrink
};

}  // namespace cv
