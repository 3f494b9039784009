#include "dialogs/ExtractCommand.h"

#include <cstdint>
#include <vector>

#include "dialogs/frmExtractTo.h"
#include "document/frmDocument.h"
#include "platform/FolderBrowse.h"
#include "settings/cRegistry.h"
#include "unzip/cUnzip.h"

namespace corvane {
namespace {

constexpr char kRegKey[] = "SOFTWARE\\Corvane\\Corvane";
constexpr char kRecentKey[] = "SOFTWARE\\Corvane\\Corvane\\ExtractToMRU";

// The options one Extract run sets on the document's unzip object, put back as they were when the
// run ends, however it ends: the object keeps no preference between runs.
class RunOptions {
 public:
  RunOptions(cUnzip& unzip, const ExtractPreferences& preferences)
      : m_unzip(unzip),
        m_bPrompt(unzip.PromptToOverwrite()),
        m_bFolders(unzip.UseFolderNames()),
        m_bOverwrite(unzip.OverwriteExisting()) {
    unzip.PromptToOverwrite(preferences.PromptToOverwrite());
    unzip.UseFolderNames(preferences.UseFolderNames());
    // Without the prompt, an existing file is replaced.
    unzip.OverwriteExisting(!preferences.PromptToOverwrite());
  }
  ~RunOptions() {
    m_unzip.PromptToOverwrite(m_bPrompt);
    m_unzip.UseFolderNames(m_bFolders);
    m_unzip.OverwriteExisting(m_bOverwrite);
  }
  RunOptions(const RunOptions&) = delete;
  RunOptions& operator=(const RunOptions&) = delete;

 private:
  cUnzip& m_unzip;
  bool m_bPrompt, m_bFolders, m_bOverwrite;
};

// The folder an archive lies in; a drive's root keeps its separator.
std::string FolderOf(const std::string& path) {
  size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return std::string();
  bool root = separator == 2 && path[1] == ':';
  return path.substr(0, root ? separator + 1 : separator);
}

// The Extract To dialog over the preferences, with label above its folder box unless empty; its
// choices go into them. Returns the chosen folder, or "" when it was cancelled.
std::string ChooseExtractFolder(HWND frame, const std::string& archive, const std::string& label,
                                ExtractPreferences& preferences) {
  // The frame takes no input while the dialog is open. The dialog's close routine enables it
  // again, and so does this should the dialog fail before it shows.
  EnableWindow(frame, FALSE);
  struct Enable {
    HWND window;
    ~Enable() { EnableWindow(window, TRUE); }
  } enable{frame};

  // The browser comes first: the dialog ends its browse when it goes.
  FolderBrowse browse;
  frmExtractTo dialog(frame);
  const cMRU& recent = preferences.RecentFolders();
  dialog.LoadMRU(recent);
  dialog.Label(label);
  dialog.OverWritePrompt(preferences.PromptToOverwrite());
  dialog.UseFolderNames(preferences.UseFolderNames());

  // Shown in the combo box at once.
  BrowseSettings& settings = browse.Settings();
  settings.hWndOwner = frame;
  settings.InitialDir = recent.Count() > 0 ? recent.Item(1) : FolderOf(archive);
  settings.ReportInitialDir = true;
  settings.Filter.clear();

  // Returns once the dialog has closed.
  browse.StartCapture(dialog);

  if (dialog.Cancelled()) return std::string();
  preferences.RecentFolders().Add(dialog.SelectedFolder());
  preferences.PromptToOverwrite(dialog.OverWritePrompt());
  preferences.UseFolderNames(dialog.UseFolderNames());
  return dialog.SelectedFolder();
}

// Reads a flag where it is stored; an absent value leaves it.
void ReadFlag(cRegistry& cR, const char* name, bool& flag) {
  cR.ValueKey(name);
  RegValue value = cR.Value();
  if (!std::holds_alternative<std::monostate>(value))
    flag = ValueNumber(value, "ExtractPreferences") != 0;
}

}  // namespace

void ExtractPreferences::Load() {
  Load(HKEY_LOCAL_MACHINE);
  Load(HKEY_CURRENT_USER);
}

void ExtractPreferences::Save() const {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    try {
      Save(root);
    } catch (...) {
      // Commonly the machine's root, which a normal user cannot write.
    }
  }
}

void ExtractPreferences::Load(HKEY root) {
  cRegistry cR;
  cR.ClassKey(root);
  cR.SectionKey(kRegKey);
  if (!cR.KeyExists()) return;
  cR.ValueType(REG_DWORD);
  // Each value on its own: one that cannot be read leaves the others to be read.
  for (auto [name, flag] : {std::pair{"UseFolderNames", &m_bUseFolderNames},
                            std::pair{"PromptToOW", &m_bPromptToOverwrite}}) {
    try {
      ReadFlag(cR, name, *flag);
    } catch (...) {
    }
  }
  try {
    cR.SectionKey(kRecentKey);
    if (cR.KeyExists()) m_cRecentFolders.DeSerialise(cR);
  } catch (...) {
  }
}

void ExtractPreferences::Save(HKEY root) const {
  cRegistry cR;
  cR.ClassKey(root);
  cR.SectionKey(kRecentKey);
  m_cRecentFolders.Serialise(cR);
  cR.ValueType(REG_DWORD);
  cR.SectionKey(kRegKey);
  cR.ValueKey("UseFolderNames");
  cR.Value(std::int32_t{m_bUseFolderNames ? 1 : 0});
  cR.ValueKey("PromptToOW");
  cR.Value(std::int32_t{m_bPromptToOverwrite ? 1 : 0});
}

void ExtractCommand(HWND frame, frmDocument& document, ExtractPreferences& preferences) {
  cUnzip& unzip = document.m_cUnzip;
  // The rows shown and selected; every row shown when none is selected. Hidden entries never.
  std::vector<int32_t> chosen = document.SelectedIndices();
  std::string label;
  if (chosen.empty()) {
    chosen = document.ShownIndices();
    // A search narrows what "all" means: the dialog says so.
    if (static_cast<int32_t>(chosen.size()) != unzip.FileCount()) {
      label = "Extract the " + std::to_string(chosen.size()) +
              (chosen.size() == 1 ? " entry" : " entries") + " shown to:";
    }
  }
  for (int32_t i = 1; i <= unzip.FileCount(); ++i) unzip.FileSelected(i, false);
  for (int32_t i : chosen) unzip.FileSelected(i, true);
  // A search that shows nothing extracts nothing (the engine, given no entries, would take all).
  if (chosen.empty()) {
    MessageBeep(MB_OK);
    return;
  }
  std::string folder = ChooseExtractFolder(frame, unzip.ZipFile(), label, preferences);
  if (folder.empty()) return;
  RunOptions options(unzip, preferences);
  unzip.UnzipFolder(folder);
  document.RunUnzip();
}

}  // namespace corvane
