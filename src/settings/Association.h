#pragma once

#include <windows.h>

#include <string>

namespace corvane {

// Corvane's own association of .zip files: ".ZIP" names the class "Corvane.ZipFile", whose open
// verb starts the program at sProgramPath (quoted) with the file's path in quotes, under both class
// roots; then the class's icon, the program's second one, is written once more under
// HKEY_CLASSES_ROOT with the path unquoted. Throws the registry object's error at the first write
// that fails; the keys written before it stay.
void AssociateZipFiles(const std::string& sProgramPath);

// The same, for a command: a failure is shown in a message box (owned by owner) with the registry
// error's text, and the program goes on. True when the association was written completely.
bool TryAssociateZipFiles(HWND owner, const std::string& sProgramPath);

}  // namespace corvane
