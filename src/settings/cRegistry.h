#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/Error.h"

namespace corvane {

// A value as the registry object reads and writes it: empty, text, Boolean, 16-bit or 32-bit
// integer, or a byte array. Empty counts as 0 and as the empty text.
using RegValue = std::variant<std::monostate, std::string, bool, std::int16_t, std::int32_t,
                              std::vector<std::uint8_t>>;

// The value as text: numbers in decimal, Booleans as "True" or "False", bytes as they are.
std::string ValueText(const RegValue& value);
// The value as a whole number: text is read as a decimal number (blanks around it allowed), a
// Boolean as 1 or 0. Raises error 13 "Type mismatch" (source `source`) for text that is not a
// number that fits in 32 bits, and for bytes.
std::int32_t ValueNumber(const RegValue& value, const std::string& source);

// Error numbers the registry object raises.
inline constexpr long kErrRegistry = 26001;
inline constexpr long kErrRegistryWrite = -2147194455;        // 800469A9
inline constexpr long kErrRegistryEnumeration = -2147194454;  // 800469AA
inline constexpr long kErrAssociationList = -2147194452;      // 800469AC
inline constexpr long kErrAssociationClass = -2147194451;     // 800469AD

// Typed access to one registry value: the root ClassKey, the key path SectionKey below it, the
// value name ValueKey (empty: the key's unnamed value) and the registry type ValueType. Value reads
// and writes it; around that come key operations, enumerations and the shell association. Texts
// go through the ANSI functions, so they are the program's UTF-8. No key stays open between calls.
//
// Failures are raised as corvane::Error with a number above, the source "<program>.cRegistry" and
// a message naming the root (as a signed decimal number) and the key. KeyExists, the Value read and
// the enumerations never raise for a missing key or value.
class cRegistry {
 public:
  cRegistry() = default;

  // True when root\SectionKey can be opened for reading.
  bool KeyExists() const;
  // Creates root\SectionKey (and the keys above it) or opens it when it exists.
  bool CreateKey();
  // Deletes root\SectionKey, which must have no subkeys.
  bool DeleteKey();
  // Deletes the value ValueKey of root\SectionKey.
  bool DeleteValue();

  // Reads the value. When it cannot be read the result is Default and ValueType stays; otherwise
  // ValueType becomes the stored type and the result is: text for REG_SZ and REG_MULTI_SZ (a
  // multi-string keeps its zero separators), expanded text for REG_EXPAND_SZ, a 32-bit integer for
  // REG_DWORD and REG_DWORD_BIG_ENDIAN (byte-swapped), bytes for any other type.
  RegValue Value();
  // Writes the value as ValueType says, creating the key as needed. Under HKEY_CLASSES_ROOT a write
  // refused for access goes to HKEY_CURRENT_USER\Software\Classes, as for WriteClass below. REG_SZ
  // and REG_EXPAND_SZ store the value's text, as REG_EXPAND_SZ only when a second "%" stands at
  // least two places after the first; REG_BINARY stores bytes (anything else raises 26001);
  // REG_DWORD and REG_DWORD_BIG_ENDIAN store a 16- or 32-bit integer as REG_DWORD and silently skip
  // any other value; any other type raises the write error.
  void Value(const RegValue& vValue);

  // The names of the values of root\SectionKey, and their count; an empty list when the key cannot
  // be opened. Always true.
  bool EnumerateValues(std::vector<std::string>& sKeyNames, std::int32_t& iKeyCount) const;
  // The names of the subkeys of root\SectionKey, and their count; an empty list when the key
  // cannot be opened. Raises error 800469AA only for an unexpected failure.
  bool EnumerateSections(std::vector<std::string>& sSect, std::int32_t& iSectCount) const;

  // Registers files ".sAssociation" as class sClassName opened by the program sExePath, under
  // HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE\SOFTWARE\Classes: the extension, the class with its
  // description, the open verb, the print, install ("add") and new verbs when supported, and the
  // default icon when lDefaultIconIndex is 0 or more. Leaves ClassKey at HKEY_LOCAL_MACHINE. The
  // first write that fails raises; the keys written before it stay.
  void CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                            const std::string& sClassDescription, const std::string& sAssociation,
                            const std::string& sOpenMenuText, bool bSupportPrint,
                            const std::string& sPrintMenuText, bool bSupportNew,
                            const std::string& sNewMenuText, bool bSupportInstall,
                            const std::string& sInstallMenuText, std::int32_t lDefaultIconIndex);
  // Adds verbs to a class that exists under the current ClassKey: vItems holds verb name, menu text
  // and command line, three values per verb; they are written under both class roots.
  void CreateAdditionalEXEAssociations(const std::string& sClassName,
                                       const std::vector<RegValue>& vItems);

  DWORD ValueType() const { return m_eValueType; }
  void ValueType(DWORD eValueType) { m_eValueType = eValueType; }
  HKEY ClassKey() const { return m_eClassKey; }
  void ClassKey(HKEY ekey) { m_eClassKey = ekey; }
  const std::string& SectionKey() const { return m_sSectionKey; }
  void SectionKey(const std::string& sSectionKey) { m_sSectionKey = sSectionKey; }
  const std::string& ValueKey() const { return m_sValueKey; }
  void ValueKey(const std::string& sValueKey) { m_sValueKey = sValueKey; }
  const RegValue& Default() const { return m_vDefault; }
  void Default(const RegValue& vDefault) { m_vDefault = vDefault; }

 private:
  friend class cRegistryTestHelper;

  // Where a value write stopped: the system's code, and whether the key had been created.
  struct StoreResult {
    LSTATUS status = ERROR_SUCCESS;
    bool keyCreated = true;
  };
  // Creates or opens root\section and sets one value to the type and bytes given. Every value
  // this class writes goes through s_store, so that a test can record the writes or refuse some.
  using ValueStore =
      std::function<StoreResult(HKEY root, const std::string& section, const std::string& name,
                                DWORD type, const std::string& data)>;
  static StoreResult StoreValue(HKEY root, const std::string& section, const std::string& name,
                                DWORD type, const std::string& data);
  static ValueStore s_store;

  // A write that failed: the error to raise and the system's code behind it.
  struct WriteFailure {
    Error error;
    LSTATUS status;
  };
  std::optional<WriteFailure> Write(const RegValue& vValue);
  // Writes the value under a class root (the current ClassKey and SectionKey). Where the system
  // refuses that for access, writes it under HKEY_CURRENT_USER\Software\Classes\classPath
  // instead, unless perUser says that was done already; then perUser is true.
  void WriteClass(const RegValue& vValue, const std::string& classPath, bool& perUser);
  // Writes the value at SectionKey under HKEY_CLASSES_ROOT, then at SOFTWARE\Classes\SectionKey
  // under HKEY_LOCAL_MACHINE, where ClassKey stays.
  void WriteClassesValue(const std::string& sValue);

  Error RaisedError(long number, const std::string& message) const;
  std::string RootText() const;

  static std::int32_t SwapEndian(std::int32_t lValue);
  static std::string ExpandEnvironmentString(const std::string& sValue);

  HKEY m_eClassKey = nullptr;
  std::string m_sSectionKey;
  std::string m_sValueKey;
  DWORD m_eValueType = 0;
  RegValue m_vDefault;
};

}  // namespace corvane
