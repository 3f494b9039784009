// The recent-folders list, stored in the test prefix's real registry.
#include "dialogs/cMRU.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>

#include "settings/cRegistry.h"

namespace corvane {
namespace {

constexpr char kKey[] = "Software\\Corvane Tests\\MRU";

// The items, most recent first, joined by "|".
std::string ItemsOf(const cMRU& list) {
  std::string items;
  for (std::int32_t i = 1; i <= list.Count(); ++i) items += (i > 1 ? "|" : "") + list.Item(i);
  return items;
}

void Put(const std::string& name, const std::string& text) {
  RegSetKeyValueA(HKEY_CURRENT_USER, kKey, name.c_str(), REG_SZ, text.c_str(),
                  static_cast<DWORD>(text.size() + 1));
}

TEST(cMRUTest, AddKeepsTheMostRecentFirstWithoutDuplicates) {
  cMRU list;
  for (const char* folder : {"C:\\A", "C:\\B", "C:\\A", "c:\\a"}) list.Add(folder);
  EXPECT_EQ(ItemsOf(list), "c:\\a|C:\\A|C:\\B");  // letter case counts
  for (int i = 1; i <= 17; ++i) list.Add(std::to_string(i));
  EXPECT_EQ(list.Count(), 16);  // the oldest went
  list.Add("9");                // a match moves up; nothing is lost
  EXPECT_EQ(ItemsOf(list), "9|17|16|15|14|13|12|11|10|8|7|6|5|4|3|2");
  list.MaxCount(3);
  EXPECT_EQ(ItemsOf(list), "9|17|16");
  for (std::int32_t index : {0, 4}) {
    try {
      list.Item(index);
      ADD_FAILURE() << index;
    } catch (const Error& error) {
      EXPECT_EQ(error.Number(), kErrSubscriptOutOfRange);
    }
  }
}

TEST(cMRUTest, StoresItselfAndLoadsWithinBounds) {
  RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
  cRegistry reg;
  reg.ClassKey(HKEY_CURRENT_USER);
  reg.SectionKey(kKey);
  cMRU five, three;
  for (const char* folder : {"1", "2", "3", "4", "D:\\Zo\xC3\xAB"}) five.Add(folder);
  for (const char* folder : {"a", "b", "c"}) three.Add(folder);
  five.Serialise(reg);
  three.Serialise(reg);  // items 4 and 5 of the longer list stay behind
  reg.ValueKey("Count");
  EXPECT_EQ(reg.Value(), RegValue("3"));
  reg.ValueKey("MaxCount");
  EXPECT_EQ(reg.Value(), RegValue(16));
  reg.ValueKey("Item5");
  EXPECT_EQ(reg.Value(), RegValue("1"));

  const struct {
    std::int32_t maxCount;  // -1: none stored
    const char* count;
    std::optional<std::string> items;  // what loads; none: a type mismatch, the list kept
    std::int32_t limit;                // the maximum afterwards
  } cases[] = {
      {-1, "3", "c|b|a", 16},
      {0, "3", "c|b|a", 16},
      {2, "3", "c|b", 2},
      {16, "5", "c|b|a|2|1", 16},
      {16, " 4 ", "c|b|a|2", 16},
      {16, "-1", "", 16},
      {16, "7", "c|b|a|2|1||", 16},  // absent items read as empty texts
      {100000000, "100000000", "c|b|a|2|1" + std::string(251, '|'), 256},
      {4, "many", std::nullopt, 4},
      {16, "", std::nullopt, 16},
  };
  for (const auto& c : cases) {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, "MaxCount");
    if (c.maxCount >= 0) {
      reg.ValueType(REG_DWORD);
      reg.ValueKey("MaxCount");
      reg.Value(c.maxCount);
    }
    Put("Count", c.count);
    cMRU list;
    list.Add("kept");
    try {
      list.DeSerialise(reg);
      EXPECT_EQ(ItemsOf(list), c.items.value_or("kept")) << c.count;
    } catch (const Error& error) {
      EXPECT_FALSE(c.items) << c.count;
      EXPECT_EQ(error.Number(), kErrTypeMismatch);
      EXPECT_EQ(ItemsOf(list), "kept");
    }
    EXPECT_EQ(list.MaxCount(), c.limit) << c.count;
  }
}

}  // namespace
}  // namespace corvane
