// Output files of an extraction: the file an entry is written to is the target itself when
// nothing is there, or a temporary file beside an existing target that replaces it only once the
// entry checked out. A failed entry leaves no file and every existing file as it was. A file that
// gets a Mark of the Web is always written under a temporary name and marked there, so that it is
// never seen under its own name without the mark.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>

#include "core/status.h"
#include "platform/file.h"
#include "platform/folder.h"
#include "platform/temporary_file.h"

namespace cv {

class OutputFile {
 public:
  // Decides about an existing file: true replaces it.
  using ReplacePolicy = std::function<bool(const FileInfo& existing)>;

  // Creates the file for `target`: the target itself with one exclusive create (no separate
  // existence check); for an existing file, asks `replace` and makes a temporary file beside it,
  // or keeps the file (kept()). A folder in the target's place is a kIo failure. With a `mark`
  // (the Zone.Identifier text, not owned, living until Commit or Discard; null or empty: none)
  // a new file, too, is a temporary file beside the target, and the mark is written on it at
  // once.
  Status Create(const std::string& target, const ReplacePolicy& replace,
                const std::string* mark = nullptr);

  bool kept() const { return m_kept; }
  // An existing file is replaced (not a marked new file under a temporary name).
  bool replaces() const { return m_temporary.active() && !m_toFreeName; }
  File& file() { return m_temporary.active() ? m_temporary.file() : m_direct; }

  // After the data is written: sets the modification time, flushes a replacement and closes the
  // file. A time that cannot be set leaves the file as it is; `*timeSet` tells.
  Status Close(int64_t mtime, Status* timeSet);
  // Makes the written file final: a replacement moves over the target; a marked new file moves
  // to the target's name only while no other file took it meanwhile (a kIo failure otherwise,
  // leaving that file alone). Then a marked file's mark is checked under its final name.
  Status Commit();
  // After Commit: whether the file carries the mark. A failure is no reason to lose the file; the
  // caller reports it.
  const Status& marked() const { return m_marked; }
  // Removes what was written: the new target or the temporary file.
  void Discard();

 private:
  Status CreateTemporary();

  std::string m_target;
  const std::string* m_mark = nullptr;
  File m_direct;
  TemporaryFile m_temporary;
  Status m_marked;
  bool m_created = false;     // the target itself was created here
  bool m_toFreeName = false;  // a marked new file, under a temporary name until Commit
  bool m_kept = false;
};

// The folders output files go into, made as needed with their parents; each is looked at once.
class OutputFolders {
 public:
  // A file where a folder must be is a kIo failure.
  Status Make(const std::string& path);

 private:
  std::unordered_set<std::string> m_made;
};

}  // namespace cv
