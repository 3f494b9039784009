#include "cRegistry.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

#include "platform/Handle.h"
#include "platform/Module.h"

namespace corvane {
namespace {

// Query value, set value, create subkey, enumerate subkeys, notify, create link.
constexpr REGSAM kAllKeyRights = 0x3F;

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// A second "%" at least two places after the first makes a text an expandable one.
bool HasEnvironmentReference(const std::string& text) {
  size_t first = text.find('%');
  return first != std::string::npos && text.find('%', first + 2) != std::string::npos;
}

UniqueKey OpenKey(HKEY root, const std::string& section, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, section.c_str(), 0, access, &key) != ERROR_SUCCESS) return UniqueKey();
  return UniqueKey(key);
}

LSTATUS CreateOrOpenKey(HKEY root, const std::string& section, UniqueKey& key) {
  HKEY raw = nullptr;
  LSTATUS status = RegCreateKeyExA(root, section.c_str(), 0, /*lpClass=*/nullptr, /*dwOptions=*/0,
                                   kAllKeyRights, /*lpSecurityAttributes=*/nullptr, &raw, nullptr);
  if (status == ERROR_SUCCESS) key.Reset(raw);
  return status;
}

}  // namespace

std::string ValueText(const RegValue& value) {
  struct {
    std::string operator()(std::monostate) const { return ""; }
    std::string operator()(const std::string& text) const { return text; }
    std::string operator()(bool flag) const { return flag ? "True" : "False"; }
    std::string operator()(std::int16_t number) const { return std::to_string(number); }
    std::string operator()(std::int32_t number) const { return std::to_string(number); }
    std::string operator()(const std::vector<std::uint8_t>& bytes) const {
      return std::string(bytes.begin(), bytes.end());
    }
  } text;
  return std::visit(text, value);
}

std::int32_t ValueNumber(const RegValue& value, const std::string& source) {
  if (std::holds_alternative<std::monostate>(value)) return 0;
  if (auto* flag = std::get_if<bool>(&value)) return *flag ? 1 : 0;
  if (auto* number = std::get_if<std::int16_t>(&value)) return *number;
  if (auto* number = std::get_if<std::int32_t>(&value)) return *number;
  if (auto* text = std::get_if<std::string>(&value)) {
    std::string_view digits = TrimBlanks(*text);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    std::int32_t result = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), result);
    if (!digits.empty() && error == std::errc() && end == digits.data() + digits.size()) {
      return result;
    }
  }
  throw Error(kErrTypeMismatch, source, kTypeMismatch);
}

cRegistry::ValueStore cRegistry::s_store = &cRegistry::StoreValue;

cRegistry::StoreResult cRegistry::StoreValue(HKEY root, const std::string& section,
                                             const std::string& name, DWORD type,
                                             const std::string& data) {
  UniqueKey key;
  if (LSTATUS status = CreateOrOpenKey(root, section, key)) return {status, /*keyCreated=*/false};
  return {
      RegSetValueExA(key.Get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size())),
      /*keyCreated=*/true};
}

bool cRegistry::KeyExists() const {
  return static_cast<bool>(OpenKey(m_eClassKey, m_sSectionKey, KEY_QUERY_VALUE));
}

bool cRegistry::CreateKey() {
  UniqueKey key;
  if (CreateOrOpenKey(m_eClassKey, m_sSectionKey, key) != ERROR_SUCCESS) {
    throw RaisedError(kErrRegistry, "Failed to create registry Key: '" + m_sSectionKey);
  }
  return true;
}

bool cRegistry::DeleteKey() {
  if (RegDeleteKeyA(m_eClassKey, m_sSectionKey.c_str()) != ERROR_SUCCESS) {
    throw RaisedError(kErrRegistry, "Failed to delete registry Key: '" + RootText() +
                                        "',Section: '" + m_sSectionKey);
  }
  return true;
}

bool cRegistry::DeleteValue() {
  UniqueKey key = OpenKey(m_eClassKey, m_sSectionKey, kAllKeyRights);
  if (!key) {
    throw RaisedError(kErrRegistry, "Failed to open key '" + RootText() + "',Section: '" +
                                        m_sSectionKey + "' for delete access");
  }
  if (RegDeleteValueA(key.Get(), m_sValueKey.c_str()) != ERROR_SUCCESS) {
    throw RaisedError(kErrRegistry, "Failed to delete registry Key: '" + RootText() +
                                        "',Section: '" + m_sSectionKey + "',Key: '" + m_sValueKey);
  }
  return true;
}

