#include "Association.h"

#include <shlobj.h>

#include "platform/Error.h"
#include "settings/AppSettings.h"
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

void AssociateZipFiles(const std::string& sProgramPath) {
  cRegistry association;
  association.CreateEXEAssociation(sProgramPath, "Corvane.ZipFile", "ZIP File", "ZIP", "&Open",
                                   /*bSupportPrint=*/false, "&Print", /*bSupportNew=*/false, "&New",
                                   /*bSupportInstall=*/false, "",
                                   /*lDefaultIconIndex=*/1);
  cRegistry icon;
  icon.ClassKey(HKEY_CLASSES_ROOT);
  icon.SectionKey("Corvane.ZipFile\\DefaultIcon");
  icon.ValueType(REG_SZ);
  icon.Value(sProgramPath + ",1");
  NotifyAssociationChanged();
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

}  // namespace corvane
