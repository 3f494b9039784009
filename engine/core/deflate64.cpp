#include "core/deflate64.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/format.h"

namespace cv {
namespace {

constexpr size_t kWindow = 64 * 1024;
constexpr size_t kMaxLength = 65538;
// Decoded bytes are passed on once this many are in the buffer (the window included); the window
// then moves to the buffer's start.
constexpr size_t kFlushAt = kWindow + 256 * 1024;
// A match starts before kFlushAt and never reaches past the end; 8: what a match copy may write
// beyond its end.
constexpr size_t kBufferSize = kFlushAt + kMaxLength + 8;

constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kLiteralRootBits = 10;
constexpr unsigned kDistanceRootBits = 8;
constexpr unsigned kCodeLengthRootBits = 7;
constexpr size_t kMaxLiteralCodes = 286;
constexpr size_t kMaxDistanceCodes = 32;
constexpr unsigned kEndOfBlock = 256;

// Length symbols 257 to 285; Deflate64's 285 is a base of 3 with 16 extra bits.
constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                      67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
// Distance symbols 0 to 31; 30 and 31 are Deflate64's.
constexpr uint32_t kDistanceBase[32] = {1,    2,    3,    4,     5,     7,     9,     13,
                                        17,   25,   33,   49,    65,    97,    129,   193,
                                        257,  385,  513,  769,   1025,  1537,  2049,  3073,
                                        4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr uint8_t kDistanceExtra[32] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                        7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
// The order in which the code lengths of the code-length code are stored.
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

Status Corrupt(const char* what) {
  return {StatusKind::kBadEntry, std::string("compressed data damaged (") + what + ")"};
}
Status Truncated() {
  return {StatusKind::kBadEntry, "compressed data ends early"};
}

// A canonical Huffman code as a lookup table indexed by the next bits of the stream (which hold
// the codes bit-reversed): a root table of 2^rootBits entries, and below it one table per root
// entry whose codes are longer.
class HuffmanTable {
 public:
  enum Kind : uint8_t { kSymbol, kLink, kInvalid };
  struct Code {
    uint16_t value;  // the symbol, or the offset of the table below
    uint8_t bits;    // the code's length, or the index bits of the table below
    Kind kind;
  };

  // False when the lengths over-subscribe the code. A code that leaves patterns unused is allowed
  // (a single distance code, or none): those patterns decode as invalid.
  bool Build(const uint8_t* lengths, size_t count, unsigned rootBits) {
    unsigned counts[kMaxCodeBits + 1] = {};
    for (size_t i = 0; i < count; ++i) ++counts[lengths[i]];
    counts[0] = 0;
    int left = 1;
    unsigned next[kMaxCodeBits + 1] = {};
    for (unsigned len = 1, code = 0; len <= kMaxCodeBits; ++len) {
      left = left * 2 - int(counts[len]);
      if (left < 0) return false;
      code = (code + counts[len - 1]) << 1;
      next[len] = code;
    }
    m_rootBits = rootBits;
    const size_t rootSize = size_t(1) << rootBits;
    m_codes.assign(rootSize, Code{0, 0, kInvalid});
    m_reversed.resize(count);
    uint8_t longest[1 << kLiteralRootBits] = {};
    for (size_t i = 0; i < count; ++i) {
      const unsigned len = lengths[i];
      if (len == 0) continue;
      unsigned code = next[len]++, reversed = 0;
      for (unsigned b = 0; b < len; ++b, code >>= 1) reversed = reversed << 1 | (code & 1);
      m_reversed[i] = uint16_t(reversed);
      if (len > rootBits) {
        uint8_t& l = longest[reversed & (rootSize - 1)];
        l = std::max<uint8_t>(l, uint8_t(len));
      }
    }
    for (size_t root = 0; root < rootSize; ++root) {
      if (longest[root] == 0) continue;
      const unsigned subBits = longest[root] - rootBits;
      m_codes[root] = {uint16_t(m_codes.size()), uint8_t(subBits), kLink};
      m_codes.resize(m_codes.size() + (size_t(1) << subBits), Code{0, 0, kInvalid});
    }
    for (size_t i = 0; i < count; ++i) {
      const unsigned len = lengths[i];
      if (len == 0) continue;
      const Code code{uint16_t(i), uint8_t(len), kSymbol};
      if (len <= rootBits) {
        for (size_t at = m_reversed[i]; at < rootSize; at += size_t(1) << len) m_codes[at] = code;
      } else {
        const Code link = m_codes[m_reversed[i] & (rootSize - 1)];
        for (size_t at = m_reversed[i] >> rootBits; at < (size_t(1) << link.bits);
             at += size_t(1) << (len - rootBits)) {
          m_codes[link.value + at] = code;
        }
      }
    }
    return true;
  }

  // The entry for the next bits of the stream.
  const Code& Find(uint64_t bits) const {
    const Code& root = m_codes[bits & ((uint64_t(1) << m_rootBits) - 1)];
    if (root.kind != kLink) return root;
    return m_codes[root.value + ((bits >> m_rootBits) & ((uint64_t(1) << root.bits) - 1))];
  }

 private:
  unsigned m_rootBits = 0;
  std::vector<Code> m_codes;
  std::vector<uint16_t> m_reversed;
};

class Decoder {
 public:
  Decoder(Inflate64Input& in, Inflate64Output& out)
      : m_input(in), m_output(out), m_buffer(new uint8_t[kBufferSize]) {}

  Status Run(uint64_t* unused) {
    for (bool last = false; !last;) {
      CV_RETURN_IF_ERROR(Fill());
      if (m_count < 3) return Truncated();
      last = Take(1) != 0;
      switch (Take(2)) {
        case 0:
          CV_RETURN_IF_ERROR(Stored());
          break;
        case 1:
          CV_RETURN_IF_ERROR(Fixed());
          break;
        case 2:
          CV_RETURN_IF_ERROR(Dynamic());
          break;
        default:
          return Corrupt("invalid block type");
      }
    }
    CV_RETURN_IF_ERROR(Flush());
    // The bits left of the last byte belong to the stream; whole bytes do not.
    *unused = m_count / 8 + uint64_t(m_end - m_next);
    return {};
  }

 private:
  // Pulls the next chunk of input; false when there is none.
  Status Pull(bool* more) {
    *more = false;
    if (m_done) return {};
    const uint8_t* data = nullptr;
    size_t size = 0;
    CV_RETURN_IF_ERROR(m_input.Next(&data, &size));
    if (size == 0) {
      m_done = true;
      return {};
    }
    m_next = data;
    m_end = data + size;
    *more = true;
    return {};
  }

  // Tops the bit buffer up to at least 56 bits, or to what the input has left.
  Status Fill() {
    while (m_count < 56) {
      if (m_end - m_next >= 8) {
        const unsigned bytes = (63 - m_count) / 8;
        const uint64_t word = Get64(m_next) & ((uint64_t(1) << (8 * bytes)) - 1);
        m_bits |= word << m_count;
        m_count += 8 * bytes;
        m_next += bytes;
      } else if (m_next < m_end) {
        m_bits |= uint64_t(*m_next++) << m_count;
        m_count += 8;
      } else {
        bool more = false;
        CV_RETURN_IF_ERROR(Pull(&more));
        if (!more) return {};
      }
    }
    return {};
  }

  // The next `n` bits (at most 32, all present).
  uint32_t Take(unsigned n) {
    const uint32_t value = uint32_t(m_bits & ((uint64_t(1) << n) - 1));
    m_bits >>= n;
    m_count -= n;
    return value;
  }

  // After Fill: `n` bits, or the end of the stream.
  Status Bits(unsigned n, uint32_t* value) {
    if (m_count < n) return Truncated();
    *value = Take(n);
    return {};
  }

  // After Fill: the next symbol of `table`.
  Status Decode(const HuffmanTable& table, unsigned* symbol) {
    const HuffmanTable::Code& code = table.Find(m_bits);
    if (code.kind != HuffmanTable::kSymbol) {
      // Past the end of the input the buffer holds zeros, which need not form a code.
      return m_done && m_count < kMaxCodeBits ? Truncated() : Corrupt("invalid code");
    }
    if (code.bits > m_count) return Truncated();
    Take(code.bits);
    *symbol = code.value;
    return {};
  }

  // Passes the decoded bytes on and keeps the last 64 KiB as the window.
  Status Flush() {
    if (m_pos > m_passed) {
      CV_RETURN_IF_ERROR(m_output.Take(m_buffer.get() + m_passed, m_pos - m_passed));
    }
    if (m_pos > kWindow) {
      std::memmove(m_buffer.get(), m_buffer.get() + m_pos - kWindow, kWindow);
      m_pos = kWindow;
    }
    m_passed = m_pos;
    return {};
  }

  Status Stored() {
    Take(m_count % 8);
    CV_RETURN_IF_ERROR(Fill());
    uint32_t length = 0, complement = 0;
    CV_RETURN_IF_ERROR(Bits(16, &length));
    CV_RETURN_IF_ERROR(Bits(16, &complement));
    if (length != (~complement & 0xffff)) return Corrupt("stored block length");
    while (length > 0) {
      if (m_count >= 8) {
        m_buffer[m_pos++] = uint8_t(Take(8));
        --length;
      } else if (m_next < m_end) {
        const size_t n = std::min<size_t>(length, size_t(m_end - m_next));
        std::memcpy(m_buffer.get() + m_pos, m_next, n);
        m_next += n;
        m_pos += n;
        length -= uint32_t(n);
      } else {
        bool more = false;
        CV_RETURN_IF_ERROR(Pull(&more));
        if (!more) return Truncated();
      }
      if (m_pos >= kFlushAt) CV_RETURN_IF_ERROR(Flush());
    }
    return {};
  }

  Status Fixed() {
    if (!m_fixedReady) {
      uint8_t lengths[288];
      std::fill(lengths, lengths + 144, 8);
      std::fill(lengths + 144, lengths + 256, 9);
      std::fill(lengths + 256, lengths + 280, 7);
      std::fill(lengths + 280, lengths + 288, 8);
      uint8_t distances[kMaxDistanceCodes];
      std::fill(distances, distances + kMaxDistanceCodes, 5);
      // Neither can fail: the fixed codes are complete.
      (void)m_fixedLiterals.Build(lengths, 288, kLiteralRootBits);
      (void)m_fixedDistances.Build(distances, kMaxDistanceCodes, kDistanceRootBits);
      m_fixedReady = true;
    }
    return Codes(m_fixedLiterals, m_fixedDistances);
  }

  Status Dynamic() {
    CV_RETURN_IF_ERROR(Fill());
    uint32_t literals = 0, distances = 0, codeLengths = 0;
    CV_RETURN_IF_ERROR(Bits(5, &literals));
    CV_RETURN_IF_ERROR(Bits(5, &distances));
    CV_RETURN_IF_ERROR(Bits(4, &codeLengths));
    literals += 257;
    distances += 1;
    codeLengths += 4;
    if (literals > kMaxLiteralCodes) return Corrupt("too many length codes");
    uint8_t order[19] = {};
    for (uint32_t i = 0; i < codeLengths; ++i) {
      CV_RETURN_IF_ERROR(Fill());
      uint32_t length = 0;
      CV_RETURN_IF_ERROR(Bits(3, &length));
      order[kCodeLengthOrder[i]] = uint8_t(length);
    }
    if (!m_codeLengths.Build(order, 19, kCodeLengthRootBits)) return Corrupt("code length code");
    uint8_t lengths[kMaxLiteralCodes + kMaxDistanceCodes] = {};
    const size_t total = literals + distances;
    for (size_t n = 0; n < total;) {
      CV_RETURN_IF_ERROR(Fill());
      unsigned symbol = 0;
      CV_RETURN_IF_ERROR(Decode(m_codeLengths, &symbol));
      if (symbol < 16) {
        lengths[n++] = uint8_t(symbol);
        continue;
      }
      uint8_t value = 0;
      uint32_t repeat = 0;
      if (symbol == 16) {
        if (n == 0) return Corrupt("repeated length without a first");
        value = lengths[n - 1];
        CV_RETURN_IF_ERROR(Bits(2, &repeat));
        repeat += 3;
      } else if (symbol == 17) {
        CV_RETURN_IF_ERROR(Bits(3, &repeat));
        repeat += 3;
      } else {
        CV_RETURN_IF_ERROR(Bits(7, &repeat));
        repeat += 11;
      }
      if (n + repeat > total) return Corrupt("too many code lengths");
      std::memset(lengths + n, value, repeat);
      n += repeat;
    }
    if (lengths[kEndOfBlock] == 0) return Corrupt("no end-of-block code");
    if (!m_literals.Build(lengths, literals, kLiteralRootBits) ||
        !m_distances.Build(lengths + literals, distances, kDistanceRootBits)) {
      return Corrupt("code lengths");
    }
    return Codes(m_literals, m_distances);
  }

  // The literals and matches of one block, up to its end code.
  Status Codes(const HuffmanTable& literals, const HuffmanTable& distances) {
    for (;;) {
      if (m_count < 56) CV_RETURN_IF_ERROR(Fill());
      unsigned symbol = 0;
      CV_RETURN_IF_ERROR(Decode(literals, &symbol));
      if (symbol < 256) {
        m_buffer[m_pos++] = uint8_t(symbol);
        if (m_pos >= kFlushAt) CV_RETURN_IF_ERROR(Flush());
        continue;
      }
      if (symbol == kEndOfBlock) return {};
      if (symbol > 285) return Corrupt("invalid length code");
      uint32_t extra = 0;
      CV_RETURN_IF_ERROR(Bits(kLengthExtra[symbol - 257], &extra));
      const size_t length = kLengthBase[symbol - 257] + extra;
      if (m_count < 56) CV_RETURN_IF_ERROR(Fill());
      CV_RETURN_IF_ERROR(Decode(distances, &symbol));
      CV_RETURN_IF_ERROR(Bits(kDistanceExtra[symbol], &extra));
      const size_t distance = kDistanceBase[symbol] + extra;
      if (distance > m_pos) return Corrupt("distance beyond the data so far");
      Copy(distance, length);
      if (m_pos >= kFlushAt) CV_RETURN_IF_ERROR(Flush());
    }
  }

  void Copy(size_t distance, size_t length) {
    uint8_t* to = m_buffer.get() + m_pos;
    const uint8_t* from = to - distance;
    if (distance >= length) {
      std::memcpy(to, from, length);
    } else if (distance >= 8) {
      // Eight bytes at a time read only bytes already written; the last may overrun the match.
      for (size_t done = 0; done < length; done += 8) std::memcpy(to + done, from + done, 8);
    } else if (distance == 1) {
      std::memset(to, *from, length);
    } else {
      for (size_t i = 0; i < length; ++i) to[i] = from[i];
    }
    m_pos += length;
  }

  Inflate64Input& m_input;
  Inflate64Output& m_output;
  // Input: the current chunk, and the bits taken from it but not yet used.
  const uint8_t* m_next = nullptr;
  const uint8_t* m_end = nullptr;
  bool m_done = false;
  uint64_t m_bits = 0;
  unsigned m_count = 0;
  // Output: the window and the bytes decoded after it. m_pos is where the next byte goes; the
  // bytes before m_passed were passed on.
  std::unique_ptr<uint8_t[]> m_buffer;
  size_t m_pos = 0;
  size_t m_passed = 0;
  HuffmanTable m_literals, m_distances, m_codeLengths, m_fixedLiterals, m_fixedDistances;
  bool m_fixedReady = false;
};

}  // namespace

Status Inflate64(Inflate64Input& in, Inflate64Output& out, uint64_t* unused) {
  Decoder decoder(in, out);
  return decoder.Run(unused);
}

}  // namespace cv
