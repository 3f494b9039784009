#pragma once

#include <string>

#include "platform/Handle.h"

// The file-type icons of a document window's rows. Archive entries are not files on disk: the
// shell is asked for the small icon of the entry's type by its extension alone (no file is made
// or read), and the icon is kept in the window's image list under the extension, so each
// extension is looked up once per window, a failed lookup included.

namespace corvane {

class IconImageList;

// The image-list key for a file name: its extension from the last "." on, in upper case (".TXT";
// a name ending in "." gives "."). The default key for a name without an extension, for ".EXE",
// for an extension holding \ / : * ? " < > | or a control character (it comes from an untrusted
// entry name and is never handed to the shell), and for an extension whose icon cannot be had,
// which is remembered so that later rows do not ask again. Otherwise the extension, whose image
// the list holds from now on: found there, shared with an earlier extension the shell gives the
// same icon (most unknown types share one), or fetched from the shell. A list already holding
// IconImageList::kMaxImages images gives the default for an icon it does not hold.
std::string GetIconKey(const std::string& sFileName, IconImageList& ilsIcons16,
                       const std::string& sDefaultKey);

// The shell's icon for files named like sPath, by their type (SHGFI_USEFILEATTRIBUTES: the file
// need not exist and is not touched): lSize 1 the small one, 2 the large one. Empty when the
// shell has none.
UniqueIcon GetFileIcon(const std::string& sPath, int lSize);

}  // namespace corvane
