// The shell association in the test prefix's registry. HKEY_CLASSES_ROOT shows the machine's
// classes only here, so which root each write went to, and in what order, is read from the log of
// a recorder in front of the registry object's value writer.
#include "settings/Association.h"

#include <gtest/gtest.h>

#include "Testing.h"
#include "cRegistryTestHelper.h"
#include "platform/Module.h"

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
    for (const char* key : {".ZIP", "Corvane.ZipFile", ".CVT", "CorvaneTest.File"}) {
      RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
      RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\Classes\\") + key).c_str());
    }
  }
};

// Five keys under each class root, in order, then the unquoted icon; as a normal user on Windows,
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
  {
    cRegistryTestHelper recorder({HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE});
    AssociateZipFiles(kProgram);
    EXPECT_EQ(LinesOf(recorder.log, "HKCU\\Software\\Classes\\"), keys + icon);
    EXPECT_EQ(recorder.log.find("HKCR\\.ZIP refused\nHKCU\\"), 0u);
  }
  // Any other refusal ends the association at once; what was written before it stays.
  cRegistryTestHelper recorder({HKEY_LOCAL_MACHINE}, ERROR_WRITE_FAULT);
  std::string text;
  EXPECT_NE(test::ErrorNumber([] { AssociateZipFiles(kProgram); }, nullptr, &text), 0);
  EXPECT_EQ(text,
            "Failed to set registry value Key: '-2147483646',Section: "
            "'SOFTWARE\\Classes\\.ZIP',Key: '' to value: 'Corvane.ZipFile'");
  EXPECT_EQ(recorder.log, "HKCR\\.ZIP = Corvane.ZipFile\nHKLM\\SOFTWARE\\Classes\\.ZIP refused\n");
}

TEST_F(AssociationTest, PathIsQuotedOnceAndVerbsFollowTheFlags) {
  const struct {
    const char* path;
    bool print, install, newVerb;
    int icon;
    std::string written;  // "shell\" left out
  } cases[] = {
      {"C:\\a b\\x.exe", false, false, false, 0,
       "open = &Go|open\\command = \"C:\\a b\\x.exe\" \"%1\"|DefaultIcon = \"C:\\a b\\x.exe\",0|"},
      {"  C:\\x.exe\"  ", false, true, false, -1,
       "open = &Go|open\\command = \"C:\\x.exe\" \"%1\"|add = &Install CVT|"
       "add\\command = \"C:\\x.exe\" /a \"%1\"|"},
      {"\"C:\\x.exe", true, false, true, -1,
       "open = &Go|open\\command = \"C:\\x.exe\" \"%1\"|print = &Print|"
       "print\\command = \"C:\\x.exe\" /p \"%1\"|new = &New|new\\command = \"C:\\x.exe\" /n "
       "\"%1\"|"},
  };
  for (const auto& c : cases) {
    cRegistryTestHelper recorder;
    cRegistry reg;
    reg.CreateEXEAssociation(c.path, "CorvaneTest.File", "Test File", "CVT", "&Go", c.print, "",
                             c.newVerb, "", c.install, "", c.icon);
    std::string written = LinesOf(recorder.log, "HKCR\\CorvaneTest.File\\");
    for (size_t at; (at = written.find("shell\\")) != std::string::npos;) written.erase(at, 6);
    EXPECT_EQ(written, c.written) << c.path;
    EXPECT_EQ(reg.ClassKey(), HKEY_LOCAL_MACHINE);
  }
}

TEST_F(AssociationTest, AdditionalVerbsNeedTriplesAndAnExistingClass) {
  cRegistry reg;
  reg.ClassKey(HKEY_CLASSES_ROOT);
  for (auto [items, number] :
       {std::pair{std::vector<RegValue>{"a", "b", "c", "d"}, kErrAssociationList},
        std::pair{std::vector<RegValue>{"a", "b", "c"}, kErrAssociationClass}}) {
    std::string source;
    EXPECT_EQ(test::ErrorNumber(
                  [&] { reg.CreateAdditionalEXEAssociations("CorvaneTest.File", items); }, &source),
              number);
    EXPECT_EQ(source, ExecutableTitle() + ".cRegistry");
  }
  reg.CreateEXEAssociation(kProgram, "CorvaneTest.File", "", "CVT", "", false, "", false, "", false,
                           "", -1);
  reg.ClassKey(HKEY_CLASSES_ROOT);
  cRegistryTestHelper recorder;
  reg.CreateAdditionalEXEAssociations("CorvaneTest.File", {"view", "&View", "v.exe %A% %1"});
  EXPECT_EQ(LinesOf(recorder.log, "HKLM\\SOFTWARE\\Classes\\CorvaneTest.File\\shell\\view"),
            " = &View|\\command = v.exe %A% %1 type 2|");
}

}  // namespace
}  // namespace corvane