RegValue cRegistry::Value() {
  UniqueKey key = OpenKey(m_eClassKey, m_sSectionKey, KEY_QUERY_VALUE);
  if (!key) return m_vDefault;
  const char* name = m_sValueKey.c_str();
  DWORD type = 0, size = 0;
  LSTATUS status = RegQueryValueExA(key.Get(), name, nullptr, &type, nullptr, &size);
  if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return m_vDefault;
  // The value may grow between the two queries; then the second one says by how much.
  std::string data;
  do {
    data.resize(std::max<DWORD>(size, sizeof(std::int32_t)));
    size = static_cast<DWORD>(data.size());
    status = RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                              &size);
  } while (status == ERROR_MORE_DATA);
  if (status != ERROR_SUCCESS) return m_vDefault;
  m_eValueType = type;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
      data.resize(size);
      // Windows keeps the bytes as another program stored them, terminating zero or not.
      if (!data.empty() && data.back() == '\0') data.pop_back();
      if (type == REG_EXPAND_SZ) return ExpandEnvironmentString(data);
      return data;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
      // A shorter value than four bytes reads as if padded with zeros.
      if (size < sizeof(std::int32_t)) std::memset(data.data() + size, 0, data.size() - size);
      std::int32_t number = 0;
      std::memcpy(&number, data.data(), sizeof number);
      return type == REG_DWORD ? number : SwapEndian(number);
    }
    default:
      return std::vector<std::uint8_t>(data.begin(), data.begin() + size);
  }
}

void cRegistry::Value(const RegValue& vValue) {
  if (m_eClassKey == HKEY_CLASSES_ROOT) {
    bool perUser = false;
    WriteClass(vValue, m_sSectionKey, perUser);
  } else if (std::optional<WriteFailure> failure = Write(vValue)) {
    throw std::move(failure->error);
  }
}

std::optional<cRegistry::WriteFailure> cRegistry::Write(const RegValue& vValue) {
  auto failure = [&](long number, LSTATUS status) {
    return WriteFailure{
        RaisedError(number, "Failed to set registry value Key: '" + RootText() + "',Section: '" +
                                m_sSectionKey + "',Key: '" + m_sValueKey + "' to value: '" +
                                ValueText(vValue) + "'"),
        status};
  };
  DWORD type = 0;
  std::string data;
  bool store = false;
  switch (m_eValueType) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      data = ValueText(vValue);
      type = HasEnvironmentReference(data) ? REG_EXPAND_SZ : REG_SZ;
      data.push_back('\0');
      store = true;
      break;
    case REG_BINARY:
      if (auto* bytes = std::get_if<std::vector<std::uint8_t>>(&vValue)) {
        data.assign(bytes->begin(), bytes->end());
        type = REG_BINARY;
        store = true;
      }
      break;
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
      // Written as REG_DWORD in either case: the byte order is swapped on reading only.
      std::int32_t number = 0;
      if (auto* small = std::get_if<std::int16_t>(&vValue)) {
        number = *small;
      } else if (auto* whole = std::get_if<std::int32_t>(&vValue)) {
        number = *whole;
      } else {
        break;
      }
      data.assign(reinterpret_cast<const char*>(&number), sizeof number);
      type = REG_DWORD;
      store = true;
      break;
    }
  }
  if (store) {
    StoreResult result = s_store(m_eClassKey, m_sSectionKey, m_sValueKey, type, data);
    if (!result.keyCreated) return failure(kErrRegistry, result.status);
    if (result.status != ERROR_SUCCESS) return failure(kErrRegistryWrite, result.status);
    return std::nullopt;
  }
  // Nothing to store, but the key is created all the same.
  UniqueKey key;
  if (LSTATUS status = CreateOrOpenKey(m_eClassKey, m_sSectionKey, key)) {
    return failure(kErrRegistry, status);
  }
  if (m_eValueType == REG_BINARY) return WriteFailure{Error(kErrRegistry, "", ""), ERROR_SUCCESS};
  if (m_eValueType != REG_DWORD && m_eValueType != REG_DWORD_BIG_ENDIAN) {
    return failure(kErrRegistryWrite, ERROR_INVALID_DATA);
  }
  return std::nullopt;  // a DWORD that is not an integer is silently not written
}

