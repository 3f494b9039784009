// The shell association in the test prefix's registry. HKEY_CLASSES_ROOT shows the machine's
// classes only here, so which root each write went to, and in what order, is seen in the log of a
// recorder in front of the registry object's value writer.
#include "settings/Association.h"

#include <gtest/gtest.h>

#include "cRegistryTestHelper.h"
#include "platform/Module.h"

namespace corvane {
namespace {

constexpr char kProgram[] = "C:\\Program Files\\Corvane\\Corvane.exe";
const std::string kQuoted = "\"" + std::string(kProgram) + "\"";
// Corvane's five keys, in the order they are written, with their values.
const std::pair<std::string, std::string> kZipKeys[] = {
    {".ZIP", "Corvane.ZipFile"},
    {"Corvane.ZipFile", "ZIP File"},
    {"Corvane.ZipFile\\shell\\open", "&Open"},
    {"Corvane.ZipFile\\shell\\open\\command", kQuoted + " \"%1\""},
    {"Corvane.ZipFile\\DefaultIcon", kQuoted + ",1"},
};

// The unnamed value of a key, "<absent>" when there is none.
std::string DefaultOf(HKEY root, const std::string& key) {
  char data[1024] = "";
  DWORD size = sizeof data;
  LSTATUS status = RegGetValueA(root, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data, &size);
  return status == ERROR_SUCCESS ? data : "<absent>";
}

class AssociationTest : public testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    for (const char* key : {".ZIP", "Corvane.ZipFile", ".CVT", "CorvaneTest.File"}) {
      RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
      RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\Classes\\") + key).c_str());
    }
  }
};

TEST_F(AssociationTest, CorvaneWritesFiveKeysUnderBothRootsThenTheUnquotedIcon) {
  cRegistryTestHelper recorder;
  AssociateZipFiles(kProgram);
  std::string expected;
  for (const auto& [key, value] : kZipKeys) {
    expected +=
        "HKCR\\" + key + " = " + value + "\nHKLM\\SOFTWARE\\Classes\\" + key + " = " + value + "\n";
  }
  expected += "HKCR\\Corvane.ZipFile\\DefaultIcon = " + std::string(kProgram) + ",1\n";
  EXPECT_EQ(recorder.log, expected);
  EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, "Corvane.ZipFile\\DefaultIcon"),
            std::string(kProgram) + ",1");
}

TEST_F(AssociationTest, PathIsQuotedOnceAndVerbsFollowTheFlags) {
  const struct {
    const char* path;
    bool print, install, newVerb;
    int icon;
    const char* openText;
    std::string written;  // under HKEY_CLASSES_ROOT, after the extension and the class keys
  } cases[] = {
      {"C:\\a b\\x.exe", false, false, false, 0, "&Go",
       "open = &Go|open\\command = \"C:\\a b\\x.exe\" \"%1\"|DefaultIcon = \"C:\\a b\\x.exe\",0|"},
      {"\"C:\\x.exe", false, false, false, -1, "",
       "open = &Open|open\\command = \"C:\\x.exe\" \"%1\"|"},
      {"  C:\\x.exe\"  ", false, true, false, 3, "",
       "open = &Open|open\\command = \"C:\\x.exe\" \"%1\"|add = &Install CVT|"
       "add\\command = \"C:\\x.exe\" /a \"%1\"|DefaultIcon = \"C:\\x.exe\",3|"},
      {"\"C:\\x.exe\"", true, true, true, -1, "",
       "open = &Open|open\\command = \"C:\\x.exe\" \"%1\"|print = &Print|"
       "print\\command = \"C:\\x.exe\" /p \"%1\"|add = &Install CVT|"
       "add\\command = \"C:\\x.exe\" /a \"%1\"|new = &New|new\\command = \"C:\\x.exe\" /n \"%1\"|"},
  };
  for (const auto& c : cases) {
    cRegistryTestHelper recorder;
    cRegistry reg;
    reg.CreateEXEAssociation(c.path, "CorvaneTest.File", "Test File", "CVT", c.openText, c.print,
                             "", c.newVerb, "", c.install, "", c.icon);
    EXPECT_EQ(reg.ClassKey(), HKEY_LOCAL_MACHINE);
    std::string written, prefix = "HKCR\\CorvaneTest.File\\";
    size_t at = 0;
    for (size_t end; (end = recorder.log.find('\n', at)) != std::string::npos; at = end + 1) {
      std::string line = recorder.log.substr(at, end - at);
      if (line.rfind(prefix, 0) == 0) written += line.substr(prefix.size()) + "|";
    }
    std::string shell = "shell\\";
    for (size_t p; (p = written.find(shell)) != std::string::npos;) written.erase(p, shell.size());
    EXPECT_EQ(written, c.written) << c.path;
    EXPECT_EQ(recorder.log.rfind("HKCR\\.CVT = CorvaneTest.File\n", 0), 0u) << c.path;
  }
}

