#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Handle.h"

namespace corvane {

// The private folder a document window opens its entries from: "<temp>\Corvane\<random>" under
// the user's own temporary folder, made with the user's default security, so that no other user
// can read, swap or add to what is opened there. One per document window, made at the first use.
// While it lives the folder holds a lock file that this process keeps open; a folder whose lock
// file can be deleted belonged to an instance that ended without cleaning up.
//
// The object remembers each file's size and write time as extracted, so that it can tell the
// files a program has changed since (or still holds open) from those it may remove.
// The user-interface thread only.
class OpenFolder {
 public:
  // The lock file's name in each folder.
  static constexpr wchar_t kLockFile[] = L"Corvane.lock";

  OpenFolder() = default;
  // Removes the folder as Close(nullptr) does.
  ~OpenFolder();
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;

  // The folder's full path (no "\" at the end), made with its lock file at the first call.
  // Throws a corvane::Error naming what could not be made.
  const std::string& Path();
  // True once Path made the folder and until Close.
  bool Exists() const { return !m_sPath.empty(); }

  // Notes every file below the folder not noted yet as extracted now: its size and write time
  // are what later counts as unchanged.
  void NoteNewFiles();
  // Makes room for a fresh copy at relative ("\" separated): true when no file is there now
  // (an unchanged one is deleted). False when the file there was changed since it was noted,
  // or was never noted, or cannot be deleted (a program holds it open): it is left as it is.
  bool MakeRoom(const std::string& relative);

  // Removes the folder with every unchanged file in it. Files changed since they were noted,
  // files never noted (a program saved them there) and files still held open stay; with an owner
  // a box names them and offers to move them to a folder the user picks, or to leave them
  // where they are. A folder left behind has no lock file, so no later start removes it.
  void Close(HWND owner);

  // Removes the folders below Root that a lock file marks as left by an instance that ended
  // without cleaning up: the ones whose lock file can be deleted. Failures are ignored.
  static void RemoveStale();
  // "<the user's temporary folder>Corvane", without a "\" at the end.
  static std::wstring Root();

 private:
  struct Stamp {
    uint64_t size = 0;
    FILETIME written{};
  };
  bool Unchanged(const std::wstring& relative) const;

  std::string m_sPath;
  std::wstring m_path;
  UniqueKernelHandle m_lock;
  std::map<std::wstring, Stamp> m_noted;  // by path relative to the folder
};

// A path for the W file functions: the "\\?\" form once it is too long for the plain one.
std::wstring LongPathForm(const std::wstring& path);

// The zone a Zone.Identifier text names (the [ZoneTransfer] section's ZoneId), -1 when it names
// none; and the stream of the file at path (nothing when it has none or it cannot be read).
int ZoneOfMark(const std::string& mark);
std::optional<std::string> ReadZoneMark(const std::string& path);
// Writes the mark as the file's Zone.Identifier stream; false when it could not be written.
bool WriteZoneMark(const std::string& path, const std::string& mark);
// The zone the system's security manager gives a network path (UNC) such as an archive on a
// share, -1 for a local path. Needs COM on the calling thread; a failed lookup counts as the
// Internet zone (3).
int NetworkZone(const std::string& path);

// Asks the shell to open the file at path ("open" verb) with folder as the program's working
// folder and owner as the window its dialogs belong to. 0, or the system's error code.
DWORD OpenWithShell(HWND owner, const std::string& path, const std::string& folder);

}  // namespace corvane
