#pragma once

#include <string>

#include "platform/Handle.h"

// The file-type icons of a document window's rows. Archive entries are not files on disk: the
// shell is asked for the small icon of a short-lived probe file with the entry's extension in the
// temporary folder, and the icon is kept in the window's image list under the extension, so each
// extension is looked up once per window.

namespace corvane {

class IconImageList;

// The image-list key for a file name: its extension from the last "." on, in upper case (".TXT";
// a name ending in "." gives "."). The default key for a name without an extension, for ".EXE",
// for an extension holding \ / : * ? " < > | or a control character (it comes from an untrusted
// entry name; no probe file is made for it), and when the icon cannot be had; nothing is kept in
// the list then, so the next row tries again. Otherwise the extension, whose icon the list holds
// from now on: found there, or fetched through the probe file "CVUZTEMP" plus the extension, which
// is gone again afterwards.
std::string GetIconKey(const std::string& sFileName, IconImageList& ilsIcons16,
                       const std::string& sDefaultKey);

// The shell's icon for a file on disk: lSize 1 the small one, 2 the large one. Empty when the
// shell has none.
UniqueIcon GetFileIcon(const std::string& sPath, int lSize);

// The system's folder for temporary files, ending in "\" as the system gives it. Raises the
// system's error when it has none.
std::string GetTempDir();

}  // namespace corvane