TEST_F(AssociationTest, AdditionalVerbsNeedTriplesAndAnExistingClass) {
  cRegistry reg;
  reg.ClassKey(HKEY_CLASSES_ROOT);
  for (auto [items, number] :
       {std::pair{std::vector<RegValue>{"a", "b", "c", "d"}, kErrAssociationList},
        std::pair{std::vector<RegValue>{"a", "b", "c"}, kErrAssociationClass}}) {
    try {
      reg.CreateAdditionalEXEAssociations("CorvaneTest.File", items);
      ADD_FAILURE() << number;
    } catch (const Error& error) {
      EXPECT_EQ(error.Number(), number);
      EXPECT_EQ(error.Source(), ExecutableTitle() + ".cRegistry");
    }
  }
  reg.CreateEXEAssociation(kProgram, "CorvaneTest.File", "", "CVT", "", false, "", false, "", false,
                           "", -1);
  reg.ClassKey(HKEY_CLASSES_ROOT);
  cRegistryTestHelper recorder;
  reg.CreateAdditionalEXEAssociations("CorvaneTest.File", {"view", "&View", "v.exe %A% %1"});
  const std::string key = "CorvaneTest.File\\shell\\view";
  EXPECT_EQ(recorder.log, "HKCR\\" + key + " = &View\nHKLM\\SOFTWARE\\Classes\\" + key +
                              " = &View\nHKCR\\" + key + "\\command = v.exe %A% %1 type 2\n" +
                              "HKLM\\SOFTWARE\\Classes\\" + key +
                              "\\command = v.exe %A% %1 type 2\n");
}

// As a normal user on Windows: the machine's classes refuse, and the user's own classes take each
// value once. Any other refusal ends the association there, keeping what was written before it.
TEST_F(AssociationTest, RefusedWritesFallBackToTheUsersClassesOrStop) {
  {
    cRegistryTestHelper recorder({HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE});
    AssociateZipFiles(kProgram);
    std::string expected;
    for (const auto& [key, value] : kZipKeys) {
      expected += "HKCR\\" + key + " refused\nHKCU\\Software\\Classes\\" + key + " = " + value +
                  "\nHKLM\\SOFTWARE\\Classes\\" + key + " refused\n";
    }
    expected +=
        "HKCR\\Corvane.ZipFile\\DefaultIcon refused\n"
        "HKCU\\Software\\Classes\\Corvane.ZipFile\\DefaultIcon = " +
        std::string(kProgram) + ",1\n";
    EXPECT_EQ(recorder.log, expected);
    EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, "Software\\Classes\\.ZIP"), "Corvane.ZipFile");
  }
  cRegistryTestHelper recorder({HKEY_LOCAL_MACHINE}, ERROR_WRITE_FAULT);
  try {
    AssociateZipFiles(kProgram);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), kErrRegistry);
    EXPECT_EQ(error.Description(),
              "Failed to set registry value Key: '-2147483646',Section: "
              "'SOFTWARE\\Classes\\.ZIP',Key: '' to value: 'Corvane.ZipFile'");
  }
  EXPECT_EQ(recorder.log, "HKCR\\.ZIP = Corvane.ZipFile\nHKLM\\SOFTWARE\\Classes\\.ZIP refused\n");
  EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, ".ZIP"), "Corvane.ZipFile");
}

}  // namespace
}  // namespace corvane
