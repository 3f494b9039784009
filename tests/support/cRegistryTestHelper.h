#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <utility>

#include "settings/cRegistry.h"

namespace corvane {

// While it lives, every value a registry object writes is noted in log first, one line each:
// "HKCR\key = value" (" type N" after it when not REG_SZ). A write under a refused root fails at
// key creation with the given code, as the system refuses a normal user, and is noted
// "HKLM\key refused"; the others go on to the registry.
class cRegistryTestHelper {
 public:
  explicit cRegistryTestHelper(std::set<HKEY> refused = {}, LSTATUS refusal = ERROR_ACCESS_DENIED)
      : m_previous(
            std::exchange(cRegistry::s_store,
                          [=, this](HKEY root, const std::string& section, const std::string& name,
                                    DWORD type, const std::string& data) -> cRegistry::StoreResult {
                            bool refuse = refused.count(root) != 0;
                            log += std::string(root == HKEY_CLASSES_ROOT   ? "HKCR\\"
                                               : root == HKEY_CURRENT_USER ? "HKCU\\"
                                                                           : "HKLM\\") +
                                   section + (name.empty() ? "" : "@" + name) +
                                   (refuse ? " refused" : " = " + std::string(data.c_str())) +
                                   (type == REG_SZ ? "" : " type " + std::to_string(type)) + "\n";
                            if (refuse) return {refusal, /*keyCreated=*/false};
                            return m_previous(root, section, name, type, data);
                          })) {}
  ~cRegistryTestHelper() { cRegistry::s_store = std::move(m_previous); }
  cRegistryTestHelper(const cRegistryTestHelper&) = delete;
  cRegistryTestHelper& operator=(const cRegistryTestHelper&) = delete;

  std::string log;

 private:
  cRegistry::ValueStore m_previous;
};

}  // namespace corvane
