// The recent-folders list, stored in the test prefix's real registry.
#include "dialogs/cMRU.h"

#include <gtest/gtest.h>

#include <optional>

#include "Testing.h"
#include "settings/cRegistry.h"

namespace corvane {
namespace {

// The items, most recent first, joined by "|".
std::string ItemsOf(const cMRU& list) {
  std::string items;
  for (std::int32_t i = 1; i <= list.Count(); ++i) items += (i > 1 ? "|" : "") + list.Item(i);
  return items;
}

TEST(cMRUTest, AddKeepsTheMostRecentFirstWithoutDuplicates) {
  cMRU list;
  for (const char* folder : {"C:\\A", "C:\\B", "C:\\A", "c:\\a"}) list.Add(folder);
  EXPECT_EQ(ItemsOf(list), "c:\\a|C:\\A|C:\\B");  // letter case counts
  for (int i = 1; i <= 17; ++i) list.Add(std::to_string(i));
  list.Add("9");  // a match moves up; in a full list nothing more is lost
  EXPECT_EQ(ItemsOf(list), "9|17|16|15|14|13|12|11|10|8|7|6|5|4|3|2");
  list.MaxCount(3);
  EXPECT_EQ(ItemsOf(list), "9|17|16");
  EXPECT_THROW(list.Item(4), Error);
  EXPECT_THROW(list.Item(0), Error);
}

TEST(cMRUTest, StoresItselfAndLoadsWithinBounds) {
  cRegistry reg;
  reg.ClassKey(HKEY_CURRENT_USER);
  reg.SectionKey("Software\\Corvane Tests\\MRU");
  RegDeleteTreeA(HKEY_CURRENT_USER, reg.SectionKey().c_str());
  cMRU five, three;
  for (const char* folder : {"1", "2", "3", "4", "D:\\Zo\xC3\xAB"}) five.Add(folder);
  for (const char* folder : {"a", "b", "c"}) three.Add(folder);
  five.Serialise(reg);
  three.Serialise(reg);  // items 4 and 5 of the longer list stay behind
  reg.ValueKey("Count");
  EXPECT_EQ(reg.Value(), RegValue("3"));  // text
  reg.ValueKey("MaxCount");
  EXPECT_EQ(reg.Value(), RegValue(16));  // a number
  const struct {
    std::int32_t maxCount;  // 0 as an absent one
    const char* count;
    std::optional<std::string> items;  // none: a type mismatch, and the list as it was
    std::int32_t limit;
  } cases[] = {
      {0, "3", "c|b|a", 16},
      {2, "3", "c|b", 2},
      {16, " 5 ", "c|b|a|2|1", 16},
      {16, "7", "c|b|a|2|1||", 16},  // absent items read as empty texts
      {16, "-1", "", 16},
      {100000000, "100000000", "c|b|a|2|1" + std::string(251, '|'), 256},
      {4, "many", std::nullopt, 4},
  };
  for (const auto& c : cases) {
    reg.ValueType(REG_DWORD);
    reg.ValueKey("MaxCount");
    reg.Value(c.maxCount);
    reg.ValueType(REG_SZ);
    reg.ValueKey("Count");
    reg.Value(c.count);
    cMRU list;
    list.Add("kept");
    EXPECT_EQ(test::ErrorNumber([&] { list.DeSerialise(reg); }), c.items ? 0 : kErrTypeMismatch);
    EXPECT_EQ(ItemsOf(list), c.items.value_or("kept")) << c.count;
    EXPECT_EQ(list.MaxCount(), c.limit) << c.count;
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, reg.SectionKey().c_str());
}

}  // namespace
}  // namespace corvane
