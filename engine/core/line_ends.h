// Line ends of text: telling text from binary data, and converting LF and CR LF either way, chunk
// by chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cv {

enum class LineEnds { Keep, CrLfToLf, LfToCrLf };

// Whether a chunk of a file looks like text: no zero byte and few other control characters.
// A file is text when every one of its chunks is.
[[nodiscard]] bool LooksLikeText(const uint8_t* data, size_t size);

// Converts data[0, size) of a file into out (appending). before is the file's byte just before
// the chunk (-1 at the start of the file), after the byte just after it (-1 at the end), so that
// chunks converted one by one give the same bytes as the whole file converted at once.
void ConvertLineEnds(LineEnds mode, const uint8_t* data, size_t size, int before, int after,
                     std::vector<uint8_t>& out);

}  // namespace cv
