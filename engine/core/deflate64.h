// Decoding Deflate64 (method 9), which no library offers to both builds: deflate with a 64 KiB
// window, length code 285 carrying 16 extra bits (lengths 3 to 65,538) and distance codes 30 and
// 31 (distances up to 65,536). Streaming in fixed memory whatever the entry's size: compressed
// bytes are pulled in chunks, decoded bytes pushed in chunks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/status.h"

namespace cv {

// Where the decoder reads: the next chunk of compressed bytes, valid until the next call; an
// empty chunk when there are no more.
class Inflate64Input {
 public:
  virtual ~Inflate64Input() = default;
  virtual Status Next(const uint8_t** data, size_t* size) = 0;
};

// Where the decoder writes: decoded bytes, valid for the call only.
class Inflate64Output {
 public:
  virtual ~Inflate64Output() = default;
  virtual Status Take(const uint8_t* data, size_t size) = 0;
};

// Decodes one stream from `in` into `out`. kBadEntry naming the damage (a stream that ends early,
// an invalid code, a distance beyond the bytes decoded so far); a failure of `in` or `out` as it
// came, which stops the decoding at once. `*unused` receives the number of bytes pulled from `in`
// that follow the end of the stream.
Status Inflate64(Inflate64Input& in, Inflate64Output& out, uint64_t* unused);

}  // namespace cv
