// The registry object against the test prefix's real registry.
#include "settings/cRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "platform/Module.h"

namespace corvane {
namespace {

constexpr char kKey[] = "Software\\Corvane Tests\\Registry";

using Bytes = std::vector<std::uint8_t>;

// The type and bytes the registry holds for a value of the test key; type 0 when it is absent.
std::pair<DWORD, std::string> Stored(const std::string& name) {
  HKEY key = nullptr;
  DWORD type = 0, size = 0;
  std::string data(200, '\0');
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return {0, ""};
  }
  size = static_cast<DWORD>(data.size());
  LSTATUS status = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return {0, ""};
  data.resize(size);
  return {type, data};
}

void Put(const std::string& name, DWORD type, const std::string& data) {
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kKey, name.c_str(), type, data.data(),
                            static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
}

// A registry object addressing one value.
cRegistry At(HKEY root, const std::string& section, const std::string& name, DWORD type) {
  cRegistry reg;
  reg.ClassKey(root);
  reg.SectionKey(section);
  reg.ValueKey(name);
  reg.ValueType(type);
  return reg;
}

std::optional<Error> Raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& error) {
    return error;
  }
  return std::nullopt;
}

class cRegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    SetEnvironmentVariableA("CORVANE_TEST_FOLDER", "C:\\Expanded");
    m_reg.ClassKey(HKEY_CURRENT_USER);
    m_reg.SectionKey(kKey);
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }

  cRegistry m_reg;
};

TEST_F(cRegistryTest, WrittenValuesAreStoredByTypeAndReadBack) {
  const std::string zoe = "Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC";
  const struct {
    DWORD valueType;
    RegValue written;
    DWORD storedType;  // 0: nothing is stored
    std::string storedData;
    RegValue read;
  } cases[] = {
      {REG_SZ, "plain", REG_SZ, std::string("plain\0", 6), "plain"},
      {REG_SZ, "", REG_SZ, std::string(1, '\0'), ""},
      {REG_SZ, zoe, REG_SZ, zoe + '\0', zoe},
      // The two-"%" rule: an expandable text needs a second "%" at least two places on.
      {REG_SZ, "\"C:\\x.exe\" \"%1\"", REG_SZ, std::string("\"C:\\x.exe\" \"%1\"\0", 16),
       "\"C:\\x.exe\" \"%1\""},
      {REG_SZ, "100%% sure", REG_SZ, std::string("100%% sure\0", 11), "100%% sure"},
      {REG_SZ, "%CORVANE_TEST_FOLDER%\\a", REG_EXPAND_SZ,
       std::string("%CORVANE_TEST_FOLDER%\\a\0", 24), "C:\\Expanded\\a"},
      {REG_SZ, "%x%", REG_EXPAND_SZ, std::string("%x%\0", 4), "%x%"},
      {REG_EXPAND_SZ, "no reference", REG_SZ, std::string("no reference\0", 13), "no reference"},
      {REG_SZ, std::int32_t{-42}, REG_SZ, std::string("-42\0", 4), "-42"},
      {REG_SZ, true, REG_SZ, std::string("True\0", 5), "True"},
      {REG_DWORD, std::int32_t{-5}, REG_DWORD, std::string("\xFB\xFF\xFF\xFF", 4), -5},
      {REG_DWORD, std::int16_t{7}, REG_DWORD, std::string("\x07\0\0\0", 4), 7},
      // Written without a byte swap; it is REG_DWORD that is stored.
      {REG_DWORD_BIG_ENDIAN, std::int32_t{256}, REG_DWORD, std::string("\0\x01\0\0", 4), 256},
      {REG_BINARY, Bytes{0, 1, 255}, REG_BINARY, std::string("\0\x01\xFF", 3), Bytes{0, 1, 255}},
      {REG_BINARY, Bytes{}, REG_BINARY, "", Bytes{}},
      // A DWORD of anything but an integer is silently not written.
      {REG_DWORD, true, 0, "", {}},
      {REG_DWORD, "5", 0, "", {}},
  };
  int row = 0;
  for (const auto& c : cases) {
    std::string name = "v" + std::to_string(++row);
    m_reg.ValueKey(name);
    m_reg.ValueType(c.valueType);
    m_reg.Value(c.written);
    EXPECT_EQ(Stored(name), std::make_pair(c.storedType, c.storedData)) << "row " << row;
    m_reg.ValueType(REG_NONE);
    EXPECT_EQ(m_reg.Value(), c.read) << "row " << row;
    EXPECT_EQ(m_reg.ValueType(), c.storedType ? c.storedType : REG_NONE) << "row " << row;
  }
}

