#pragma once

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/ExtractCommand.h"
#include "platform/BaseWindow.h"
#include "platform/FileDialog.h"
#include "platform/Handle.h"
#include "platform/Subclass.h"

namespace corvane {

class frmDocument;
class FrameDrop;

// Sets or clears the flat style of a toolbar control, then repaints it.
void SetFlatToolbar(HWND tbToolbar, bool bFlat);

// The multiple-document frame: menu bar, toolbar, status bar and the document windows in its
// client area. One per process; it loads once (Load) and ends the message loop when it is gone.
// Its load and every command hold a CommandScope: a close or a forwarded command line that arrives
// meanwhile is carried out once the outermost command has returned.
class frmMain : public BaseWindow<frmMain>, public ISubclass {
 public:
  // Commands of the menu bar; the toolbar buttons carry the commands they stand for.
  enum Command : WORD {
    mnuFileNew = 1001,
    mnuFileOpen,
    mnuFileClose,
    mnuFileExtract,
    mnuFileAdd,
    mnuFileAddFolder,
    mnuFileExit,
    mnuViewToolbar,
    mnuViewStatusBar,
    mnuViewRefresh,
    mnuViewFind,
    mnuViewOptions,
    mnuWindowNewWindow,
    mnuWindowCascade,
    mnuWindowTileHorizontal,
    mnuWindowTileVertical,
    mnuWindowArrangeIcons,
    mnuHelpContents,
    mnuHelpSearchForHelpOn,
    mnuHelpAbout,
    mnuViewFolders,
    mnuViewIncludeSubfolders,
    // One past the last: the frame takes every command from mnuFileNew up to it.
    kMenuCommandsEnd,
  };
  // View > Name Encoding's items carry these commands and up, in the order of NameEncodings().
  static constexpr WORD kFirstNameEncodingCommand = 1100;
  // The Window menu lists the document windows with these command identifiers and up.
  static constexpr UINT kFirstDocumentCommand = 50000;

  // Creates the window, hidden, with its controls. Throws what failed its creation (a
  // corvane::Error when the system refuses a window).
  frmMain();
  ~frmMain();

  // The load sequence; commandLine is the program's own command line (ANSI).
  void Load(std::string_view commandLine);

  // Gives the frame's keyboard shortcuts and the document windows' system keys a look at a message
  // before it is dispatched; true when it was taken.
  bool PreTranslateMessage(MSG& msg);

  // Creates and shows a new, empty document window captioned "Zip " and the running count (until
  // it names its archive); it becomes the active one. Returns it; the frame owns it until its
  // window is gone. Throws what failed.
  frmDocument& CreateDocumentWindow();
  // The active document window's object, or null when none is open.
  frmDocument* ActiveDocument() const;
  // Loads the archive at path into the active document window, and closes that window again when
  // nothing could be listed (the failure shown in a box).
  void LoadArchive(const std::string& path);

  // Makes the window visible and active for a command line (the program's own, or one handed
  // over) and opens the archive it names in a new document window. The path is the text between
  // the first double quote and the next one; a command line that does not start with a double
  // quote is the path itself. Blanks around the path are dropped. A command line of one character
  // or one that names no path opens nothing.
  void ProcessCommandLine(std::string_view sCmd);

  HWND MdiClient() const { return m_hwndClient; }
  HWND Toolbar() const { return m_tbToolbar; }
  HWND StatusBar() const { return m_sbStatusBar; }
  HACCEL Accelerators() const { return m_accelerators.Get(); }
  const std::string& ProgramFilePath() const { return m_sProgramPath; }
  // The drop target over the document windows and the empty area (null when the system refused
  // it), for a test's drop.
  IDropTarget* DropTarget() const;

  // ISubclass: forwarded command lines arrive here as WM_COPYDATA, after the window's own handling,
  // which answers 1 (taken) while the handler is attached. The text is copied and posted to this
  // window, so the sender's wait ends at once; the frame's loop opens the archive.
  LONG MsgResponse() override { return kPostProcess; }
  void MsgResponse(LONG) override {}
  LRESULT WindowProc(HWND hwnd, UINT iMsg, WPARAM wParam, LPARAM lParam) override;

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void Form_Create();
  void Form_Resize();
  void ApplyDpi();
  void OnForwardedCommandLine();
  void Form_QueryUnload();
  void Form_Unload();
  void OnClose();
  void OnCommand(WORD command);
  LRESULT OnNotify(NMHDR* header);
  void UpdateClock();
  void ApplyPlacement();
  void ToggleBar(WORD command, HWND bar);
  // Destroys a document window at once; its object goes once the window has gone.
  void CloseDocument(frmDocument& document);
  void mnuFileOpen_Click();
  void mnuFileNew_Click();
  // File > Close closes the active document as its close box would; View > Refresh lists it again.
  void mnuFileClose_Click();
  void mnuViewRefresh_Click();
  // Commands that need a document are greyed while none is open.
  void UpdateCommandStates();
  // The Window menu names document by its caption, which changed after the menu listed it.
  void NameInWindowMenu(frmDocument& document);
  // The status bar's text panel: the active document's selection or totals, empty without one.
  void ShowDocumentStatus(const char* text);
  void mnuFileAdd_Click();
  void mnuFileAddFolder_Click();
  void mnuFileExtract_Click();
  // View > Name Encoding: the choice for the active document; WM_INITMENUPOPUP checks it.
  void mnuViewNameEncoding_Click(size_t choice);
  void OnInitMenuPopup(HMENU menu);
  // View > Folders and Include Subfolders: toggled for every document window and kept for later
  // ones and later runs; the menu checks them.
  void mnuViewFolders_Click(WORD command);
  void UpdateFolderMenu();
  // The system's colours changed: the bars and the document windows follow.
  void OnSysColorChange(WPARAM wParam, LPARAM lParam);

  HMENU m_hWindowMenu = nullptr;
  HMENU m_hNameEncodingMenu = nullptr;
  bool m_showFolders = false, m_includeSubfolders = false;
  HWND m_hwndClient = nullptr;
  HWND m_tbToolbar = nullptr;
  HWND m_sbStatusBar = nullptr;
  UniqueHandle<HIMAGELIST, ImageList_Destroy> m_imlToolbarIcons;
  UniqueGdiObject m_barFont;
  UniqueHandle<HACCEL, DestroyAcceleratorTable> m_accelerators;
  bool m_bCreated = false;
  std::string m_sClockTime, m_sClockDate;

  std::string m_sProgramPath;
  long m_lDocumentCount = 0;
  std::vector<std::unique_ptr<frmDocument>> m_documents;
  std::unique_ptr<SubclassAttachment> m_copyDataHook;
  std::unique_ptr<FrameDrop> m_drop;
  std::deque<std::string> m_forwarded;  // handed-over command lines not yet opened
  ExtractPreferences m_extractPreferences;

  FileDialog m_dlgCommonDialog;
  FileDialog m_newcd;
  FileDialog m_addcd;
};

}  // namespace corvane
