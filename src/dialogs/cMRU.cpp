#include "cMRU.h"

#include <windows.h>

#include <algorithm>

#include "platform/Error.h"
#include "platform/Module.h"
#include "settings/cRegistry.h"

namespace corvane {
namespace {

constexpr std::int32_t kDefaultMaxCount = 16;
constexpr std::int32_t kStoredMaxCountLimit = 256;

std::string Source() {
  return ExecutableTitle() + ".cMRU";
}

}  // namespace

void cMRU::MaxCount(std::int32_t lMaxCount) {
  m_lMaxCount = std::max(lMaxCount, 1);
  if (Count() > m_lMaxCount) m_sItems.resize(static_cast<size_t>(m_lMaxCount));
}

const std::string& cMRU::Item(std::int32_t nIndex) const {
  if (nIndex < 1 || nIndex > Count()) {
    throw Error(kErrSubscriptOutOfRange, Source(), kSubscriptOutOfRange);
  }
  return m_sItems[static_cast<size_t>(nIndex) - 1];
}

void cMRU::Add(const std::string& sItem) {
  auto found = std::find(m_sItems.begin(), m_sItems.end(), sItem);
  if (found != m_sItems.end()) m_sItems.erase(found);
  m_sItems.insert(m_sItems.begin(), sItem);
  if (Count() > m_lMaxCount) m_sItems.resize(static_cast<size_t>(m_lMaxCount));
}

void cMRU::Serialise(cRegistry& cR) const {
  cR.ValueType(REG_DWORD);
  cR.ValueKey("MaxCount");
  cR.Value(m_lMaxCount);
  cR.ValueKey("Count");
  cR.ValueType(REG_SZ);
  cR.Value(std::to_string(Count()));
  for (std::int32_t i = 1; i <= Count(); ++i) {
    cR.ValueKey("Item" + std::to_string(i));
    cR.Value(Item(i));
  }
}

void cMRU::DeSerialise(cRegistry& cR) {
  cR.ValueType(REG_DWORD);
  cR.ValueKey("MaxCount");
  std::int32_t maxCount = ValueNumber(cR.Value(), Source());
  m_lMaxCount = maxCount < 1 ? kDefaultMaxCount : std::min(maxCount, kStoredMaxCountLimit);
  cR.ValueKey("Count");
  std::int32_t count = std::min(ValueNumber(cR.Value(), Source()), m_lMaxCount);
  std::vector<std::string> items;
  if (count > 0) {
    cR.ValueType(REG_SZ);
    for (std::int32_t i = 1; i <= count; ++i) {
      cR.ValueKey("Item" + std::to_string(i));
      items.push_back(ValueText(cR.Value()));
    }
  }
  m_sItems = std::move(items);
}

}  // namespace corvane
