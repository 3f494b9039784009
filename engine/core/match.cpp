#include "core/match.h"

#include <unordered_map>

namespace cv {
namespace {

// Length of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xf0 && lead < 0xf8) return 4;
  if (lead >= 0xe0) return lead < 0xf0 ? 3 : 1;
  if (lead >= 0xc0) return 2;
  return 1;
}

unsigned char LowerAscii(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

// `c` as it compares: lower case unless the comparison is case-sensitive.
unsigned char Compared(unsigned char c, bool caseSensitive) {
  return caseSensitive ? c : LowerAscii(c);
}

// Matches one "[...]" set at pattern[p] (just after "[") against character `c`. Sets `*end` to
// the index after "]"; returns false with `*end` = npos for an unterminated set.
bool MatchSet(std::string_view pattern, size_t p, unsigned char c, bool caseSensitive,
              size_t* end) {
  bool negate = p < pattern.size() && (pattern[p] == '!' || pattern[p] == '^');
  if (negate) ++p;
  bool found = false;
  bool first = true;
  unsigned char fc = Compared(c, caseSensitive);
  while (p < pattern.size() && (pattern[p] != ']' || first)) {
    first = false;
    unsigned char lo = Compared(static_cast<unsigned char>(pattern[p]), caseSensitive);
    unsigned char hi = lo;
    if (p + 2 < pattern.size() && pattern[p + 1] == '-' && pattern[p + 2] != ']') {
      hi = Compared(static_cast<unsigned char>(pattern[p + 2]), caseSensitive);
      p += 2;
    }
    if (fc >= lo && fc <= hi) found = true;
    ++p;
  }
  if (p >= pattern.size()) {
    *end = std::string_view::npos;
    return false;
  }
  *end = p + 1;
  return found != negate;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name, bool caseSensitive) {
  size_t p = 0, n = 0;
  size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size()) {
      char pc = pattern[p];
      if (pc == '*') {
        starP = ++p;
        starN = n;
        continue;
      }
      if (pc == '?') {
        ++p;
        n += std::min(SequenceLength(static_cast<unsigned char>(name[n])), name.size() - n);
        continue;
      }
      if (pc == '[') {
        size_t end;
        if (MatchSet(pattern, p + 1, static_cast<unsigned char>(name[n]), caseSensitive, &end)) {
          p = end;
          ++n;
          continue;
        }
        if (end != std::string_view::npos) goto mismatch;
        // An unterminated "[" is an ordinary character.
      }
      if (Compared(static_cast<unsigned char>(pc), caseSensitive) ==
          Compared(static_cast<unsigned char>(name[n]), caseSensitive)) {
        ++p;
        ++n;
        continue;
      }
    }
  mismatch:
    if (starP == std::string_view::npos) return false;
    p = starP;
    n = ++starN;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<bool> SelectByNames(const std::vector<std::string>& names,
                                const std::vector<std::string_view>& entryNames, bool caseSensitive,
                                std::vector<bool>* nameUsed) {
  std::vector<bool> selected(entryNames.size(), false);
  if (nameUsed) nameUsed->assign(names.size(), false);
  if (names.empty()) return selected;
  std::unordered_multimap<std::string_view, size_t> byName;
  byName.reserve(entryNames.size());
  for (size_t i = 0; i < entryNames.size(); ++i) byName.emplace(entryNames[i], i);
  std::vector<size_t> patterns;
  for (size_t k = 0; k < names.size(); ++k) {
    auto [first, last] = byName.equal_range(names[k]);
    if (first == last) {
      patterns.push_back(k);
      continue;
    }
    for (auto it = first; it != last; ++it) selected[it->second] = true;
    if (nameUsed) (*nameUsed)[k] = true;
  }
  if (patterns.empty()) return selected;
  for (size_t i = 0; i < entryNames.size(); ++i) {
    for (size_t k : patterns) {
      if (WildcardMatch(names[k], entryNames[i], caseSensitive)) {
        selected[i] = true;
        if (nameUsed) (*nameUsed)[k] = true;
      }
    }
  }
  return selected;
}

}  // namespace cv
