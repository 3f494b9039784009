#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

class cRegistry;

// A most-recently-used list of texts: item 1 is the most recent, no text appears twice, and the
// list holds at most MaxCount items (16 at first). It stores itself in the key a registry object
// addresses: "MaxCount" (REG_DWORD), "Count" (decimal text) and "Item1", "Item2", ... (REG_SZ).
class cMRU {
 public:
  // Setting a maximum below the count drops the oldest items; a maximum below 1 counts as 1.
  std::int32_t MaxCount() const { return m_lMaxCount; }
  void MaxCount(std::int32_t lMaxCount);
  std::int32_t Count() const { return static_cast<std::int32_t>(m_sItems.size()); }
  // The item at nIndex, 1 to Count; any other index raises "Subscript out of range".
  const std::string& Item(std::int32_t nIndex) const;

  // Puts sItem at the top. An item equal to it (case included) moves up from where it was; a new
  // one pushes the oldest out of a full list.
  void Add(const std::string& sItem);

  // Writes the list into cR's current key. Item values of an earlier, longer list stay there.
  // Raises what the registry object raises.
  void Serialise(cRegistry& cR) const;
  // Replaces the list by what cR's current key holds: a missing or non-positive "MaxCount" means
  // 16, and one above 256 is taken as 256 so that a damaged value cannot make the program allocate
  // without bound; "Count" is capped at the maximum; a missing item reads as the empty text. A
  // "Count" that is not a number raises error 13 after the maximum was taken, leaving the items
  // as they were.
  void DeSerialise(cRegistry& cR);

 private:
  std::int32_t m_lMaxCount = 16;
  std::vector<std::string> m_sItems;
};

}  // namespace corvane
