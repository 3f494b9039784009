#include "core/line_ends.h"

#include <cstring>

namespace cv {

bool LooksLikeText(const uint8_t* data, size_t size) {
  size_t control = 0;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t c = data[i];
    if (c == 0) return false;
    // Tab, line feed, form feed, carriage return and escape occur in text; other control
    // characters mark binary data when they are more than a trace.
    if (c < 32 && c != '\t' && c != '\n' && c != '\f' && c != '\r' && c != 27) ++control;
  }
  return control * 100 <= size;
}

void ConvertLineEnds(LineEnds mode, const uint8_t* data, size_t size, int before, int after,
                     std::vector<uint8_t>& out) {
  out.reserve(out.size() + size + (mode == LineEnds::LfToCrLf ? size / 8 : 0));
  if (mode == LineEnds::Keep) {
    out.insert(out.end(), data, data + size);
    return;
  }
  // Runs between the bytes that may change are copied whole: text is mostly such runs.
  const uint8_t mark = mode == LineEnds::CrLfToLf ? '\r' : '\n';
  size_t i = 0;
  while (i < size) {
    const void* hit = std::memchr(data + i, mark, size - i);
    const size_t at = hit ? size_t(static_cast<const uint8_t*>(hit) - data) : size;
    out.insert(out.end(), data + i, data + at);
    if (at == size) break;
    if (mode == LineEnds::CrLfToLf) {
      const int next = at + 1 < size ? data[at + 1] : after;
      if (next != '\n') out.push_back('\r');
    } else {
      const int previous = at > 0 ? data[at - 1] : before;
      if (previous != '\r') out.push_back('\r');
      out.push_back('\n');
    }
    i = at + 1;
  }
}

}  // namespace cv
