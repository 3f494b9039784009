#include "settings/AppSettings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "Testing.h"
#include "platform/Error.h"
#include "settings/SettingsStore.h"

namespace corvane {
namespace {

constexpr char kSection[] = "Software\\Corvane\\Settings";

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kSection); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kSection); }

  static void Put(const char* name, const std::string& text) {
    SaveSetting(kAppTitle, kSettingsSection, name, text);
  }
  static std::vector<float> Lengths(const Placement& p) {
    return {p.left, p.top, p.width, p.height};
  }
};

// What stored text converts to; nothing means the caller takes the default.
TEST(ParseTest, StoredTextConvertsOrGivesNothing) {
  const struct {
    const char* text;
    std::optional<float> single;
    std::optional<bool> boolean;
    std::optional<std::int16_t> integer;
  } cases[] = {
      {" -1005 ", -1005.0f, std::nullopt, -1005},
      {"+12.5", 12.5f, std::nullopt, std::nullopt},
      {"32768", 32768.0f, std::nullopt, std::nullopt},
      {"1e99", std::nullopt, std::nullopt, std::nullopt},
      {"1,5", std::nullopt, std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt, std::nullopt},
      {" TRUE ", std::nullopt, true, std::nullopt},
      {"Falsely", std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseSingle(c.text), c.single) << "'" << c.text << "'";
    EXPECT_EQ(ParseBoolean(c.text), c.boolean) << "'" << c.text << "'";
    EXPECT_EQ(ParseInteger16(c.text), c.integer) << "'" << c.text << "'";
  }
}

TEST_F(SettingsTest, AbsentOrUnconvertibleValuesTakeTheirDefaults) {
  for (bool stored : {false, true}) {
    SCOPED_TRACE(stored ? "unconvertible" : "absent");
    if (stored) {
      for (const char* key : {"MainLeft", "MainTop", "storfolder", "frun"}) Put(key, "12px");
      Put("MainWidth", "0");
      Put("MainHeight", "-200");
      Put("BasePath", "");
    }
    g_bStoreFolderNames = true;
    g_iFirstRun = 0;
    EXPECT_EQ(Lengths(ReadPlacement()), (std::vector<float>{1000, 1000, 6500, 6500}));
    ReadProgramSettings();
    EXPECT_FALSE(g_bStoreFolderNames);
    EXPECT_EQ(g_iFirstRun, 1);
    EXPECT_EQ(g_sBasePath, stored ? "" : "C:\\");  // text is taken as it is, empty included
  }
}

TEST_F(SettingsTest, WritesTheSevenValuesAsTextAndReadsThemBack) {
  std::string basePath = "D:\\" + std::string(5000, 'x') + "Zo\xC3\xAB \xE6\x97\xA5\\";
  g_bStoreFolderNames = true;
  g_sBasePath = basePath;
  g_iFirstRun = 2;
  WriteApplicationSettings(Placement{1005, -30, 9000, 6495.5f});
  std::vector<std::string> stored;
  for (const char* key :
       {"MainLeft", "MainTop", "MainWidth", "MainHeight", "storfolder", "BasePath", "frun"}) {
    stored.push_back(GetSetting(kAppTitle, kSettingsSection, key, "<absent>"));
  }
  EXPECT_EQ(stored,
            (std::vector<std::string>{"1005", "-30", "9000", "6495.5", "True", basePath, "2"}));
  g_bStoreFolderNames = false;
  g_sBasePath.clear();
  ReadProgramSettings();
  EXPECT_TRUE(g_bStoreFolderNames);
  EXPECT_EQ(g_sBasePath, basePath);
  EXPECT_EQ(g_iFirstRun, 2);
  EXPECT_EQ(Lengths(ReadPlacement()), (std::vector<float>{1005, -30, 9000, 6495.5f}));
  // A value of another type reads as absent.
  DWORD number = 5;
  RegSetKeyValueA(HKEY_CURRENT_USER, kSection, "frun", REG_DWORD, &number, sizeof number);
  EXPECT_EQ(GetSetting(kAppTitle, kSettingsSection, "frun", "1"), "1");
}

TEST_F(SettingsTest, WriteFailureRaisesNamingTheKey) {
  std::string section(300, 's'), text;  // longer than the registry takes
  EXPECT_NE(test::ErrorNumber([&] { SaveSetting(kAppTitle, section, "k", "v"); }, nullptr, &text),
            0);
  EXPECT_NE(text.find("Software\\Corvane\\" + section), std::string::npos);
}

}  // namespace
}  // namespace corvane
