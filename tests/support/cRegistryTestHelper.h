#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "settings/cRegistry.h"

namespace corvane {

// While it lives, every value the registry objects write passes through this recorder first. Writes
// under a refused root fail at key creation with the given code, as the system refuses a normal
// user; the others go on to the registry.
class cRegistryTestHelper {
 public:
  struct Write {
    HKEY root;
    std::string section;
    std::string name;
    DWORD type;
    std::string data;
    bool refused;
  };

  explicit cRegistryTestHelper(std::set<HKEY> refusedRoots = {},
                               LSTATUS refusal = ERROR_ACCESS_DENIED)
      : m_previous(std::exchange(
            cRegistry::s_store,
            [this, refusedRoots, refusal](HKEY root, const std::string& section,
                                          const std::string& name, DWORD type,
                                          const std::string& data) -> cRegistry::StoreResult {
              bool refused = refusedRoots.count(root) != 0;
              writes.push_back({root, section, name, type, data, refused});
              if (refused) return {refusal, /*keyCreated=*/false};
              return m_previous(root, section, name, type, data);
            })) {}
  ~cRegistryTestHelper() { cRegistry::s_store = std::move(m_previous); }
  cRegistryTestHelper(const cRegistryTestHelper&) = delete;
  cRegistryTestHelper& operator=(const cRegistryTestHelper&) = delete;

  std::vector<Write> writes;

 private:
  cRegistry::ValueStore m_previous;
};

// The name of a predefined root, for messages.
inline std::string RootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return "HKCR";
  if (root == HKEY_CURRENT_USER) return "HKCU";
  if (root == HKEY_LOCAL_MACHINE) return "HKLM";
  return std::to_string(reinterpret_cast<LONG_PTR>(root));
}

}  // namespace corvane
