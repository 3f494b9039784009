#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The command-line switches: the Explorer verbs (Extract Here, Extract to Folder, Add to ZIP
// Archive), the uninstaller's /unregister and /?. Each runs in a process of its own, before and
// without the single-instance protocol: it takes no instance mutex, hands nothing over and marks
// no window, so a running main window is left as it is. Its engine runs show their progress window
// with Cancel and no owner; a failure is shown in a box.

namespace corvane {

struct SwitchLine {
  std::string name;  // lower case, without the "/"
  std::string path;  // the path after it, made absolute; empty when none is given
};

// The switch a command line (the text after the program's path) starts with: a "/" first, the
// name up to the first blank or quote, then the path as for an archive. Nothing for a command line
// that does not start with "/" (an archive path, the shell's association).
std::optional<SwitchLine> ParseSwitch(std::string_view commandLine);

// Carries out the switch; the process's exit code (0 done, 1 failed or cancelled, 2 not a switch
// this program knows, which a box says together with the usage).
int RunSwitch(const SwitchLine& line);

// The usage text of /? and of an unknown switch.
std::string SwitchUsage();

// base when nothing of that name exists, else "base (2)", "base (3)", ... with suffix after the
// number ("name (2).zip"): the first name free.
std::string FreeName(const std::string& base, const std::string& suffix = "");

// The names at the top of the extracted tree: the first folder or file name of each entry's
// target path ("\" separated), each once, letter case folded as the file system does.
std::vector<std::string> RootItems(const std::vector<std::string>& targetPaths);

// The mutex and window name under which the first /add process for the items of folder gathers
// the others' items.
std::wstring GatherName(const std::string& folder);

}  // namespace corvane