TEST_F(cRegistryTest, ValuesOtherProgramsStoredAreRead) {
  const struct {
    DWORD type;
    std::string data;
    RegValue read;
  } cases[] = {
      {REG_DWORD_BIG_ENDIAN, std::string("\0\0\x01\0", 4), 256},
      {REG_MULTI_SZ, std::string("a\0b\0\0", 5), std::string("a\0b\0", 4)},
      {REG_SZ, "abc", "abc"},  // stored without its terminating zero
      {REG_SZ, "", ""},
      {REG_EXPAND_SZ, std::string("%CORVANE_TEST_FOLDER%\0", 22), "C:\\Expanded"},
      {REG_EXPAND_SZ, std::string("%CORVANE_NO_SUCH_VARIABLE%\0", 27),
       "%CORVANE_NO_SUCH_VARIABLE%"},
      {REG_DWORD, std::string("\x02\0", 2), 2},  // shorter than four bytes
      {REG_QWORD, std::string("\x01\0\0\0\0\0\0\x80", 8), Bytes{1, 0, 0, 0, 0, 0, 0, 0x80}},
      {REG_SZ, std::string(100000, 'x') + '\0', std::string(100000, 'x')},
  };
  for (const auto& c : cases) {
    Put("other", c.type, c.data);
    m_reg.ValueKey("other");
    m_reg.ValueType(REG_SZ);
    EXPECT_EQ(m_reg.Value(), c.read) << "type " << c.type << ", " << c.data.size() << " bytes";
    EXPECT_EQ(m_reg.ValueType(), c.type);
  }
}

TEST_F(cRegistryTest, MissingValuesReadAsTheDefault) {
  const struct {
    HKEY root;
    const char* section;
    const char* name;
  } cases[] = {
      {HKEY_CURRENT_USER, kKey, "absent"},
      {HKEY_CURRENT_USER, "Software\\Corvane Tests\\No Such Key", "absent"},
      {nullptr, kKey, "absent"},
  };
  m_reg.CreateKey();
  for (const auto& c : cases) {
    cRegistry reg = At(c.root, c.section, c.name, REG_BINARY);
    EXPECT_EQ(reg.Value(), RegValue()) << c.section;
    reg.Default("fallback");
    EXPECT_EQ(reg.Value(), RegValue("fallback")) << c.section;
    EXPECT_EQ(reg.ValueType(), static_cast<DWORD>(REG_BINARY));
  }
}

TEST_F(cRegistryTest, KeysAreCreatedEnumeratedAndDeleted) {
  std::vector<std::string> names;
  std::int32_t count = -1;
  EXPECT_FALSE(m_reg.KeyExists());
  EXPECT_TRUE(m_reg.EnumerateSections(names, count));
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(m_reg.EnumerateValues(names, count));
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(names.empty());

  const std::string sub = std::string(kKey) + "\\Zo\xC3\xAB\\deeper";
  m_reg.SectionKey(sub);
  EXPECT_TRUE(m_reg.CreateKey());
  EXPECT_TRUE(m_reg.CreateKey());  // an existing key is opened
  EXPECT_TRUE(m_reg.KeyExists());
  // A name longer in UTF-8 bytes than the registry's 255-character limit for a key name.
  std::string wide;
  for (int i = 0; i < 90; ++i) wide += "\xE6\x97\xA5";
  m_reg.SectionKey(std::string(kKey) + "\\" + wide);
  m_reg.CreateKey();
  m_reg.SectionKey(kKey);
  m_reg.ValueType(REG_SZ);
  for (const char* name : {"", "first", "Zo\xC3\xAB value"}) {
    m_reg.ValueKey(name);
    m_reg.Value("x");
  }
  EXPECT_TRUE(m_reg.EnumerateSections(names, count));
  EXPECT_EQ(count, 2);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Zo\xC3\xAB", wide}));
  EXPECT_TRUE(m_reg.EnumerateValues(names, count));
  EXPECT_EQ(count, 3);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"", "Zo\xC3\xAB value", "first"}));

  m_reg.ValueKey("first");
  EXPECT_TRUE(m_reg.DeleteValue());
  EXPECT_EQ(Stored("first").first, 0u);
  m_reg.SectionKey(sub);
  EXPECT_TRUE(m_reg.DeleteKey());
  EXPECT_FALSE(m_reg.KeyExists());
  m_reg.SectionKey(std::string(kKey) + "\\Zo\xC3\xAB");
  EXPECT_TRUE(m_reg.KeyExists());
}

