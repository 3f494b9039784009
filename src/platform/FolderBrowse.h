#pragma once

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <memory>
#include <string>

#include "platform/Subclass.h"

namespace corvane {

class FolderBrowse;

// The host of a folder browser: a window that lends one of its child windows to the browser's
// folder tree and hears which folder the user selects in it.
class ICaptureBF {
 public:
  // The browser that runs the browse hands itself over; the host keeps it for SelectFolder and
  // EndCapture until it unloads.
  virtual void CaptureBrowseForFolder(FolderBrowse* capture) = 0;
  // The window the folder tree is to fill. The host shows itself now. What it throws ends the
  // browse and leaves StartCapture.
  virtual HWND CapturehWnd() = 0;
  // The folder now selected in the tree, as a full path.
  virtual void SelectionChanged(const std::string& sPath) = 0;
  // The browse has ended on its own (the application is quitting, or the owner or the capture
  // window is gone): the host closes.
  virtual void Unload() = 0;

 protected:
  ~ICaptureBF() = default;
};

// What the next browse shows; set before StartCapture.
struct BrowseSettings {
  // The window the browse belongs to: should it be destroyed meanwhile, the browse ends on its own.
  HWND hWndOwner = nullptr;
  // The folder selected at the start; where it does not exist, the nearest folder above it that
  // does.
  std::string InitialDir;
  // True: the initial folder is reported through SelectionChanged at once, also one the tree could
  // not reach, so that the host shows it before the user selects anything.
  bool ReportInitialDir = false;
  // A pattern ("*", "?", as for file names) that the names of the folders shown must match;
  // empty: every folder.
  std::string Filter;
};

// A folder browser that runs inside a window of its host: a tree of the drives and their folders,
// each folder listed when it is first opened, with the shell's icons; hidden folders are left out.
// It is used with the keyboard as any tree is. Folder names go through the W functions; paths
// reach the host as UTF-8. The user-interface thread only; one browse at a time.
class FolderBrowse : private ISubclass {
 public:
  FolderBrowse();
  ~FolderBrowse();
  FolderBrowse(const FolderBrowse&) = delete;
  FolderBrowse& operator=(const FolderBrowse&) = delete;

  BrowseSettings& Settings() { return m_settings; }

  // Runs a browse with host (which must outlive it): hands this object over, asks for the window to
  // fill, shows the folder tree there with the initial folder selected, and dispatches this
  // thread's messages, the host's dialog keys included, until EndCapture or until the browse ends
  // on its own, when host.Unload is called. A WM_QUIT met meanwhile is posted again for the loop
  // outside. Throws what the host or the system throws while the tree is set up.
  void StartCapture(ICaptureBF& host);

  // Selects the folder (a full path), listing again the folders on its way whose list lacks the
  // next step, so that a folder created since it was listed appears. A folder that does not exist
  // selects the nearest one above it. Nothing happens outside a browse.
  void SelectFolder(const std::string& sPath);

  // Ends the browse: StartCapture returns once the message being handled has been. The tree goes.
  void EndCapture();

 private:
  struct Folder {
    std::wstring path;
    bool listed = false;
  };

  LONG MsgResponse() override { return kPostProcess; }
  void MsgResponse(LONG) override {}
  LRESULT WindowProc(HWND hwnd, UINT iMsg, WPARAM wParam, LPARAM lParam) override;
  void OnNotify(NMHDR* header);

  void CreateTree(HWND capture);
  HTREEITEM AddItem(HTREEITEM parent, const std::wstring& text, std::wstring path, int image,
                    int openImage, int children);
  Folder& FolderOf(HTREEITEM item) const;
  void List(HTREEITEM item);
  HTREEITEM Find(const std::wstring& path, bool relist);
  void Select(HTREEITEM item, bool report);
  void CloseTree();

  BrowseSettings m_settings;
  ICaptureBF* m_pHost = nullptr;
  bool m_bEnded = false;
  bool m_bQuiet = false;  // a selection not to report
  HWND m_capture = nullptr;
  HWND m_tree = nullptr;
  int m_iFolderImage = 0, m_iOpenFolderImage = 0;
  std::deque<Folder> m_folders;  // the items' data, kept until the browse ends
  std::unique_ptr<SubclassAttachment> m_notify, m_size, m_font;
};

}  // namespace corvane
