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
  if (status != ERROR_SUCCESS) return "<absent>";
  if (type != REG_SZ) return "<type " + std::to_string(type) + ">";
  return data;
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

TEST(ParseTest, SingleNumbers) {
  const struct {
    const char* text;
    std::optional<float> value;
  } cases[] = {
      {"1000", 1000.0f},      {"-1005", -1005.0f},   {" 6500 ", 6500.0f},
      {"12.5", 12.5f},        {"+15", 15.0f},        {"0", 0.0f},
      {"", std::nullopt},     {"abc", std::nullopt}, {"12px", std::nullopt},
      {"1e99", std::nullopt}, {"nan", std::nullopt}, {"inf", std::nullopt},
      {"1,5", std::nullopt},  {"--1", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseSingle(c.text), c.value) << "'" << c.text << "'";
}

TEST(ParseTest, Booleans) {
  const struct {
    const char* text;
    std::optional<bool> value;
  } cases[] = {
      {"True", true},           {"False", false},       {"TRUE", true},      {"false", false},
      {" True ", true},         {"", std::nullopt},     {"1", std::nullopt}, {"yes", std::nullopt},
      {"Truely", std::nullopt}, {"Fals", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseBoolean(c.text), c.value) << "'" << c.text << "'";
}

TEST(ParseTest, SixteenBitIntegers) {
  const struct {
    const char* text;
    std::optional<std::int16_t> value;
  } cases[] = {
      {"0", 0},
      {"1", 1},
      {"2", 2},
      {" 2 ", 2},
      {"-1", -1},
      {"32767", 32767},
      {"32768", std::nullopt},
      {"1.5", std::nullopt},
      {"", std::nullopt},
      {"two", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseInteger16(c.text), c.value) << "'" << c.text << "'";
}

TEST(ParseTest, FormatsNumbersAsPlainDecimals) {
  EXPECT_EQ(FormatSingle(1005.0f), "1005");
  EXPECT_EQ(FormatSingle(-30.0f), "-30");
  EXPECT_EQ(FormatSingle(1000000.0f), "1000000");
  EXPECT_EQ(FormatSingle(12.5f), "12.5");
  for (float value : {0.0f, 1005.0f, 6495.0f, -19200.0f, 12.25f}) {
    EXPECT_EQ(ParseSingle(FormatSingle(value)), value);
  }
}

TEST_F(SettingsTest, AbsentValuesGiveTheirDefaults) {
  EXPECT_EQ(GetSetting(kAppTitle, kSettingsSection, "MainLeft", "1000"), "1000");
  Placement placement = ReadPlacement();
  EXPECT_EQ(placement.left, 1000);
  EXPECT_EQ(placement.top, 1000);
  EXPECT_EQ(placement.width, 6500);
  EXPECT_EQ(placement.height, 6500);
  g_bStoreFolderNames = true;
  g_sBasePath = "X";
  g_iFirstRun = 0;
  ReadProgramSettings();
  EXPECT_FALSE(g_bStoreFolderNames);
  EXPECT_EQ(g_sBasePath, "C:\\");
  EXPECT_EQ(g_iFirstRun, 1);
  // Reading never creates the section.
  EXPECT_EQ(Stored("MainLeft"), "<no key>");
}

TEST_F(SettingsTest, WritesTheSevenValuesAsText) {
  g_bStoreFolderNames = true;
  g_sBasePath = "D:\\Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC\\";
  g_iFirstRun = 2;
  WriteApplicationSettings(Placement{1005, -30, 9000, 6495.5f});
  EXPECT_EQ(Stored("MainLeft"), "1005");
  EXPECT_EQ(Stored("MainTop"), "-30");
  EXPECT_EQ(Stored("MainWidth"), "9000");
  EXPECT_EQ(Stored("MainHeight"), "6495.5");
  EXPECT_EQ(Stored("storfolder"), "True");
  EXPECT_EQ(Stored("BasePath"), g_sBasePath);
  EXPECT_EQ(Stored("frun"), "2");

  std::string basePath = g_sBasePath;
  g_bStoreFolderNames = false;
  g_sBasePath.clear();
  g_iFirstRun = 1;
  ReadProgramSettings();
  EXPECT_TRUE(g_bStoreFolderNames);
  EXPECT_EQ(g_sBasePath, basePath);
  EXPECT_EQ(g_iFirstRun, 2);
  Placement placement = ReadPlacement();
  EXPECT_EQ(placement.left, 1005);
  EXPECT_EQ(placement.top, -30);
  EXPECT_EQ(placement.width, 9000);
  EXPECT_EQ(placement.height, 6495.5f);
}

TEST_F(SettingsTest, UnconvertibleValuesFallBackToDefaults) {
  Put("MainLeft", "left");
  Put("MainTop", "");
  Put("MainWidth", "0");
  Put("MainHeight", "-200");
  Put("storfolder", "maybe");
  Put("BasePath", "");
  Put("frun", "99999");
  Placement placement = ReadPlacement();
  EXPECT_EQ(placement.left, 1000);
  EXPECT_EQ(placement.top, 1000);
  EXPECT_EQ(placement.width, 6500);
  EXPECT_EQ(placement.height, 6500);
  ReadProgramSettings();
  EXPECT_FALSE(g_bStoreFolderNames);
  EXPECT_EQ(g_sBasePath, "");  // text is taken as it is, empty included
  EXPECT_EQ(g_iFirstRun, 1);
}

TEST_F(SettingsTest, ValueOfAnotherTypeReadsAsAbsent) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSection, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  DWORD number = 5;
  RegSetValueExA(key, "frun", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), sizeof number);
  RegCloseKey(key);
  EXPECT_EQ(GetSetting(kAppTitle, kSettingsSection, "frun", "1"), "1");
}

TEST_F(SettingsTest, LongTextRoundTrips) {
  std::string text(5000, 'x');
  text += "\xC3\xAB";
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
  EXPECT_EQ(VersionText(1, 0, 0), "Version 1.0.0");
  EXPECT_EQ(VersionText(2, 10, 0), "Version 2.10.0");
  EXPECT_EQ(VersionText(0, 0, 7), "Version 0.0.7");
  // This test program carries the program's version resource.
  EXPECT_EQ(ProgramVersionText(), "Version 1.0.0");
}

}  // namespace
}  // namespace corvane
