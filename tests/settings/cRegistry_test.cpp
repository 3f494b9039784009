// The registry object against the test prefix's real registry.
#include "settings/cRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "Testing.h"
#include "platform/Module.h"

namespace corvane {
namespace {

constexpr char kKey[] = "Software\\Corvane Tests\\Registry";

std::string Z(const std::string& text) {
  return text + '\0';
}

// An object addressing the value "v" of the test key, which starts empty.
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
  } cases[] = {
      {REG_SZ, "", REG_SZ, Z(""), ""},
      {REG_SZ, "Zo\xC3\xAB", REG_SZ, Z("Zo\xC3\xAB"), "Zo\xC3\xAB"},
      {REG_SZ, "1%%", REG_SZ, Z("1%%"), "1%%"},
      {REG_SZ, "%CORVANE_TEST%\\a", REG_EXPAND_SZ, Z("%CORVANE_TEST%\\a"), "C:\\X\\a"},
      {REG_EXPAND_SZ, true, REG_SZ, Z("True"), "True"},
      {REG_DWORD, std::int16_t{-2}, REG_DWORD, S("\xFE\xFF\xFF\xFF", 4), -2},
      {REG_DWORD_BIG_ENDIAN, 256, REG_DWORD, S("\0\1\0\0", 4), 256},
      {REG_BINARY, B{0, 255}, REG_BINARY, S("\0\xFF", 2), B{0, 255}},
      {REG_DWORD, "5", 0, "", {}},
      {0, {}, REG_DWORD_BIG_ENDIAN, S("\0\0\1\0", 4), 256},
      {0, {}, REG_MULTI_SZ, S("a\0b\0\0", 5), S("a\0b\0", 4)},
      {0, {}, REG_SZ, "abc", "abc"},  // without its terminating zero
      {0, {}, REG_QWORD, S(8, 1), B(8, 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ValueText(c.read));
    cRegistry reg = TestValue();
    if (c.type) {
      reg.ValueType(c.type);
      reg.Value(c.written);
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
    reg.ValueType(REG_SZ);
    EXPECT_EQ(reg.Value(), c.read);
    EXPECT_EQ(reg.ValueType(), c.stored ? c.stored : REG_SZ);
  }
  cRegistry missing = TestValue();
  missing.Default("default");
  EXPECT_EQ(missing.Value(), RegValue("default"));
}

TEST(cRegistryTest, KeysAreCreatedEnumeratedAndDeleted) {
  cRegistry reg = TestValue();
  std::vector<std::string> names{"old"};
  std::int32_t count = -1;
  EXPECT_FALSE(reg.KeyExists());
  EXPECT_TRUE(reg.EnumerateSections(names, count) && names.empty() && count == 0);
  std::string wide;  // longer in UTF-8 bytes than the 255 characters a key name may have
  for (int i = 0; i < 90; ++i) wide += "\xE6\x97\xA5";
  for (const std::string& sub : {std::string("Zo\xC3\xAB\\deeper"), wide}) {
    reg.SectionKey(std::string(kKey) + "\\" + sub);
    EXPECT_TRUE(reg.CreateKey() && reg.CreateKey() && reg.KeyExists());
  }
  reg.SectionKey(kKey);
  reg.ValueType(REG_SZ);
  for (const char* name : {"", "Zo\xC3\xAB value", "v"}) {
    reg.ValueKey(name);
    reg.Value("x");
  }
  EXPECT_TRUE(reg.DeleteValue());
  EXPECT_TRUE(reg.EnumerateSections(names, count) && count == 2);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Zo\xC3\xAB", wide}));
  EXPECT_TRUE(reg.EnumerateValues(names, count) && count == 2);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"", "Zo\xC3\xAB value"}));
  reg.SectionKey(std::string(kKey) + "\\Zo\xC3\xAB\\deeper");
  EXPECT_TRUE(reg.DeleteKey());
  EXPECT_FALSE(reg.KeyExists());
}

// Each of these fails under any Windows. The error names the key and, but for creating a key, the
// root; the object's properties stay as they were.
TEST(cRegistryTest, FailuresRaiseNumberedErrorsNamingTheKey) {
  const std::string tooLong = std::string(kKey) + "\\" + std::string(300, 'k');
  const std::function<void(cRegistry&)> create = &cRegistry::CreateKey,
                                        remove = &cRegistry::DeleteKey,
                                        removeValue = &cRegistry::DeleteValue,
                                        write = [](cRegistry&r) { r.Value("x"); };
  const struct {
    HKEY root;
    std::string section, name;
    DWORD type;
    std::function<void(cRegistry&)> call;
    long number;
    const char* rootText;  // null: an error with no source and no text of its own
  } cases[] = {
      {HKEY_CURRENT_USER, tooLong, "", 0, create, kErrRegistry, ""},  // key name too long
      {nullptr, kKey, "", 0, create, kErrRegistry, ""},
      {HKEY_CURRENT_USER, kKey, "", 0, remove, kErrRegistry, "'-2147483647'"},  // has subkeys
      {HKEY_LOCAL_MACHINE, tooLong, "v", 0, removeValue, kErrRegistry, "'-2147483646'"},
      {nullptr, kKey, "v", REG_SZ, write, kErrRegistry, "'0'"},
      {HKEY_CURRENT_USER, kKey, std::string(20000, 'n'), REG_SZ, write, kErrRegistryWrite,
       "'-2147483647'"},  // value name too long
      {HKEY_CURRENT_USER, kKey, "v", REG_BINARY, write, kErrRegistry, nullptr},  // not bytes
  };
  cRegistry child = TestValue();
  child.SectionKey(std::string(kKey) + "\\child");
  child.CreateKey();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(&c - cases));
    cRegistry reg;
    reg.ClassKey(c.root);
    reg.SectionKey(c.section);
    reg.ValueKey(c.name);
    reg.ValueType(c.type);
    std::string source, text;
    EXPECT_EQ(test::ErrorNumber([&] { c.call(reg); }, &source, &text), c.number);
    EXPECT_EQ(source, c.rootText ? ExecutableTitle() + ".cRegistry" : "");
    if (c.rootText) EXPECT_NE(text.find(c.rootText), std::string::npos) << text;
    if (c.rootText) EXPECT_NE(text.find("'" + c.section), std::string::npos) << text;
    EXPECT_EQ(reg.SectionKey(), c.section);
    EXPECT_EQ(reg.ValueType(), c.type);
  }
}

}  // namespace
}  // namespace corvane
