// The registry object against the test prefix's real registry.
#include "settings/cRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/Module.h"

namespace corvane {
namespace {

constexpr char kKey[] = "Software\\Corvane Tests\\Registry";
using Bytes = std::vector<std::uint8_t>;

std::string Z(const std::string& text) {
  return text + '\0';
}

class cRegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    SetEnvironmentVariableA("CORVANE_TEST_FOLDER", "C:\\Expanded");
    m_reg.ClassKey(HKEY_CURRENT_USER);
    m_reg.SectionKey(kKey);
    m_reg.ValueKey("v");
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }

  // The type and bytes stored for "v"; type 0 when there is none.
  static std::pair<DWORD, std::string> Stored() {
    HKEY key = nullptr;
    DWORD type = 0, size = 200;
    std::string data(size, '\0');
    RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key);
    LSTATUS status =
        RegQueryValueExA(key, "v", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::make_pair(type, data.substr(0, size))
                                   : std::make_pair(DWORD{0}, std::string());
  }

  cRegistry m_reg;
};

TEST_F(cRegistryTest, ValuesAreStoredByTypeAndReadAsStored) {
  const std::string zoe = "Zo\xC3\xAB \xE6\x97\xA5", run = "\"C:\\x.exe\" \"%1\"";
  const struct {
    DWORD valueType;  // 0: the value was stored by another program, as the next two columns say
    RegValue written;
    DWORD storedType;  // 0: nothing is stored
    std::string bytes;
    RegValue read;
  } cases[] = {
      {REG_SZ, "", REG_SZ, Z(""), ""},
      {REG_SZ, zoe, REG_SZ, Z(zoe), zoe},
      {REG_SZ, run, REG_SZ, Z(run), run},  // one "%"
      {REG_SZ, "100%% sure", REG_SZ, Z("100%% sure"), "100%% sure"},
      {REG_SZ, "%CORVANE_TEST_FOLDER%\\a", REG_EXPAND_SZ, Z("%CORVANE_TEST_FOLDER%\\a"),
       "C:\\Expanded\\a"},
      {REG_EXPAND_SZ, "plain", REG_SZ, Z("plain"), "plain"},
      {REG_SZ, std::int32_t{-42}, REG_SZ, Z("-42"), "-42"},
      {REG_SZ, true, REG_SZ, Z("True"), "True"},
      {REG_DWORD, std::int16_t{-2}, REG_DWORD, std::string("\xFE\xFF\xFF\xFF", 4), -2},
      {REG_DWORD_BIG_ENDIAN, 256, REG_DWORD, std::string("\0\x01\0\0", 4), 256},
      {REG_BINARY, Bytes{0, 1, 255}, REG_BINARY, std::string("\0\x01\xFF", 3), Bytes{0, 1, 255}},
      {REG_DWORD, true, 0, "", {}},
      {REG_DWORD, "5", 0, "", {}},
      {0, {}, REG_DWORD_BIG_ENDIAN, std::string("\0\0\x01\0", 4), 256},
      {0, {}, REG_MULTI_SZ, std::string("a\0b\0\0", 5), std::string("a\0b\0", 4)},
      {0, {}, REG_SZ, "abc", "abc"},  // without its terminating zero
      {0, {}, REG_EXPAND_SZ, Z("%CORVANE_NO_SUCH%"), "%CORVANE_NO_SUCH%"},
      {0, {}, REG_DWORD, std::string("\x02\0", 2), 2},
      {0, {}, REG_QWORD, std::string(8, '\x01'), Bytes(8, 1)},
      {0, {}, REG_SZ, Z(std::string(100000, 'x')), std::string(100000, 'x')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ValueText(c.read).substr(0, 30));
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    if (c.valueType) {
      m_reg.ValueType(c.valueType);
      m_reg.Value(c.written);
      EXPECT_EQ(Stored(), std::make_pair(c.storedType, c.bytes));
    } else {
      RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "v", c.storedType, c.bytes.data(),
                      static_cast<DWORD>(c.bytes.size()));
    }
    m_reg.ValueType(REG_SZ);
    EXPECT_EQ(m_reg.Value(), c.read);
    EXPECT_EQ(m_reg.ValueType(), c.storedType ? c.storedType : REG_SZ);
  }
  m_reg.SectionKey(std::string(kKey) + "\\missing");
  m_reg.Default("fallback");
  EXPECT_EQ(m_reg.Value(), RegValue("fallback"));
}