bool cRegistry::EnumerateValues(std::vector<std::string>& sKeyNames,
                                std::int32_t& iKeyCount) const {
  iKeyCount = 0;
  sKeyNames.clear();
  UniqueKey key = OpenKey(m_eClassKey, m_sSectionKey, KEY_QUERY_VALUE);
  if (!key) return true;
  DWORD longest = 0;
  if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return true;
  }
  // The longest name is counted in UTF-16 units; in UTF-8 each takes up to three bytes.
  std::string name(longest * 3 + 1, '\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumValueA(key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    sKeyNames.push_back(name.substr(0, length));
    ++iKeyCount;
  }
  return true;
}

bool cRegistry::EnumerateSections(std::vector<std::string>& sSect, std::int32_t& iSectCount) const {
  iSectCount = 0;
  sSect.clear();
  try {
    UniqueKey key = OpenKey(m_eClassKey, m_sSectionKey, KEY_ENUMERATE_SUB_KEYS);
    if (!key) return true;
    // Room for the longest key name the registry allows, 255 characters of up to three bytes in
    // UTF-8, so that no name ends the enumeration early.
    char name[255 * 3 + 1];
    for (DWORD index = 0; RegEnumKeyA(key.Get(), index, name, sizeof name) == ERROR_SUCCESS;
         ++index) {
      sSect.emplace_back(name, strnlen(name, sizeof name));
      ++iSectCount;
    }
    return true;
  } catch (const std::exception& failure) {
    throw RaisedError(kErrRegistryEnumeration, failure.what());
  }
}

void cRegistry::WriteClass(const RegValue& vValue, const std::string& classPath, bool& perUser) {
  std::optional<WriteFailure> failure = Write(vValue);
  if (!failure) return;
  if (failure->status != ERROR_ACCESS_DENIED) throw std::move(failure->error);
  if (perUser) return;
  // A normal user on Windows may not write the machine's classes. The user's own classes, which
  // HKEY_CLASSES_ROOT merges in for that user, take the value instead.
  HKEY root = std::exchange(m_eClassKey, HKEY_CURRENT_USER);
  std::string section = std::exchange(m_sSectionKey, "Software\\Classes\\" + classPath);
  failure = Write(vValue);
  m_eClassKey = root;
  m_sSectionKey = std::move(section);
  if (failure) throw std::move(failure->error);
  perUser = true;
}

void cRegistry::WriteClassesValue(const std::string& sValue) {
  const std::string section = m_sSectionKey;
  bool perUser = false;
  m_eClassKey = HKEY_CLASSES_ROOT;
  WriteClass(sValue, section, perUser);
  m_eClassKey = HKEY_LOCAL_MACHINE;
  m_sSectionKey = "SOFTWARE\\Classes\\" + section;
  WriteClass(sValue, section, perUser);
  m_sSectionKey = section;
}

Error cRegistry::RaisedError(long number, const std::string& message) const {
  return Error(number, ExecutableTitle() + ".cRegistry", message);
}

std::string cRegistry::RootText() const {
  // Predefined roots are 32-bit values sign-extended into the handle.
  return std::to_string(static_cast<std::int32_t>(reinterpret_cast<LONG_PTR>(m_eClassKey)));
}

std::int32_t cRegistry::SwapEndian(std::int32_t lValue) {
  auto bits = static_cast<std::uint32_t>(lValue);
  return static_cast<std::int32_t>((bits >> 24) | ((bits >> 8) & 0xFF00) |
                                   ((bits << 8) & 0xFF0000) | (bits << 24));
}

std::string cRegistry::ExpandEnvironmentString(const std::string& sValue) {
  // The ANSI form wants one character more than it reports; the text ends at its first zero.
  DWORD size = ExpandEnvironmentStringsA(sValue.c_str(), nullptr, 0);
  for (;;) {
    if (size == 0) return sValue;
    std::string expanded(size + 1, '\0');
    DWORD needed = ExpandEnvironmentStringsA(sValue.c_str(), expanded.data(), size + 1);
    if (needed != 0 && needed <= size + 1) return expanded.c_str();
    size = needed;
  }
}

}  // namespace corvane
