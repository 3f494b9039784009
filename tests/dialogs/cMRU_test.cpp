// The recent-folders list, stored in the test prefix's real registry.
#include "dialogs/cMRU.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>

#include "platform/Error.h"
#include "settings/cRegistry.h"

namespace corvane {
namespace {

constexpr char kKey[] = "Software\\Corvane Tests\\MRU";

std::vector<std::string> ItemsOf(const cMRU& list) {
  std::vector<std::string> items;
  for (std::int32_t i = 1; i <= list.Count(); ++i) items.push_back(list.Item(i));
  return items;
}

// The type and text of a stored value, "<absent>" when there is none.
std::string Stored(const std::string& name) {
  char data[512] = "";
  DWORD size = sizeof data, type = 0;
  if (RegGetValueA(HKEY_CURRENT_USER, kKey, name.c_str(), RRF_RT_ANY, &type, data, &size) !=
      ERROR_SUCCESS) {
    return "<absent>";
  }
  if (type == REG_DWORD) return "dword " + std::to_string(*reinterpret_cast<DWORD*>(data));
  return data;
}

void PutText(const char* name, const std::string& text) {
  RegSetKeyValueA(HKEY_CURRENT_USER, kKey, name, REG_SZ, text.c_str(),
                  static_cast<DWORD>(text.size() + 1));
}

void PutNumber(const char* name, DWORD number) {
  RegSetKeyValueA(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &number, sizeof number);
}

class cMRUTest : public testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    m_reg.ClassKey(HKEY_CURRENT_USER);
    m_reg.SectionKey(kKey);
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }

  cRegistry m_reg;
};

TEST(cMRUListTest, AddKeepsTheMostRecentFirstWithoutDuplicates) {
  cMRU list;
  EXPECT_EQ(list.MaxCount(), 16);
  EXPECT_EQ(list.Count(), 0);
  for (const char* folder : {"C:\\A", "C:\\B", "C:\\A"}) list.Add(folder);
  EXPECT_EQ(ItemsOf(list), (std::vector<std::string>{"C:\\A", "C:\\B"}));
  list.Add("c:\\a");  // letter case counts
  list.Add("C:\\B");
  EXPECT_EQ(ItemsOf(list), (std::vector<std::string>{"C:\\B", "c:\\a", "C:\\A"}));

  cMRU full;
  for (int i = 1; i <= 17; ++i) full.Add("F" + std::to_string(i));
  EXPECT_EQ(full.Count(), 16);
  EXPECT_EQ(full.Item(1), "F17");
  EXPECT_EQ(full.Item(16), "F2");
  full.Add("F10");  // a match deep in a full list moves up; nothing is lost
  EXPECT_EQ(full.Count(), 16);
  EXPECT_EQ(full.Item(1), "F10");
  EXPECT_EQ(full.Item(16), "F2");

  full.MaxCount(3);
  EXPECT_EQ(ItemsOf(full), (std::vector<std::string>{"F10", "F17", "F16"}));
  full.MaxCount(0);
  EXPECT_EQ(full.MaxCount(), 1);
  EXPECT_EQ(ItemsOf(full), (std::vector<std::string>{"F10"}));

  for (std::int32_t index : {0, 2, -1}) {
    try {
      full.Item(index);
      ADD_FAILURE() << index;
    } catch (const Error& error) {
      EXPECT_EQ(error.Number(), kErrSubscriptOutOfRange) << index;
    }
  }
}

TEST_F(cMRUTest, SerialiseWritesTypedValuesAndLeavesOlderItems) {
  cMRU list;
  for (const char* folder : {"C:\\1", "C:\\2", "C:\\3", "C:\\4", "D:\\Zo\xC3\xAB"})
    list.Add(folder);
  list.Serialise(m_reg);
  EXPECT_EQ(Stored("MaxCount"), "dword 16");
  EXPECT_EQ(Stored("Count"), "5");  // text, not a number
  EXPECT_EQ(Stored("Item1"), "D:\\Zo\xC3\xAB");
  EXPECT_EQ(Stored("Item5"), "C:\\1");

  cMRU shorter;
  for (const char* folder : {"E:\\a", "E:\\b", "E:\\c"}) shorter.Add(folder);
  shorter.Serialise(m_reg);
  EXPECT_EQ(Stored("Count"), "3");
  EXPECT_EQ(Stored("Item4"), "C:\\2");
  EXPECT_EQ(Stored("Item5"), "C:\\1");

  cMRU loaded;
  loaded.DeSerialise(m_reg);
  EXPECT_EQ(ItemsOf(loaded), (std::vector<std::string>{"E:\\c", "E:\\b", "E:\\a"}));
}

TEST_F(cMRUTest, DeSerialiseBoundsWhatItReads) {
  const struct {
    const char* what;
    std::optional<DWORD> maxCount;
    const char* count;  // null: absent
    int itemsStored;
    std::int32_t expectedMax;
    std::int32_t expectedCount;
  } cases[] = {
      {"nothing stored", std::nullopt, nullptr, 0, 16, 0},
      {"maximum 0", 0, "3", 3, 16, 3},
      {"maximum 5", 5, "5", 5, 5, 5},
      {"count above the maximum", 16, "20", 20, 16, 16},
      {"huge maximum", 100000000, "100000000", 300, 256, 256},
      {"negative count", 16, "-4", 2, 16, 0},
      {"items missing", 16, "4", 2, 16, 4},
      {"count with blanks", 16, " 2 ", 2, 16, 2},
  };
  for (const auto& c : cases) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    m_reg.CreateKey();
    if (c.maxCount) PutNumber("MaxCount", *c.maxCount);
    if (c.count) PutText("Count", c.count);
    for (int i = 1; i <= c.itemsStored; ++i) {
      PutText(("Item" + std::to_string(i)).c_str(), "F" + std::to_string(i));
    }
    cMRU list;
    list.Add("old");
    list.DeSerialise(m_reg);
    EXPECT_EQ(list.MaxCount(), c.expectedMax) << c.what;
    ASSERT_EQ(list.Count(), c.expectedCount) << c.what;
    for (std::int32_t i = 1; i <= list.Count(); ++i) {
      EXPECT_EQ(list.Item(i), i <= c.itemsStored ? "F" + std::to_string(i) : "") << c.what;
    }
  }

  // A stored maximum of 5 holds from then on.
  cMRU five;
  RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
  m_reg.CreateKey();
  PutNumber("MaxCount", 5);
  five.DeSerialise(m_reg);
  for (int i = 0; i < 8; ++i) five.Add("G" + std::to_string(i));
  EXPECT_EQ(five.Count(), 5);
}

TEST_F(cMRUTest, CountThatIsNotANumberRaisesAfterTheMaximum) {
  m_reg.CreateKey();
  PutNumber("MaxCount", 4);
  PutText("Count", "many");
  PutText("Item1", "new");
  cMRU list;
  list.Add("kept 1");
  list.Add("kept 2");
  try {
    list.DeSerialise(m_reg);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), kErrTypeMismatch);
  }
  EXPECT_EQ(list.MaxCount(), 4);
  EXPECT_EQ(ItemsOf(list), (std::vector<std::string>{"kept 2", "kept 1"}));
}

}  // namespace
}  // namespace corvane
