#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/EntryMenu.h"
#include "document/EntryColumns.h"
#include "document/FindBox.h"
#include "document/FolderTree.h"
#include "document/IconImageList.h"
#include "document/OpenFolder.h"
#include "document/RowView.h"
#include "platform/BaseWindow.h"
#include "platform/Handle.h"
#include "unzip/cUnzip.h"
#include "zip/cZip.h"

namespace corvane {

// The document window of one archive, a child window of the frame's MDI client: a header bar with
// the window's icon, the archive path (Label1) and the search box (txtFind) above the list of the
// archive's entries (lvwZip). The list shows the catalogue of m_cUnzip through a RowView: in
// catalogue order until the user sorts by a column (a click on its header; a second click
// reverses), narrowed to the entries whose folder and name hold the search text. The list is
// virtual: it asks for the texts and icons of the rows it shows, so an archive of any size is
// listed at once and costs no more than its catalogue. Several rows can be selected; commands act
// on the rows shown and selected (SelectedIndices), never on hidden ones. The frame's status bar
// shows the selection's count and size, or the archive's totals, while the window is active.
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
  // Sent to the frame by the active window: lParam is the status text (const char*, UTF-8).
  static constexpr UINT kMsgStatusText = WM_APP + 22;
  enum : int { kLabel1 = 100, kLvwZip, kTxtFind, kTvwFolders };

  // Creates the window in mdiClient with the caption, as the active child window, and posts
  // kMsgClosed to frame when it is gone. Throws what failed the creation.
  frmDocument(HWND mdiClient, HWND frame, const std::string& caption);
  ~frmDocument();

  // The object of a document window, or null for any other window.
  static frmDocument* FromWindow(HWND window);

  HWND lvwZip() const { return m_lvwZip; }
  HWND Label1() const { return m_label1; }
  HWND txtFind() const { return m_txtFind->Window(); }
  const RowView& Rows() const { return m_rowView; }
  // The folder tree's control; hidden while the folders are not shown.
  HWND tvwFolders() const { return m_folders->Window(); }

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
  // The catalogue indices of the rows shown and selected, in row order. Every command that acts
  // on "the selected entries" takes them from here. While the folder tree has the focus: every
  // entry in and below its selected folder, in catalogue order.
  std::vector<int32_t> SelectedIndices() const;
  // The catalogue indices of every row shown (all entries while no search narrows the list), in
  // row order.
  std::vector<int32_t> ShownIndices() const;
  // View > Refresh: lists the archive again from disk, the sort, the search and the selected
  // entries kept; a failed listing is shown by ReportFailure.
  void Refresh();
  // Sorts by column: ascending, or reversed when it is the sort column already. The choice is
  // kept for later windows.
  void SortBy(int column);
  // Ctrl+F and F3: the search box gets the focus, its text selected.
  void FocusFind();
  // View > Folders and Include Subfolders: the folder tree at the list's left, or not. A folder
  // selected in it narrows the list to its entries (with includeSubfolders, those below it too);
  // the root shows every entry.
  void ShowFolders(bool show, bool includeSubfolders);
  bool FoldersShown() const { return m_showFolders; }

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

  // New and Window > New Window: the caption and Label1 become path, and the builder creates an
  // empty archive there unless a file of that name exists. The list stays empty. False, after
  // ReportFailure, when the archive could not be made: the caller then closes the window.
  bool NewArchive(const std::string& path);

  // Extracts the double-clicked entries into the window's private folder, entries keeping their
  // folder names, and opens the current one there: only a copy this run wrote, carrying the
  // archive's zone. Whatever stops the open is shown in a box. Nothing selected: nothing happens.
  void lvwZip_DblClick();
  // A drag of the selected rows started: they go out as files made at the drop.
  void lvwZip_BeginDrag();
  // F3 focuses the search box. The Delete key (VK_DELETE) asks first, No the default, then deletes
  // the selected entries from the archive; other keys do nothing.
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
  void txtFind_Change();
  // The list shows the entries of the tree's selected folder, keeping the selection of those
  // still shown.
  void tvwFolders_Change();
  void RestrictToFolder();
  // The rows selected in the list, whatever has the focus.
  std::vector<int32_t> ListSelection() const;
  std::vector<int> SelectedRows() const;
  std::string ArchiveName() const;
  // Selects these entries where they are shown, on a list with no row selected; focused takes the
  // focus if shown.
  void SelectEntries(const std::vector<int32_t>& entries, int32_t focused);
  // Lets change alter which entries the rows show, then shows them: the entries selected before
  // stay selected where still shown, the rest lose their selection.
  void ShowRows(const std::function<void()>& change);
  // Runs build, which readies the row view for a sort or a search or builds a folder tree, on the
  // command runner's worker while this window answers; the progress window names the run by
  // action. build asks cancelled between entries: true once the user cancelled the run.
  using Cancelled = std::function<bool()>;
  void Prepare(const char* action, const std::function<void(const Cancelled& cancelled)>& build);
  // The folder tree of the listing, built by Prepare.
  void FillFolders();
  int32_t FocusedEntry() const;
  // The status text follows the selection once the messages that change it have been handled.
  void ScheduleStatus();
  void UpdateStatus();
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
  RowView m_rowView;
  std::unique_ptr<EntryColumns> m_columns;
  std::unique_ptr<FindBox> m_txtFind;
  std::unique_ptr<FolderPane> m_folders;
  bool m_showFolders = false, m_includeSubfolders = false;
  bool m_statusPending = false;
  // True while Prepare's run builds sort keys, folds the names or builds folders on the worker.
  bool m_preparing = false;
  // Where the double-click opens entries; removed when the window closes.
  OpenFolder m_openFolder;
  OpenFolder m_dragFolder;
};

}  // namespace corvane
