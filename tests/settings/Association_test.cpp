// The shell association in the test prefix's registry. HKEY_CLASSES_ROOT shows the machine's
// classes only here, so the order of the writes, and which root each went to, is seen through a
// recorder in front of the registry object's value writer.
#include "settings/Association.h"

#include <gtest/gtest.h>

#include "cRegistryTestHelper.h"
#include "platform/Module.h"
#include "settings/cRegistry.h"

namespace corvane {
namespace {

constexpr char kProgram[] = "C:\\Program Files\\Corvane\\Corvane.exe";
constexpr char kQuoted[] = "\"C:\\Program Files\\Corvane\\Corvane.exe\"";

// The keys these tests write, removed from every class root before and after each test.
const char* const kClassKeys[] = {".ZIP", "Corvane.ZipFile", ".CVT", "CorvaneTest.File"};

void RemoveClassKeys() {
  for (const char* key : kClassKeys) {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string("SOFTWARE\\Classes\\") + key).c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\Classes\\") + key).c_str());
  }
}

// The unnamed value of a key, "<absent>" when there is none.
std::string DefaultOf(HKEY root, const std::string& key) {
  char data[1024] = "";
  DWORD size = sizeof data;
  if (RegGetValueA(root, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS) {
    return "<absent>";
  }
  return data;
}

// One line per write: root and key, whether it was refused, and the value written when asked.
std::string Describe(const std::vector<cRegistryTestHelper::Write>& writes, bool values = true) {
  std::string text;
  for (const auto& w : writes) {
    text += RootName(w.root) + "\\" + w.section + (w.refused ? " (refused)" : "");
    text += (values ? " = " + std::string(w.data.c_str()) : "") + "\n";
  }
  return text;
}

class AssociationTest : public testing::Test {
 protected:
  void SetUp() override { RemoveClassKeys(); }
  void TearDown() override { RemoveClassKeys(); }

  // Writes the test class ".CVT" with the given verbs and icon, and returns what was written under
  // HKEY_CLASSES_ROOT, as "key = value" lines.
  static std::vector<std::string> Associate(const std::string& exePath, bool print, bool install,
                                            bool newVerb, std::int32_t icon,
                                            const std::string& openText = "&Open") {
    cRegistryTestHelper recorder;
    cRegistry reg;
    reg.CreateEXEAssociation(exePath, "CorvaneTest.File", "Test File", "CVT", openText, print, "",
                             newVerb, "", install, "", icon);
    EXPECT_EQ(reg.ClassKey(), HKEY_LOCAL_MACHINE);
    std::vector<std::string> written;
    for (const auto& w : recorder.writes) {
      EXPECT_EQ(w.type, static_cast<DWORD>(REG_SZ)) << w.section;
      EXPECT_EQ(w.name, "") << w.section;
      if (w.root == HKEY_CLASSES_ROOT) written.push_back(w.section + " = " + w.data.c_str());
    }
    return written;
  }
};

TEST_F(AssociationTest, CorvaneWritesFiveKeysUnderEachRootThenTheUnquotedIcon) {
  cRegistryTestHelper recorder;
  AssociateZipFiles(kProgram);
  const std::pair<std::string, std::string> keys[] = {
      {".ZIP", "Corvane.ZipFile"},
      {"Corvane.ZipFile", "ZIP File"},
      {"Corvane.ZipFile\\shell\\open", "&Open"},
      {"Corvane.ZipFile\\shell\\open\\command", std::string(kQuoted) + " \"%1\""},
      {"Corvane.ZipFile\\DefaultIcon", std::string(kQuoted) + ",1"},
  };
  std::string expected;
  for (const auto& [key, value] : keys) {
    expected += "HKCR\\" + key + " = " + value + "\n";
    expected += "HKLM\\SOFTWARE\\Classes\\" + key + " = " + value + "\n";
  }
  expected += std::string("HKCR\\Corvane.ZipFile\\DefaultIcon = ") + kProgram + ",1\n";
  EXPECT_EQ(Describe(recorder.writes), expected);
  for (const auto& w : recorder.writes) EXPECT_EQ(w.type, static_cast<DWORD>(REG_SZ));

  EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, ".ZIP"), "Corvane.ZipFile");
  EXPECT_EQ(DefaultOf(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Corvane.ZipFile\\shell\\open"),
            "&Open");
  EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, "Corvane.ZipFile\\shell\\open\\command"),
            std::string(kQuoted) + " \"%1\"");
  EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, "Corvane.ZipFile\\DefaultIcon"),
            std::string(kProgram) + ",1");
}

