#include "Association.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/Error.h"
#include "settings/AppSettings.h"
#include "platform/Text.h"
#include "settings/cRegistry.h"

namespace corvane {
namespace {

// Explorer keeps file-type icons and verbs in a cache until it is told that they changed.
void NotifyAssociationChanged() {
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

std::string Quoted(std::string path) {
  size_t first = path.find_first_not_of(' ');
  path =
      first == std::string::npos ? "" : path.substr(first, path.find_last_not_of(' ') - first + 1);
  if (path.empty() || path.front() != '"') path.insert(path.begin(), '"');
  if (path.back() != '"') path.push_back('"');
  return path;
}

}  // namespace

void cRegistry::CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                                     const std::string& sClassDescription,
                                     const std::string& sAssociation,
                                     const std::string& sOpenMenuText, bool bSupportPrint,
                                     const std::string& sPrintMenuText, bool bSupportNew,
                                     const std::string& sNewMenuText, bool bSupportInstall,
                                     const std::string& sInstallMenuText,
                                     std::int32_t lDefaultIconIndex) {
  const std::string program = Quoted(sExePath);
  // The shell puts the file's path in place of %1; one "%" keeps every command a plain REG_SZ.
  auto commandLine = [&](const char* option) { return program + " " + option + "\"%1\""; };
  auto writeKey = [&](const std::string& section, const std::string& text) {
    m_sSectionKey = section;
    m_sValueKey.clear();
    WriteClassesValue(text);
  };
  auto writeVerb = [&](const char* verb, const std::string& text, const char* fallback,
                       const char* option) {
    writeKey(sClassName + "\\shell\\" + verb, text.empty() ? fallback : text);
    writeKey(sClassName + "\\shell\\" + verb + "\\command", commandLine(option));
  };
  m_eValueType = REG_SZ;
  writeKey("." + sAssociation, sClassName);
  writeKey(sClassName, sClassDescription);
  writeVerb("open", sOpenMenuText, "&Open", "");
  if (bSupportPrint) writeVerb("print", sPrintMenuText, "&Print", "/p ");
  if (bSupportInstall) {
    writeVerb("add", sInstallMenuText, ("&Install " + sAssociation).c_str(), "/a ");
  }
  if (bSupportNew) writeVerb("new", sNewMenuText, "&New", "/n ");
  if (lDefaultIconIndex > -1) {
    writeKey(sClassName + "\\DefaultIcon", program + "," + std::to_string(lDefaultIconIndex));
  }
  NotifyAssociationChanged();
}

void cRegistry::CreateAdditionalEXEAssociations(const std::string& sClassName,
                                                const std::vector<RegValue>& vItems) {
  if (vItems.size() % 3 != 0) {
    throw RaisedError(kErrAssociationList,
                      "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected "
                      "Name/Text/Command");
  }
  m_sSectionKey = sClassName;
  if (!KeyExists()) {
    throw RaisedError(kErrAssociationClass,
                      "Error - attempt to create additional associations before class defined.");
  }
  for (size_t i = 0; i < vItems.size(); i += 3) {
    const std::string verb = sClassName + "\\shell\\" + ValueText(vItems[i]);
    m_eValueType = REG_SZ;
    m_sSectionKey = verb;
    m_sValueKey.clear();
    WriteClassesValue(ValueText(vItems[i + 1]));
    m_sSectionKey = verb + "\\command";
    m_sValueKey.clear();
    WriteClassesValue(ValueText(vItems[i + 2]));
  }
  NotifyAssociationChanged();
}

namespace {

constexpr char kUserClasses[] = "Software\\Classes\\";
constexpr char kCapabilities[] = "Software\\Corvane\\Corvane\\Capabilities";
constexpr char kRegisteredApplications[] = "Software\\RegisteredApplications";
constexpr char kUserChoice[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.zip\\UserChoice";
// The verbs' keys: the two on every .zip file whichever program is its default, and the one on
// every file and folder.
constexpr char kZipVerbs[] = "Software\\Classes\\SystemFileAssociations\\.zip\\shell\\";
constexpr char kItemVerbs[] = "Software\\Classes\\AllFilesystemObjects\\shell\\";
constexpr const char* kVerbKeys[] = {"Corvane.ExtractHere", "Corvane.ExtractTo"};
constexpr char kAddVerbKey[] = "Corvane.AddToZip";

struct StoredValue {
  HKEY root;
  std::string key, name, data;
};

std::optional<std::string> ReadText(HKEY root, const std::string& key, const std::string& name) {
  DWORD size = 0;
  if (RegGetValueA(root, key.c_str(), name.empty() ? nullptr : name.c_str(),
                   RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, nullptr,
                   &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::string text(size, '\0');
  if (RegGetValueA(root, key.c_str(), name.empty() ? nullptr : name.c_str(),
                   RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, text.data(),
                   &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  text.resize(std::min<size_t>(text.size(), lstrlenA(text.c_str())));
  return text;
}

// What the per-user registration holds once it is complete.
std::vector<StoredValue> PerUserValues(const std::string& program) {
  const std::string quoted = Quoted(program), icon = program + ",0";
  const std::string progId = std::string(kUserClasses) + kZipProgId;
  std::vector<StoredValue> values = {
      // The ProgID itself, so that the user's choice has a class to name on every system.
      {HKEY_CURRENT_USER, progId, "", "ZIP File"},
      {HKEY_CURRENT_USER, progId + "\\DefaultIcon", "", program + ",1"},
      {HKEY_CURRENT_USER, progId + "\\shell\\open", "", "&Open"},
      {HKEY_CURRENT_USER, progId + "\\shell\\open\\command", "", quoted + " \"%1\""},
      {HKEY_CURRENT_USER, std::string(kUserClasses) + ".zip\\OpenWithProgids", kZipProgId, ""},
      {HKEY_CURRENT_USER, kCapabilities, "ApplicationName", "Corvane"},
      {HKEY_CURRENT_USER, kCapabilities, "ApplicationDescription",
       "Opens, extracts and creates ZIP archives."},
      {HKEY_CURRENT_USER, kCapabilities, "ApplicationIcon", icon},
      {HKEY_CURRENT_USER, std::string(kCapabilities) + "\\FileAssociations", ".zip", kZipProgId},
      {HKEY_CURRENT_USER, kRegisteredApplications, "Corvane", kCapabilities},
  };
  // A verb registered in the registry shows a fixed text: the item's own name in it would need a
  // shell extension, which the program does not install.
  const struct {
    std::string key;
    const char* text;
    const char* option;
  } verbs[] = {{std::string(kZipVerbs) + kVerbKeys[0], "Extract Here", "/extract-here"},
               {std::string(kZipVerbs) + kVerbKeys[1], "Extract to Folder", "/extract-to"},
               {std::string(kItemVerbs) + kAddVerbKey, "Add to ZIP Archive", "/add"}};
  for (const auto& verb : verbs) {
    values.push_back({HKEY_CURRENT_USER, verb.key, "MUIVerb", verb.text});
    values.push_back({HKEY_CURRENT_USER, verb.key, "Icon", icon});
    values.push_back(
        {HKEY_CURRENT_USER, verb.key + "\\command", "", quoted + " " + verb.option + " \"%1\""});
  }
  return values;
}

// The keys the older systems read, as the classes root shows them once they are written: the
// icon's last write is the unquoted one.
bool ClassKeysInPlace(const std::string& program) {
  const std::string quoted = Quoted(program), progId = kZipProgId;
  const StoredValue expected[] = {
      {HKEY_CLASSES_ROOT, ".ZIP", "", progId},
      {HKEY_CLASSES_ROOT, progId, "", "ZIP File"},
      {HKEY_CLASSES_ROOT, progId + "\\shell\\open", "", "&Open"},
      {HKEY_CLASSES_ROOT, progId + "\\shell\\open\\command", "", quoted + " \"%1\""},
      {HKEY_CLASSES_ROOT, progId + "\\DefaultIcon", "", program + ",1"},
  };
  for (const StoredValue& value : expected) {
    if (ReadText(value.root, value.key, value.name) != value.data) return false;
  }
  return true;
}

bool Removed(LSTATUS status) {
  return status == ERROR_SUCCESS;
}

// Deletes the key when nothing is left in it.
bool DeleteIfEmpty(HKEY root, const std::string& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0, values = 0;
  LSTATUS status = RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                    &values, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(opened);
  return status == ERROR_SUCCESS && subkeys == 0 && values == 0 &&
         Removed(RegDeleteKeyA(root, key.c_str()));
}

// The value, where it still names this program's class.
bool DeleteOwnDefault(HKEY root, const std::string& key) {
  if (ReadText(root, key, "") != std::string(kZipProgId)) return false;
  bool removed = Removed(RegDeleteKeyValueA(root, key.c_str(), nullptr));
  DeleteIfEmpty(root, key);
  return removed;
}

bool OpenSettingsPage(HWND owner) {
  SHELLEXECUTEINFOW execute{};
  execute.cbSize = sizeof execute;
  // The program reports a failure itself, with the next way to choose.
  execute.fMask = SEE_MASK_FLAG_NO_UI;
  execute.hwnd = owner;
  execute.lpVerb = L"open";
  execute.lpFile = L"ms-settings:defaultapps?registeredAppUser=Corvane";
  execute.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&execute) != FALSE;
}

bool OpenWithChooser(HWND owner) {
  OPENASINFO info{};
  info.pcszFile = L".zip";
  info.oaifInFlags = static_cast<OPEN_AS_INFO_FLAGS>(OAIF_ALLOW_REGISTRATION | OAIF_REGISTER_EXT);
  return SUCCEEDED(SHOpenWithDialog(owner, &info));
}

}  // namespace

bool AssociateZipFiles(const std::string& sProgramPath) {
  bool changed = false;
  if (!ClassKeysInPlace(sProgramPath)) {
    cRegistry association;
    association.CreateEXEAssociation(sProgramPath, kZipProgId, "ZIP File", "ZIP", "&Open",
                                     /*bSupportPrint=*/false, "&Print", /*bSupportNew=*/false,
                                     "&New", /*bSupportInstall=*/false, "",
                                     /*lDefaultIconIndex=*/1);
    cRegistry icon;
    icon.ClassKey(HKEY_CLASSES_ROOT);
    icon.SectionKey(std::string(kZipProgId) + "\\DefaultIcon");
    icon.ValueType(REG_SZ);
    icon.Value(sProgramPath + ",1");
    changed = true;
  }
  for (const StoredValue& value : PerUserValues(sProgramPath)) {
    if (ReadText(value.root, value.key, value.name) == value.data) continue;
    cRegistry key;
    key.ClassKey(value.root);
    key.SectionKey(value.key);
    key.ValueKey(value.name);
    key.ValueType(REG_SZ);
    key.Value(value.data);
    changed = true;
  }
  // Explorer reloads every association when told: only after a real change.
  if (changed) NotifyAssociationChanged();
  return changed;
}

bool TryAssociateZipFiles(HWND owner, const std::string& sProgramPath) {
  try {
    AssociateZipFiles(sProgramPath);
    return true;
  } catch (const Error& failure) {
    MessageBoxA(owner, failure.Description().c_str(), kAppTitle, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
}

std::string ZipUserChoice() {
  return ReadText(HKEY_CURRENT_USER, kUserChoice, "ProgId").value_or("");
}

bool AssociateAndChooseDefault(HWND owner, const std::string& sProgramPath,
                               DefaultChooser* sentTo) {
  DefaultChooser chooser = DefaultChooser::None;
  bool written = TryAssociateZipFiles(owner, sProgramPath);
  std::string choice = ZipUserChoice();
  // The user's protected choice wins over every key a program writes: only the user can change it.
  if (written && !choice.empty() && choice != kZipProgId) {
    if (OpenSettingsPage(owner)) {
      chooser = DefaultChooser::Settings;
    } else if (OpenWithChooser(owner)) {
      chooser = DefaultChooser::OpenWith;
    } else {
      chooser = DefaultChooser::Box;
      MessageBoxA(owner,
                  "Corvane is registered for ZIP files, but Windows opens them with the program "
                  "you chose before.\r\n\r\nTo open ZIP files with Corvane, open Settings > Apps > "
                  "Default apps, choose Corvane and set it as the default for .zip files (or "
                  "right-click a ZIP file, choose Open with > Choose another app, and pick "
                  "Corvane with \"Always use this app\").",
                  kAppTitle, MB_OK | MB_ICONINFORMATION);
    }
  }
  if (sentTo) *sentTo = chooser;
  return written;
}

bool RemoveZipAssociation() {
  bool removed = false;
  const std::string userClasses = kUserClasses;
  const std::string progId = kZipProgId;
  // Under the classes root, the machine's classes (or, for a normal user on Windows, the user's);
  // the machine's own root refuses a normal user, who wrote nothing there.
  removed |= Removed(RegDeleteTreeA(HKEY_CLASSES_ROOT, progId.c_str()));
  removed |= Removed(RegDeleteTreeA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Classes\\" + progId).c_str()));
  removed |= Removed(RegDeleteTreeA(HKEY_CURRENT_USER, (userClasses + progId).c_str()));
  removed |= DeleteOwnDefault(HKEY_CLASSES_ROOT, ".ZIP");
  removed |= DeleteOwnDefault(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.ZIP");
  removed |= DeleteOwnDefault(HKEY_CURRENT_USER, userClasses + ".ZIP");
  const std::string openWith = userClasses + ".zip\\OpenWithProgids";
  removed |= Removed(RegDeleteKeyValueA(HKEY_CURRENT_USER, openWith.c_str(), kZipProgId));
  DeleteIfEmpty(HKEY_CURRENT_USER, openWith);
  DeleteIfEmpty(HKEY_CURRENT_USER, userClasses + ".zip");
  removed |= Removed(RegDeleteTreeA(HKEY_CURRENT_USER, kCapabilities));
  removed |= Removed(RegDeleteKeyValueA(HKEY_CURRENT_USER, kRegisteredApplications, "Corvane"));
  for (const char* verb : kVerbKeys) {
    removed |= Removed(RegDeleteTreeA(HKEY_CURRENT_USER, (std::string(kZipVerbs) + verb).c_str()));
  }
  removed |=
      Removed(RegDeleteTreeA(HKEY_CURRENT_USER, (std::string(kItemVerbs) + kAddVerbKey).c_str()));
  if (removed) NotifyAssociationChanged();
  return removed;
}

}  // namespace corvane
