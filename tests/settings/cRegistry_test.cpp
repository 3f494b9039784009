// The registry object against the test prefix's real registry.
#include "settings/cRegistry.h"

#include <gtest/gtest.h>

#include "Testing.h"
#include "platform/Module.h"

namespace corvane {
namespace {

constexpr char kKey[] = "Software\\Corvane Tests\\Registry";

std::string Z(const std::string& text) {
  return text + '\0';
}

// An object addressing the value "v" of the test key, which starts absent.
cRegistry TestValue() {
  RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
  cRegistry reg;
  reg.ClassKey(HKEY_CURRENT_USER);
  reg.SectionKey(kKey);
  reg.ValueKey("v");
  return reg;
}

TEST(cRegistryTest, ValuesAreStoredByTypeAndReadAsStored) {
  SetEnvironmentVariableA("CORVANE_TEST", "C:\\X");
  using B = std::vector<std::uint8_t>;
  using S = std::string;
  const struct {
    DWORD type;  // 0: stored by another program, as the next two columns say
    RegValue written;
    DWORD stored;  // 0: nothing stored
    std::string bytes;
    RegValue read;
    long error = 0;  // raised by the write, which creates the key all the same
  } cases[] = {
      {REG_SZ, "Zo\xC3\xAB", REG_SZ, Z("Zo\xC3\xAB"), "Zo\xC3\xAB"},
      {REG_SZ, "1%%", REG_SZ, Z("1%%"), "1%%"},
      {REG_SZ, "%CORVANE_TEST%\\a", REG_EXPAND_SZ, Z("%CORVANE_TEST%\\a"), "C:\\X\\a"},
      {REG_EXPAND_SZ, true, REG_SZ, Z("True"), "True"},
      {REG_DWORD, std::int16_t{-2}, REG_DWORD, S("\xFE\xFF\xFF\xFF", 4), -2},
      {REG_DWORD_BIG_ENDIAN, 256, REG_DWORD, S("\0\1\0\0", 4), 256},
      {REG_BINARY, B{0, 255}, REG_BINARY, S("\0\xFF", 2), B{0, 255}},
      {REG_DWORD, "5", 0, "", {}},  // skipped; an absent value reads as empty
      {REG_BINARY, "5", 0, "", {}, kErrRegistry},
      {REG_QWORD, 5, 0, "", {}, kErrRegistryWrite},
      {0, {}, REG_DWORD_BIG_ENDIAN, S("\0\0\1\0", 4), 256},
      {0, {}, REG_MULTI_SZ, S("a\0b\0\0", 5), S("a\0b\0", 4)},
      {0, {}, REG_SZ, "abc", "abc"},  // without its terminating zero
      {0, {}, REG_QWORD, S(8, 1), B(8, 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ValueText(c.read) + std::to_string(c.error));
    cRegistry reg = TestValue();
    EXPECT_FALSE(reg.KeyExists());
    if (c.type) {
      reg.ValueType(c.type);
      EXPECT_EQ(test::ErrorNumber([&] { reg.Value(c.written); }), c.error);
      DWORD type = 0, size = 64;
      std::string bytes(size, '\0');
      RegGetValueA(HKEY_CURRENT_USER, kKey, "v", RRF_RT_ANY | RRF_NOEXPAND, &type, bytes.data(),
                   &size);
      EXPECT_EQ(type, c.stored);
      EXPECT_EQ(bytes.substr(0, c.stored ? size : 0), c.bytes);
    } else {
      RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "v", c.stored, c.bytes.data(),
                      static_cast<DWORD>(c.bytes.size()));
    }
    EXPECT_TRUE(reg.KeyExists());
    reg.ValueType(REG_SZ);
    EXPECT_EQ(reg.Value(), c.read);
    EXPECT_EQ(reg.ValueType(), c.stored ? c.stored : REG_SZ);
  }
}

// Subkey names longer in UTF-8 bytes than the 255 characters a key name may have enumerate whole.
TEST(cRegistryTest, KeysAreCreatedEnumeratedAndDeleted) {
  std::string wide;
  for (int i = 0; i < 90; ++i) wide += "\xE6\x97\xA5";
  cRegistry reg = TestValue();
  reg.ValueType(REG_SZ);
  reg.Value("x");
  reg.SectionKey(std::string(kKey) + "\\" + wide);
  EXPECT_TRUE(reg.CreateKey() && reg.CreateKey() && reg.KeyExists());
  reg.SectionKey(kKey);
  std::vector<std::string> names;
  std::int32_t count = -1;
  EXPECT_TRUE(reg.EnumerateSections(names, count) && count == 1);
  EXPECT_EQ(names, std::vector<std::string>{wide});
  EXPECT_TRUE(reg.EnumerateValues(names, count) && count == 1);
  EXPECT_EQ(names, std::vector<std::string>{"v"});
  EXPECT_TRUE(reg.DeleteValue() && reg.EnumerateValues(names, count) && count == 0);
  // A key with subkeys stays; the error names the program, the root and the key.
  std::string source, text;
  EXPECT_EQ(test::ErrorNumber([&] { reg.DeleteKey(); }, &source, &text), kErrRegistry);
  EXPECT_EQ(source, ExecutableTitle() + ".cRegistry");
  EXPECT_NE(text.find("'-2147483647',Section: '" + std::string(kKey)), std::string::npos) << text;
  reg.SectionKey(std::string(kKey) + "\\" + wide);
  EXPECT_TRUE(reg.DeleteKey());
  EXPECT_FALSE(reg.KeyExists());
}

}  // namespace
}  // namespace corvane
