#include "settings/AppSettings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "platform/Error.h"
#include "settings/SettingsStore.h"
#include "settings/frmAbout.h"

namespace corvane {
namespace {

constexpr char kSection[] = "Software\\Corvane\\Settings";

std::string Stored(const char* name) {
  char data[512] = "";
  DWORD size = sizeof data, type = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSection, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return "<no key>";
  }
  LSTATUS status =
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_SZ ? data : "<absent>";
}

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSection);
    g_bStoreFolderNames = false;
    g_sBasePath = "C:\\";
    g_iFirstRun = 1;
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kSection); }

  static void Put(const char* name, const char* text) {
    SaveSetting(kAppTitle, kSettingsSection, name, text);
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
      {" 2 ", 2.0f, std::nullopt, 2},
      {"-1005", -1005.0f, std::nullopt, -1005},
      {"+15", 15.0f, std::nullopt, 15},
      {"12.5", 12.5f, std::nullopt, std::nullopt},
      {"32768", 32768.0f, std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt, std::nullopt},
      {"12px", std::nullopt, std::nullopt, std::nullopt},
      {"1e99", std::nullopt, std::nullopt, std::nullopt},
      {"nan", std::nullopt, std::nullopt, std::nullopt},
      {"1,5", std::nullopt, std::nullopt, std::nullopt},
      {" TRUE ", std::nullopt, true, std::nullopt},
      {"false", std::nullopt, false, std::nullopt},
      {"Truely", std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseSingle(c.text), c.single) << "'" << c.text << "'";
    EXPECT_EQ(ParseBoolean(c.text), c.boolean) << "'" << c.text << "'";
    EXPECT_EQ(ParseInteger16(c.text), c.integer) << "'" << c.text << "'";
  }
  for (float value : {0.0f, 1005.0f, -19200.0f, 12.25f, 1000000.0f}) {
    EXPECT_EQ(ParseSingle(FormatSingle(value)), value);
  }
  EXPECT_EQ(FormatSingle(1005.0f), "1005");
}

std::vector<float> Lengths(const Placement& placement) {
  return {placement.left, placement.top, placement.width, placement.height};
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
    // Reading never creates the section.
    if (!stored) EXPECT_EQ(Stored("MainLeft"), "<no key>");
  }
}

TEST_F(SettingsTest, WritesTheSevenValuesAsTextAndReadsThemBack) {
  std::string basePath = "D:\\Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC\\";
  g_bStoreFolderNames = true;
  g_sBasePath = basePath;
  g_iFirstRun = 2;
  WriteApplicationSettings(Placement{1005, -30, 9000, 6495.5f});
  std::vector<std::string> stored;
  for (const char* key :
       {"MainLeft", "MainTop", "MainWidth", "MainHeight", "storfolder", "BasePath", "frun"}) {
    stored.push_back(Stored(key));
  }
  EXPECT_EQ(stored, (std::vector<std::string>{"1005", "-30", "9000", "6495.5", "True", basePath,
                                              "2"}));
  g_bStoreFolderNames = false;
  g_sBasePath.clear();
  g_iFirstRun = 1;
  ReadProgramSettings();
  EXPECT_TRUE(g_bStoreFolderNames);
  EXPECT_EQ(g_sBasePath, basePath);
  EXPECT_EQ(g_iFirstRun, 2);
  EXPECT_EQ(Lengths(ReadPlacement()), (std::vector<float>{1005, -30, 9000, 6495.5f}));
}

TEST_F(SettingsTest, ValuesOfAnotherTypeReadAsAbsentAndLongTextRoundTrips) {
  DWORD number = 5;
  RegSetKeyValueA(HKEY_CURRENT_USER, kSection, "frun", REG_DWORD, &number, sizeof number);
  EXPECT_EQ(GetSetting(kAppTitle, kSettingsSection, "frun", "1"), "1");
  std::string text = std::string(5000, 'x') + "\xC3\xAB";
  Put("BasePath", text.c_str());
  EXPECT_EQ(GetSetting(kAppTitle, kSettingsSection, "BasePath", ""), text);
}

TEST_F(SettingsTest, WriteFailureRaisesNamingTheKey) {
  // The registry refuses a key name longer than 255 characters.
  std::string section(300, 's');
  try {
    SaveSetting(kAppTitle, section, "k", "v");
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_NE(error.Description().find("Software\\Corvane\\" + section), std::string::npos);
    EXPECT_NE(error.Number(), 0);
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Corvane\\" + section).c_str());
}

TEST(AboutTest, VersionTextKeepsZeroes) {
  EXPECT_EQ(VersionText(2, 10, 0), "Version 2.10.0");
  EXPECT_EQ(VersionText(0, 0, 7), "Version 0.0.7");
  // This test program carries the program's version resource.
  EXPECT_EQ(ProgramVersionText(), "Version 1.0.0");
}

}  // namespace
}  // namespace corvane