TEST_F(AssociationTest, ProgramPathIsQuotedOnce) {
  const struct {
    const char* path;
    const char* quoted;
  } cases[] = {
      {"C:\\a b\\x.exe", "\"C:\\a b\\x.exe\""}, {"\"C:\\a b\\x.exe\"", "\"C:\\a b\\x.exe\""},
      {"\"C:\\x.exe", "\"C:\\x.exe\""},         {"C:\\x.exe\"", "\"C:\\x.exe\""},
      {"  C:\\x.exe  ", "\"C:\\x.exe\""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> written = Associate(c.path, false, false, false, 0);
    ASSERT_EQ(written.size(), 5u) << c.path;
    EXPECT_EQ(written[3],
              "CorvaneTest.File\\shell\\open\\command = " + std::string(c.quoted) + " \"%1\"");
    EXPECT_EQ(written[4], "CorvaneTest.File\\DefaultIcon = " + std::string(c.quoted) + ",0");
  }
}

TEST_F(AssociationTest, VerbsAndIconFollowTheFlags) {
  const std::string e = kQuoted;
  const std::string c = "CorvaneTest.File\\";
  EXPECT_EQ(Associate(kProgram, true, true, true, -1, ""),
            (std::vector<std::string>{
                ".CVT = CorvaneTest.File",
                "CorvaneTest.File = Test File",
                c + "shell\\open = &Open",
                c + "shell\\open\\command = " + e + " \"%1\"",
                c + "shell\\print = &Print",
                c + "shell\\print\\command = " + e + " /p \"%1\"",
                c + "shell\\add = &Install CVT",
                c + "shell\\add\\command = " + e + " /a \"%1\"",
                c + "shell\\new = &New",
                c + "shell\\new\\command = " + e + " /n \"%1\"",
            }));
  std::vector<std::string> installOnly = Associate(kProgram, false, true, false, 3);
  ASSERT_EQ(installOnly.size(), 7u);
  EXPECT_EQ(installOnly[4], c + "shell\\add = &Install CVT");
  EXPECT_EQ(installOnly[6], c + "DefaultIcon = " + e + ",3");
}

TEST_F(AssociationTest, AdditionalVerbsNeedTriplesAndAnExistingClass) {
  cRegistry reg;
  reg.ClassKey(HKEY_CLASSES_ROOT);
  const struct {
    const char* what;
    std::vector<RegValue> items;
    long number;
    const char* message;
  } failures[] = {
      {"four items",
       {"a", "b", "c", "d"},
       kErrAssociationList,
       "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected "
       "Name/Text/Command"},
      {"no class yet",
       {"a", "b", "c"},
       kErrAssociationClass,
       "Error - attempt to create additional associations before class defined."},
  };
  for (const auto& f : failures) {
    try {
      reg.CreateAdditionalEXEAssociations("CorvaneTest.File", f.items);
      ADD_FAILURE() << f.what;
    } catch (const Error& error) {
      EXPECT_EQ(error.Number(), f.number) << f.what;
      EXPECT_EQ(error.Source(), ExecutableTitle() + ".cRegistry") << f.what;
      EXPECT_EQ(error.Description(), f.message) << f.what;
    }
  }

  reg.CreateEXEAssociation(kProgram, "CorvaneTest.File", "Test File", "CVT", "", false, "", false,
                           "", false, "", -1);
  reg.ClassKey(HKEY_CLASSES_ROOT);
  cRegistryTestHelper recorder;
  const std::string command = "\"C:\\Tools\\view.exe\" /show \"%1\"";
  reg.CreateAdditionalEXEAssociations("CorvaneTest.File",
                                      {"view", "&View", command, "edit", "&Edit", std::int32_t{7}});
  EXPECT_EQ(Describe(recorder.writes),
            "HKCR\\CorvaneTest.File\\shell\\view = &View\n"
            "HKLM\\SOFTWARE\\Classes\\CorvaneTest.File\\shell\\view = &View\n"
            "HKCR\\CorvaneTest.File\\shell\\view\\command = " +
                command +
                "\n"
                "HKLM\\SOFTWARE\\Classes\\CorvaneTest.File\\shell\\view\\command = " +
                command +
                "\n"
                "HKCR\\CorvaneTest.File\\shell\\edit = &Edit\n"
                "HKLM\\SOFTWARE\\Classes\\CorvaneTest.File\\shell\\edit = &Edit\n"
                "HKCR\\CorvaneTest.File\\shell\\edit\\command = 7\n"
                "HKLM\\SOFTWARE\\Classes\\CorvaneTest.File\\shell\\edit\\command = 7\n");
  EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, "CorvaneTest.File\\shell\\view\\command"), command);
}

// As a normal user on Windows: the machine's classes refuse every write, and the user's own
// classes take each value once.
TEST_F(AssociationTest, RefusedClassRootsFallBackToTheUsersClasses) {
  cRegistryTestHelper recorder({HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE});
  AssociateZipFiles(kProgram);
  std::string expected;
  for (const char* key :
       {".ZIP", "Corvane.ZipFile", "Corvane.ZipFile\\shell\\open",
        "Corvane.ZipFile\\shell\\open\\command", "Corvane.ZipFile\\DefaultIcon"}) {
    expected += "HKCR\\" + std::string(key) + " (refused)\n";
    expected += "HKCU\\Software\\Classes\\" + std::string(key) + "\n";
    expected += "HKLM\\SOFTWARE\\Classes\\" + std::string(key) + " (refused)\n";
  }
  expected += "HKCR\\Corvane.ZipFile\\DefaultIcon (refused)\n";
  expected += "HKCU\\Software\\Classes\\Corvane.ZipFile\\DefaultIcon\n";
  EXPECT_EQ(Describe(recorder.writes, /*values=*/false), expected);

  const std::string classes = "Software\\Classes\\";
  EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, classes + ".ZIP"), "Corvane.ZipFile");
  EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, classes + "Corvane.ZipFile\\shell\\open\\command"),
            std::string(kQuoted) + " \"%1\"");
  EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, classes + "Corvane.ZipFile\\DefaultIcon"),
            std::string(kProgram) + ",1");
  EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, ".ZIP"), "<absent>");
}

// Any other refusal ends the association at once, with the keys written before it left in place.
TEST_F(AssociationTest, OtherFailureStopsAtTheFirstRefusedWrite) {
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
  EXPECT_EQ(recorder.writes.size(), 2u);
  EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, ".ZIP"), "Corvane.ZipFile");
  EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, "Software\\Classes\\.ZIP"), "<absent>");
}

}  // namespace
}  // namespace corvane
