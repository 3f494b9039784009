#pragma once

#include <windows.h>

#include <string>

namespace corvane {

inline constexpr char kZipProgId[] = "Corvane.ZipFile";

// Corvane's own association of .zip files: ".ZIP" names the class "Corvane.ZipFile", whose open
// verb starts the program at sProgramPath (quoted) with the file's path in quotes, under both class
// roots; then the class's icon, the program's second one, is written once more under
// HKEY_CLASSES_ROOT with the path unquoted. Since Windows 8 that alone decides nothing, so the
// program also registers per user as a capable handler (the ProgID, ".zip\OpenWithProgids",
// "Capabilities" under its key, "RegisteredApplications") with the Explorer verbs Extract Here,
// Extract to Folder and Add to ZIP Archive. Only values that differ from what is stored are
// written, and Explorer is told only when one was. Throws the registry object's error at the first
// write that fails; the keys written before it stay. True when something was written.
bool AssociateZipFiles(const std::string& sProgramPath);

// The same, for a command: a failure is shown in a message box (owned by owner) with the registry
// error's text, and the program goes on. True when the association was written completely.
bool TryAssociateZipFiles(HWND owner, const std::string& sProgramPath);

// The ProgID of the user's own protected choice for .zip files (the "UserChoice" that Windows 8
// and later keep and no program may write), or "" when the user made none.
std::string ZipUserChoice();

// Where the user was sent to make Corvane the default program.
enum class DefaultChooser { None, Settings, OpenWith, Box };

// The association for the first-run question's OK and Options' Associate: writes it (a failure is
// shown, and nothing else happens), then, where the user's choice names another program, sends the
// user to the system's Default Apps page for Corvane, else to the Open With chooser, else shows a
// box that says where to choose. True when the association was written completely.
bool AssociateAndChooseDefault(HWND owner, const std::string& sProgramPath,
                               DefaultChooser* sentTo = nullptr);

// Removes every key and value the association wrote: the class under both class roots and the
// user's classes, ".ZIP"'s default value where it names the class, the OpenWithProgids entry, the
// capabilities, the registration and the Explorer verbs. Keys of other programs stay. True when
// something was removed; Explorer is then told.
bool RemoveZipAssociation();

}  // namespace corvane
