// The Extract command of the main window, created in this process, with its preferences and recent
// folders in the program key under both roots.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sstream>

#include "WindowTesting.h"
#include "cRegistryTestHelper.h"
#include "shell/frmMain.h"

namespace corvane {
namespace {

using namespace testing_support;

constexpr char kProgramKey[] = "SOFTWARE\\Corvane\\Corvane";
constexpr char kMRUKey[] = "SOFTWARE\\Corvane\\Corvane\\ExtractToMRU";

// Writes "Name=value ..." under root's program key: numbers as REG_DWORD, other text as REG_SZ;
// "MRU=a|b" as the recent-folders list.
void Store(HKEY root, const std::string& values) {
  std::istringstream in(values);
  for (std::string token; in >> token;) {
    std::string name = token.substr(0, token.find('=')), value = token.substr(name.size() + 1);
    if (name == "MRU") {
      int count = 0;
      std::istringstream items(value);
      for (std::string item; std::getline(items, item, '|');) {
        std::string itemName = "Item" + std::to_string(++count);
        RegSetKeyValueA(root, kMRUKey, itemName.c_str(), REG_SZ, item.c_str(), item.size() + 1);
      }
      std::string text = std::to_string(count);
      RegSetKeyValueA(root, kMRUKey, "Count", REG_SZ, text.c_str(), text.size() + 1);
    } else if (value.find_first_not_of("0123456789") == std::string::npos) {
      DWORD number = std::stoul(value);
      RegSetKeyValueA(root, kProgramKey, name.c_str(), REG_DWORD, &number, sizeof number);
    } else {
      RegSetKeyValueA(root, kProgramKey, name.c_str(), REG_SZ, value.c_str(), value.size() + 1);
    }
  }
}

// What root's program key holds, in the form Store writes; the list's count must be text.
std::string Stored(HKEY root) {
  std::string stored;
  auto add = [&](const std::string& token) { stored += (stored.empty() ? "" : " ") + token; };
  for (const char* name : {"UseFolderNames", "PromptToOW"}) {
    DWORD number = 0, size = sizeof number;
    if (!RegGetValueA(root, kProgramKey, name, RRF_RT_REG_DWORD, nullptr, &number, &size)) {
      add(std::string(name) + "=" + std::to_string(number));
    }
  }
  char text[MAX_PATH] = "";
  DWORD size = sizeof text;
  if (RegGetValueA(root, kMRUKey, "Count", RRF_RT_REG_SZ, nullptr, text, &size)) return stored;
  std::string items;
  for (int i = 1; i <= std::stoi(text); ++i) {
    char item[MAX_PATH] = "";
    size = sizeof item;
    RegGetValueA(root, kMRUKey, ("Item" + std::to_string(i)).c_str(), RRF_RT_REG_SZ, nullptr, item,
                 &size);
    items += (i > 1 ? "|" : "") + std::string(item);
  }
  add("MRU=" + items);
  return stored;
}

class ExtractToTest : public testing::Test {
 protected:
  void TearDown() override {
    m_main.reset();
    Forget();
  }
  // Nothing stored, and no first-run question.
  static void Forget() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) RegDeleteTreeA(root, kProgramKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvane\\Settings");
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Corvane\\Settings", "frun", REG_SZ, "0", 2);
  }

  frmMain& Open() {
    m_main = std::make_unique<frmMain>();
    m_main->Load("");
    return *m_main;
  }
  void Close() {
    EXPECT_TRUE(CloseAndWait(m_main->Window()));
    m_main.reset();
  }

  std::unique_ptr<frmMain> m_main;
};

// Loaded from the machine's key, then the user's, whose values win wherever the user's key exists
// (a value it lacks is false); written back at close under the user's root, then the machine's,
// which may refuse without stopping the close.
TEST_F(ExtractToTest, PreferencesSurviveARestart) {
  const struct {
    const char* machine;
    const char* user;
    bool machineRefused;
    const char* expected;
  } cases[] = {
      {"UseFolderNames=1 PromptToOW=1 MRU=C:\\m1|D:\\m2", "", false,
       "UseFolderNames=1 PromptToOW=1 MRU=C:\\m1|D:\\m2"},
      {"UseFolderNames=1 PromptToOW=1 MRU=C:\\m1", "UseFolderNames=1", false,
       "UseFolderNames=1 PromptToOW=0 MRU=C:\\m1"},
      {"PromptToOW=1", "PromptToOW=x MRU=C:\\u", false, "UseFolderNames=0 PromptToOW=1 MRU=C:\\u"},
      {"", "", false, "UseFolderNames=0 PromptToOW=0 MRU="},
      {"PromptToOW=0", "PromptToOW=1", true, "UseFolderNames=0 PromptToOW=1 MRU="},
  };
  for (const auto& c : cases) {
    Forget();
    Store(HKEY_LOCAL_MACHINE, c.machine);
    Store(HKEY_CURRENT_USER, c.user);
    {
      std::set<HKEY> refused;
      if (c.machineRefused) refused.insert(HKEY_LOCAL_MACHINE);
      cRegistryTestHelper writes(refused);
      Open();
      Close();
    }
    EXPECT_EQ(Stored(HKEY_CURRENT_USER), c.expected) << c.machine << " / " << c.user;
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE), c.machineRefused ? c.machine : c.expected)
        << c.machine << " / " << c.user;
  }
}

}  // namespace
}  // namespace corvane
