// The shell association in the test prefix's registry. HKEY_CLASSES_ROOT shows the machine's
// classes only here, so which root each write went to, and in what order, is read from the log of
// a recorder in front of the registry object's value writer.
#include "settings/Association.h"

#include <gtest/gtest.h>

#include "Testing.h"
#include "cRegistryTestHelper.h"

namespace corvane {
namespace {

constexpr char kProgram[] = "C:\\Program Files\\Corvane\\Corvane.exe";

// The lines of the log that begin with prefix, without it, each ended by "|".
std::string LinesOf(const std::string& log, const std::string& prefix) {
  std::string lines;
  for (size_t at = 0, end; (end = log.find('\n', at)) != std::string::npos; at = end + 1) {
    if (log.compare(at, prefix.size(), prefix) == 0) {
      lines += log.substr(at + prefix.size(), end - at - prefix.size()) + "|";
    }
  }
  return lines;
}

class AssociationTest : public testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    RemoveZipAssociation();
    for (const char* key : {".ZIP", "Corvane.ZipFile", ".CVT", "CorvaneTest.File"}) {
      RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
      RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\Classes\\") + key).c_str());
    }
  }
};

// Five keys under each class root, in order, then the unquoted icon, once they are not all in
// place; as a normal user on Windows,
// where the machine's classes refuse, the user's own classes take each value once.
TEST_F(AssociationTest, CorvaneWritesFiveKeysPerRootOrTheUsersClassesOrStops) {
  const std::string e = "\"" + std::string(kProgram) + "\"";
  const std::string keys =
      ".ZIP = Corvane.ZipFile|Corvane.ZipFile = ZIP File|"
      "Corvane.ZipFile\\shell\\open = &Open|"
      "Corvane.ZipFile\\shell\\open\\command = " +
      e +
      " \"%1\"|"
      "Corvane.ZipFile\\DefaultIcon = " +
      e + ",1|";
  const std::string icon = "Corvane.ZipFile\\DefaultIcon = " + std::string(kProgram) + ",1|";
  {
    cRegistryTestHelper recorder;
    AssociateZipFiles(kProgram);
    EXPECT_EQ(LinesOf(recorder.log, "HKCR\\"), keys + icon);
    EXPECT_EQ(LinesOf(recorder.log, "HKLM\\SOFTWARE\\Classes\\"), keys);
    EXPECT_EQ(recorder.log.find("HKCR\\.ZIP = Corvane.ZipFile\nHKLM\\"), 0u);
  }
  TearDown();
  {
    cRegistryTestHelper recorder({HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE});
    AssociateZipFiles(kProgram);
    // The per-user registration follows; what the user's classes hold already is not written.
    EXPECT_EQ(LinesOf(recorder.log, "HKCU\\Software\\Classes\\").find(keys + icon), 0u);
    EXPECT_EQ(recorder.log.find("HKCR\\.ZIP refused\nHKCU\\"), 0u);
  }
  TearDown();
  // Any other refusal ends the association at once; what was written before it stays.
  cRegistryTestHelper recorder({HKEY_LOCAL_MACHINE}, ERROR_WRITE_FAULT);
  std::string text;
  EXPECT_NE(test::ErrorNumber([] { AssociateZipFiles(kProgram); }, nullptr, &text), 0);
  EXPECT_EQ(text,
            "Failed to set registry value Key: '-2147483646',Section: "
            "'SOFTWARE\\Classes\\.ZIP',Key: '' to value: 'Corvane.ZipFile'");
  EXPECT_EQ(recorder.log, "HKCR\\.ZIP = Corvane.ZipFile\nHKLM\\SOFTWARE\\Classes\\.ZIP refused\n");
}

// A path is quoted once, blanks around it dropped; the verbs and the icon the program leaves out
// come, with their default menu texts, when asked for.
TEST_F(AssociationTest, PathIsQuotedOnceAndVerbsFollowTheFlags) {
  cRegistryTestHelper recorder;
  cRegistry reg;
  reg.CreateEXEAssociation("  C:\\x.exe\"  ", "CorvaneTest.File", "Test File", "CVT", "", true, "",
                           true, "", true, "", 0);
  std::string written = LinesOf(recorder.log, "HKCR\\CorvaneTest.File\\");
  for (size_t at; (at = written.find("shell\\")) != std::string::npos;) written.erase(at, 6);
  EXPECT_EQ(written,
            "open = &Open|open\\command = \"C:\\x.exe\" \"%1\"|print = &Print|"
            "print\\command = \"C:\\x.exe\" /p \"%1\"|add = &Install CVT|"
            "add\\command = \"C:\\x.exe\" /a \"%1\"|new = &New|new\\command = \"C:\\x.exe\" /n "
            "\"%1\"|DefaultIcon = \"C:\\x.exe\",0|");
  EXPECT_EQ(reg.ClassKey(), HKEY_LOCAL_MACHINE);
}

}  // namespace
}  // namespace corvane