TEST_F(cRegistryTest, KeysAreCreatedEnumeratedAndDeleted) {
  std::vector<std::string> names{"old"};
  std::int32_t count = -1;
  EXPECT_FALSE(m_reg.KeyExists());
  EXPECT_TRUE(m_reg.EnumerateSections(names, count));
  EXPECT_TRUE(m_reg.EnumerateValues(names, count));
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(names.empty());
  // Longer in UTF-8 bytes than the 255 characters a key name may have.
  std::string wide;
  for (int i = 0; i < 90; ++i) wide += "\xE6\x97\xA5";
  for (const std::string& sub : {std::string("Zo\xC3\xAB\\deeper"), wide}) {
    m_reg.SectionKey(std::string(kKey) + "\\" + sub);
    EXPECT_TRUE(m_reg.CreateKey());
  }
  m_reg.SectionKey(kKey);
  EXPECT_TRUE(m_reg.CreateKey());  // an existing key is opened
  m_reg.ValueType(REG_SZ);
  for (const char* name : {"", "first", "Zo\xC3\xAB value"}) {
    m_reg.ValueKey(name);
    m_reg.Value("x");
  }
  EXPECT_TRUE(m_reg.EnumerateSections(names, count));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Zo\xC3\xAB", wide}));
  EXPECT_TRUE(m_reg.EnumerateValues(names, count));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"", "Zo\xC3\xAB value", "first"}));
  EXPECT_EQ(count, 3);
  EXPECT_TRUE(m_reg.DeleteValue());
  m_reg.SectionKey(std::string(kKey) + "\\Zo\xC3\xAB\\deeper");
  EXPECT_TRUE(m_reg.DeleteKey());
  EXPECT_FALSE(m_reg.KeyExists());
  m_reg.SectionKey(kKey);
  EXPECT_TRUE(m_reg.EnumerateValues(names, count));
  EXPECT_EQ(count, 2);
}

// Each operation here fails under any Windows, for the reason given. The error names the root (but
// for creating a key) and the key, and the object's properties stay as they were.
TEST_F(cRegistryTest, FailuresRaiseNumberedErrorsNamingTheKey) {
  const std::string tooLong = std::string(kKey) + "\\" + std::string(300, 'k');
  const std::string missing = std::string(kKey) + "\\missing";
  const std::function<void(cRegistry&)> create = &cRegistry::CreateKey,
                                        remove = &cRegistry::DeleteKey,
                                        removeValue = &cRegistry::DeleteValue,
                                        write = [](cRegistry&r) { r.Value("x"); };
  const struct {
    const char* what;
    HKEY root;
    std::string section, name;
    DWORD valueType;
    std::function<void(cRegistry&)> call;
    long number;
    const char* rootText;  // null: not named
  } cases[] = {
      {"key name over 255 characters", HKEY_CURRENT_USER, tooLong, "", 0, create, kErrRegistry},
      {"no root", nullptr, missing, "", 0, create, kErrRegistry},
      {"key with subkeys", HKEY_CURRENT_USER, kKey, "", 0, remove, kErrRegistry, "'-2147483647'"},
      {"missing key", HKEY_CURRENT_USER, missing, "", 0, remove, kErrRegistry, "'-2147483647'"},
      {"value of a missing key", HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvane Tests Missing", "v", 0,
       removeValue, kErrRegistry, "'-2147483646'"},
      {"missing value", HKEY_CURRENT_USER, kKey, "missing", 0, removeValue, kErrRegistry,
       "'-2147483647'"},
      {"write, key name over 255 characters", HKEY_CURRENT_USER, tooLong, "v", REG_SZ, write,
       kErrRegistry, "'-2147483647'"},
      {"write, no root", nullptr, kKey, "v", REG_SZ, write, kErrRegistry, "'0'"},
      {"write, value name over 16383 characters", HKEY_CURRENT_USER, kKey, std::string(20000, 'n'),
       REG_SZ, write, kErrRegistryWrite, "'-2147483647'"},
      {"write, multi-string type", HKEY_CURRENT_USER, kKey, "v", REG_MULTI_SZ, write,
       kErrRegistryWrite, "'-2147483647'"},
  };
  m_reg.SectionKey(std::string(kKey) + "\\child");
  m_reg.CreateKey();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    cRegistry reg;
    reg.ClassKey(c.root);
    reg.SectionKey(c.section);
    reg.ValueKey(c.name);
    reg.ValueType(c.valueType);
    try {
      c.call(reg);
      ADD_FAILURE() << "no error";
    } catch (const Error& error) {
      EXPECT_EQ(error.Number(), c.number);
      EXPECT_EQ(error.Source(), ExecutableTitle() + ".cRegistry");
      EXPECT_NE(error.Description().find("'" + c.section), std::string::npos);
      if (c.rootText) EXPECT_NE(error.Description().find(c.rootText), std::string::npos);
    }
    EXPECT_EQ(reg.SectionKey(), c.section);
    EXPECT_EQ(reg.ValueType(), c.valueType);
  }
  // A binary value must be bytes; that error has no source and no text of its own.
  m_reg.ValueType(REG_BINARY);
  try {
    m_reg.Value("text");
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), kErrRegistry);
    EXPECT_EQ(error.Source(), "");
  }
}

}  // namespace
}  // namespace corvane
