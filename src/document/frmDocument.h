#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/EntryMenu.h"
#include "document/IconImageList.h"
#include "document/OpenFolder.h"
#include "platform/BaseWindow.h"
#include "platform/Handle.h"
#include "unzip/cUnzip.h"
#include "zip/cZip.h"

namespace corvane {

// The document window of one archive, a child window of the frame's MDI client: a header bar with
// the window's icon and the archive path (Label1) above the list of the archive's entries
// (lvwZip). The list shows the catalogue of m_cUnzip: row r (from 0) is entry r + 1, whose row key
// is "File" followed by that index, in catalogue order. The list is virtual: it asks for the texts
// and icons of the rows it shows, so an archive of any size is listed at once and costs no more
// than its catalogue. Several rows can be selected.
//
// The window owns the unzip object m_cUnzip and the builder m_cZip of its archive, and answers
// m_cUnzip's overwrite and password questions with the prompts. Its commands (the double-click,
// the Delete key, Add Files) and the prompts hold a CommandScope: a close of this window or of the
// frame, or a forwarded command line, that arrives meanwhile waits until the command has returned,
// so the command works on this window and its objects to the end.
class frmDocument : public BaseWindow<frmDocument>, private cUnzipEvents {
 public:
  static constexpr char kClassName[] = "CorvaneDocument";
  // Posted to the frame once the window is gone: the frame then frees the object.
  static constexpr UINT kMsgClosed = WM_APP + 20;
  // Sent to the frame for the entry menu's Extract To...: the frame runs its own Extract command
  // on the active document, this one.
  static constexpr UINT kMsgExtractTo = WM_APP + 21;
  enum : int { kLabel1 = 100, kLvwZip };

  // Creates the window in mdiClient with the caption, as the active child window, and posts
  // kMsgClosed to frame when it is gone. Throws what failed the creation.
  frmDocument(HWND mdiClient, HWND frame, const std::string& caption);
  ~frmDocument();

  // The object of a document window, or null for any other window.
  static frmDocument* FromWindow(HWND window);

  HWND lvwZip() const { return m_lvwZip; }
  HWND Label1() const { return m_label1; }

  // The archive's unzip object and builder; Extract and Add Files work through them.
  cUnzip m_cUnzip;
  cZip m_cZip;

  // Names path as the archive of both objects, the caption and the label, lists it and fills the
  // list. A listing that failed (a missing file, a folder, no ZIP archive, damage, a missing
  // engine) is shown by ReportFailure. False when nothing could be listed: the caller then closes
  // the window; an archive whose sound entries listed despite damage stays, the box a warning.
  bool LoadArchive(const std::string& path);
  // Shows one row per entry of m_cUnzip's catalogue; no row is selected afterwards.
  void FillEntryList();
  // Lists the archive again (setting ZipFile to itself empties the catalogue) and fills the list,
  // also when the listing raised, which it then raises again.
  void Relist();
  // The catalogue indices of the selected rows, in list order.
  std::vector<int32_t> SelectedIndices() const;

  // Add Files with the text the multiple-selection dialog returned: the builder adds the chosen
  // files (" - Adding Files..." follows the caption meanwhile), then the list shows the archive
  // as it then is. A failed run (a missing base path, an engine error) is shown by ReportFailure.
  void AddFiles(std::string_view selection);
  // Files and folders dropped on the window, and Add Folder without stored folder names: each
  // item is added with everything below it, its path stored relative to the folder it lies in,
  // folder names kept, whatever the options say; then the list shows the archive as it is.
  void AddItems(const std::vector<std::string>& items);
  // Add Folder: the folder and everything below it, by Add Files' rules where folder names are
  // stored; otherwise as AddItems, since flattening a tree would lose same-named files.
  void AddFolder(const std::string& folder);
  // The folder drags of rows out of the window extract into, one subfolder per drag; removed
  // when the window closes. Never the folder double-clicked entries open from.
  OpenFolder& DragFolder() { return m_dragFolder; }

  // New and Window > New Window: the caption, and Label1 when setLabel, become path, and the
  // builder creates an empty archive there unless a file of that name exists. The list stays
  // empty. False, after ReportFailure, when the archive could not be made: the caller then closes
  // the window.
  bool NewArchive(const std::string& path, bool setLabel);

  // Extracts the double-clicked entries into the window's private folder, entries keeping their
  // folder names, and opens the current one there: only a copy this run wrote, carrying the
  // archive's zone. Whatever stops the open is shown in a box. Nothing selected: nothing happens.
  void lvwZip_DblClick();
  // A drag of the selected rows started: they go out as files made at the drop.
  void lvwZip_BeginDrag();
  // The Delete key (VK_DELETE) deletes the selected entries from the archive; other keys do
  // nothing.
  void lvwZip_KeyDown(WORD keyCode);

  // The entry list's context menu and keys: Open as the double-click, Extract To... as the frame's
  // command, Delete as the Delete key, Select All, Test and Properties.
  void RunEntryCommand(EntryCommand command);

  // View > Name Encoding: names that are neither flagged nor valid UTF-8 are read in codePage (0:
  // automatic) by every later listing, extraction, open, delete, Add Files and Test of this
  // window, and of any window that opens the same archive path until the program exits; the
  // archive is listed again at once. A listing that failed is shown by ReportFailure.
  void NameEncoding(uint32_t codePage);
  uint32_t NameEncoding() const { return m_cUnzip.NameCodePage(); }

  // m_cUnzip.Unzip, then a failed run (an error, or a LastRunFailed code) is reported by
  // ReportFailure with the run's message lines. True when the run did not fail.
  bool RunUnzip();
  // A message box, owned by the frame, naming the archive and the engine's message lines; an
  // error, or a warning when the command went on.
  void ReportFailure(const std::string& lines, bool warning = false);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void Form_Load();
  void Form_Resize();
  // The close: the private folder goes, a box offering to keep what was changed there.
  void Form_Unload();
  void Form_Paint();
  void ApplyDpi();
  LRESULT OnNotify(NMHDR* header);
  // A right-click, Shift+F10 or the menu key on the list (lParam of WM_CONTEXTMENU).
  void lvwZip_ContextMenu(LPARAM lParam);
  // Both engine objects read names in codePage.
  void UseCodePage(uint32_t codePage);
  // The copy at path carries the zone of the archive (or of its network location), written here
  // when the engine had no mark to copy. Otherwise a box says why it is not opened.
  bool CarriesArchiveZone(const std::string& path);

  // m_cUnzip's questions during a run.
  void OverWritePrompt(const std::string& sFile, int32_t& eResponse) override;
  void PasswordRequest(const std::string& sName, bool bRetry, std::string& sPassword,
                       bool& bCancel) override;
  void m_cUnzip_OverWritePrompt(const std::string& sFile, int32_t& eResponse);
  void m_cUnzip_PasswordRequest(const std::string& sName, bool bRetry, std::string& sPassword,
                                bool& bCancel);

  HWND m_hwndFrame;
  HWND m_label1 = nullptr;
  HWND m_lvwZip = nullptr;
  std::unique_ptr<IconImageList> m_ilsIcons16;
  UniqueIcon m_image1;
  UniqueGdiObject m_listFont, m_labelFont;
  // Where the double-click opens entries; removed when the window closes.
  OpenFolder m_openFolder;
  OpenFolder m_dragFolder;
};

}  // namespace corvane