// Each operation here fails under any Windows for the reason given; the error keeps its number,
// source and the names it is about, and the object's properties stay as they were.
TEST_F(cRegistryTest, FailuresRaiseNumberedErrorsNamingTheKey) {
  const std::string tooLong = std::string(kKey) + "\\" + std::string(300, 'k');
  const std::string missing = std::string(kKey) + "\\missing";
  const std::string source = ExecutableTitle() + ".cRegistry";
  const struct {
    const char* what;
    HKEY root;
    std::string section;
    std::string name;
    DWORD valueType;
    std::function<void(cRegistry&)> call;
    long number;
    bool namesRoot;  // the create-key message names the key only
  } cases[] = {
      {"create: key name over 255 characters", HKEY_CURRENT_USER, tooLong, "", 0,
       [](cRegistry& r) { r.CreateKey(); }, kErrRegistry, false},
      {"create: no root", nullptr, missing, "", 0, [](cRegistry& r) { r.CreateKey(); },
       kErrRegistry, false},
      {"delete: key with subkeys", HKEY_CURRENT_USER, kKey, "", 0,
       [](cRegistry& r) { r.DeleteKey(); }, kErrRegistry, true},
      {"delete: missing key", HKEY_CURRENT_USER, missing, "", 0,
       [](cRegistry& r) { r.DeleteKey(); }, kErrRegistry, true},
      {"delete value: missing key", HKEY_CURRENT_USER, missing, "v", 0,
       [](cRegistry& r) { r.DeleteValue(); }, kErrRegistry, true},
      {"delete value: missing value", HKEY_CURRENT_USER, kKey, "missing", 0,
       [](cRegistry& r) { r.DeleteValue(); }, kErrRegistry, true},
      {"write: key name over 255 characters", HKEY_CURRENT_USER, tooLong, "v", REG_SZ,
       [](cRegistry& r) { r.Value("x"); }, kErrRegistry, true},
      {"write: value name over 16383 characters", HKEY_CURRENT_USER, kKey, std::string(20000, 'n'),
       REG_SZ, [](cRegistry& r) { r.Value("x"); }, kErrRegistryWrite, true},
      {"write: multi-string type", HKEY_CURRENT_USER, kKey, "v", REG_MULTI_SZ,
       [](cRegistry& r) { r.Value("x"); }, kErrRegistryWrite, true},
      {"write: no type set", HKEY_CURRENT_USER, kKey, "v", REG_NONE,
       [](cRegistry& r) { r.Value("x"); }, kErrRegistryWrite, true},
  };
  m_reg.SectionKey(std::string(kKey) + "\\child");
  m_reg.CreateKey();
  for (const auto& c : cases) {
    cRegistry reg = At(c.root, c.section, c.name, c.valueType);
    std::optional<Error> error = Raised([&] { c.call(reg); });
    ASSERT_TRUE(error) << c.what;
    EXPECT_EQ(error->Number(), c.number) << c.what;
    EXPECT_EQ(error->Source(), source) << c.what;
    const std::string& message = error->Description();
    EXPECT_NE(message.find("'" + c.section), std::string::npos) << c.what << ": " << message;
    if (c.namesRoot) {
      std::string root = c.root == HKEY_CURRENT_USER ? "'-2147483647'" : "'0'";
      EXPECT_NE(message.find(root), std::string::npos) << c.what << ": " << message;
    }
    EXPECT_EQ(reg.ClassKey(), c.root) << c.what;
    EXPECT_EQ(reg.SectionKey(), c.section) << c.what;
    EXPECT_EQ(reg.ValueType(), c.valueType) << c.what;
  }

  // A binary value must be bytes; the error has no source and no text of its own.
  m_reg.SectionKey(kKey);
  m_reg.ValueKey("b");
  m_reg.ValueType(REG_BINARY);
  std::optional<Error> error = Raised([&] { m_reg.Value("text"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Number(), kErrRegistry);
  EXPECT_EQ(error->Source(), "");
  EXPECT_EQ(Stored("b").first, 0u);
}

TEST(RegValueTest, ConvertsToNumbers) {
  const struct {
    RegValue value;
    std::optional<std::int32_t> number;  // none: a type mismatch
  } cases[] = {
      {RegValue(), 0},
      {"12", 12},
      {" -7 ", -7},
      {"+3", 3},
      {std::int16_t{-2}, -2},
      {true, 1},
      {"", std::nullopt},
      {"abc", std::nullopt},
      {"1.5", std::nullopt},
      {"99999999999", std::nullopt},
      {Bytes{1}, std::nullopt},
  };
  for (const auto& c : cases) {
    std::int32_t number = 0;
    std::optional<Error> error = Raised([&] { number = ValueNumber(c.value, "src"); });
    if (c.number) {
      EXPECT_FALSE(error) << ValueText(c.value);
      EXPECT_EQ(number, *c.number) << ValueText(c.value);
    } else {
      ASSERT_TRUE(error) << ValueText(c.value);
      EXPECT_EQ(error->Number(), kErrTypeMismatch);
      EXPECT_EQ(error->Source(), "src");
    }
  }
}

}  // namespace
}  // namespace corvane
