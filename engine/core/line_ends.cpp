#include "core/line_ends.h"

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
  for (size_t i = 0; i < size; ++i) {
    const uint8_t c = data[i];
    if (mode == LineEnds::CrLfToLf && c == '\r') {
      const int next = i + 1 < size ? data[i + 1] : after;
      if (next == '\n') continue;
    } else if (mode == LineEnds::LfToCrLf && c == '\n') {
      const int previous = i > 0 ? data[i - 1] : before;
      if (previous != '\r') out.push_back('\r');
    }
    out.push_back(c);
  }
}

}  // namespace cv
