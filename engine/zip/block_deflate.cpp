#include "zip/block_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace cv {
namespace {

z_stream* NewRawStream(int level) {
  auto* s = new z_stream{};
  // Raw deflate (negative window bits): the ZIP entry carries no zlib header or trailer.
  if (deflateInit2(s, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    delete s;
    return nullptr;
  }
  return s;
}

void FreeStream(z_stream* s) {
  if (s) {
    deflateEnd(s);
    delete s;
  }
}

}  // namespace

BlockDeflater::BlockDeflater(int level)
    : m_level(level), m_deflate(NewRawStream(level)), m_store(NewRawStream(0)) {}

BlockDeflater::~BlockDeflater() {
  FreeStream(m_deflate);
  FreeStream(m_store);
}

bool BlockDeflater::Run(z_stream* s, const uint8_t* data, size_t size, bool last,
                        std::vector<uint8_t>& out) {
  out.resize(deflateBound(s, static_cast<uLong>(size)) + 64);
  s->next_in = const_cast<Bytef*>(data);
  s->avail_in = static_cast<uInt>(size);
  s->next_out = out.data();
  s->avail_out = static_cast<uInt>(out.size());
  // A sync flush ends the block on a byte boundary without setting the final bit: the next
  // block's output, compressed separately, continues the same stream.
  int rc = deflate(s, last ? Z_FINISH : Z_SYNC_FLUSH);
  if (rc != (last ? Z_STREAM_END : Z_OK) || s->avail_in != 0) return false;
  out.resize(out.size() - s->avail_out);
  return true;
}

bool BlockDeflater::Compress(const uint8_t* dictionary, size_t dictionarySize, const uint8_t* data,
                             size_t size, bool last, std::vector<uint8_t>& out) {
  if (!m_deflate || !m_store || size > UINT_MAX / 2) return false;
  if (deflateReset(m_deflate) != Z_OK) return false;
  // Only the last 32 KiB can be referred to.
  const size_t used = std::min(dictionarySize, kDictionarySize);
  if (used > 0 && deflateSetDictionary(m_deflate, dictionary + (dictionarySize - used),
                                       static_cast<uInt>(used)) != Z_OK)
    return false;
  if (!Run(m_deflate, data, size, last, out)) return false;
  // Stored deflate blocks cost 5 bytes per 64 KiB; use them when deflate did worse.
  const size_t storedCost = size + 5 * (size / 65535 + 1) + (last ? 0 : 5);
  if (m_level == 0 || out.size() <= storedCost) return true;
  if (deflateReset(m_store) != Z_OK) return false;
  return Run(m_store, data, size, last, out);
}

}  // namespace cv
