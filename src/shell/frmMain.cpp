#include "frmMain.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <iterator>
#include <optional>

#include "Startup.h"
#include "dialogs/ExtractCommand.h"
#include "document/NameEncoding.h"
#include "document/frmDocument.h"
#include "platform/CommandScope.h"
#include "platform/Dpi.h"
#include "platform/Error.h"
#include "platform/Module.h"
#include "platform/PickFolder.h"
#include "platform/Text.h"
#include "resources/resource.h"
#include "runner/EngineRunner.h"
#include "settings/AppSettings.h"
#include "settings/Association.h"
#include "settings/ListSettings.h"
#include "settings/frmAbout.h"
#include "settings/frmOptions.h"
#include "shell/FrameDrop.h"

namespace corvane {
namespace {

constexpr char kFrameClass[] = "CorvaneMain";
constexpr UINT_PTR kClockTimer = 1;
constexpr int kToolbarId = 200, kStatusBarId = 201, kClientId = 202;
// Posted to the frame for each handed-over command line, which waits in m_forwarded.
constexpr UINT kMsgForwardedCommandLine = WM_APP + 1;
// The toolbar pictures are drawn 24 pixels square for 96 dots per inch.
constexpr int kToolbarPicture = 24;
// The program is long-path aware: a chosen archive's path may be as long as the system allows,
// not only 260 characters.
constexpr size_t kLongestPath = 32767;
// Forwarded command lines longer than this are not taken: the system's own limit is 32767
// UTF-16 characters, which UTF-8 holds in at most three times as many bytes.
constexpr DWORD kMaxForwardedBytes = 32767 * 3;
// How long a log-off waits for a cancelled engine run to stop.
constexpr DWORD kEndSessionWaitMs = 5000;

bool IsNameEncodingCommand(WORD command) {
  return command >= frmMain::kFirstNameEncodingCommand &&
         command < frmMain::kFirstNameEncodingCommand + NameEncodings().size();
}

// Commands that start an engine run or change the documents one works on: refused while a run is
// in progress.
bool StartsRun(WORD command) {
  switch (command) {
    case frmMain::mnuFileNew:
    case frmMain::mnuFileOpen:
    case frmMain::mnuFileClose:
    case frmMain::mnuFileExtract:
    case frmMain::mnuFileAdd:
    case frmMain::mnuFileAddFolder:
    case frmMain::mnuViewRefresh:
    case frmMain::mnuViewOptions:
    case frmMain::mnuWindowNewWindow:
      return true;
    default:
      // A name encoding lists the archive again.
      return IsNameEncodingCommand(command);
  }
}

struct ToolbarButton {
  const char* key;  // also the key of the button's picture
  const char* caption;
  const char* toolTip;
  WORD command;
};
// A null key is a separator.
constexpr ToolbarButton kToolbarButtons[] = {
    {"New", "New", "New", frmMain::mnuFileNew},
    {"Open", "Open", "Open", frmMain::mnuFileOpen},
    {nullptr, nullptr, nullptr, 0},
    {"Undo", "Add", "Add Files...", frmMain::mnuFileAdd},
    {"Redo", "  Extract  ", "Extract", frmMain::mnuFileExtract},
};

struct ToolbarPicture {
  const char* key;
  int resource;
};
constexpr ToolbarPicture kToolbarPictures[] = {
    {"New", IDB_TOOLBAR_NEW},   {"Open", IDB_TOOLBAR_OPEN},           {"Undo", IDB_TOOLBAR_UNDO},
    {"Redo", IDB_TOOLBAR_REDO}, {"ExtractTo", IDB_TOOLBAR_EXTRACTTO},
};

// The picture each button shows, by its key; the Extract button shows the extraction picture.
int PictureIndex(const char* buttonKey) {
  std::string_view key = buttonKey;
  if (key == "Redo") key = "ExtractTo";
  for (size_t i = 0; i < std::size(kToolbarPictures); ++i) {
    if (key == kToolbarPictures[i].key) return static_cast<int>(i);
  }
  return I_IMAGENONE;
}

const ToolbarButton* ButtonOf(UINT_PTR command) {
  for (const ToolbarButton& button : kToolbarButtons) {
    if (button.key && button.command == command) return &button;
  }
  return nullptr;
}

HINSTANCE Instance() {
  return GetModuleHandleA(nullptr);
}

void RegisterClasses() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXA frame{};
  frame.cbSize = sizeof frame;
  frame.lpfnWndProc = frmMain::Procedure;
  frame.hInstance = Instance();
  frame.hIcon = LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_CORVANE));
  frame.hIconSm = static_cast<HICON>(LoadImageA(Instance(), MAKEINTRESOURCEA(IDI_CORVANE),
                                                IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                GetSystemMetrics(SM_CYSMICON), 0));
  frame.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  frame.lpszClassName = kFrameClass;
  if (!RegisterClassExA(&frame)) throw SystemError("frmMain", "RegisterClassEx");
  registered = true;
}

HMENU BuildMenuBar(HMENU* windowMenu, HMENU* nameEncodingMenu) {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, frmMain::mnuFileNew, "&New\tCtrl+N");
  AppendMenuA(file, MF_STRING, frmMain::mnuFileOpen, "&Open...\tCtrl+O");
  AppendMenuA(file, MF_STRING, frmMain::mnuFileClose, "&Close");
  AppendMenuA(file, MF_SEPARATOR, 0, nullptr);  // mnuFileBar0
  AppendMenuA(file, MF_STRING, frmMain::mnuFileExtract, "&Extract To...");
  AppendMenuA(file, MF_SEPARATOR, 0, nullptr);  // mnuSeper
  AppendMenuA(file, MF_STRING, frmMain::mnuFileAdd, "&Add Files...");
  AppendMenuA(file, MF_STRING, frmMain::mnuFileAddFolder, "Add Fol&der...");
  AppendMenuA(file, MF_SEPARATOR, 0, nullptr);  // mnuFileBar1
  AppendMenuA(file, MF_STRING, frmMain::mnuFileExit, "E&xit");
  HMENU view = CreatePopupMenu();
  AppendMenuA(view, MF_STRING | MF_CHECKED, frmMain::mnuViewToolbar, "&Toolbar");
  AppendMenuA(view, MF_STRING | MF_CHECKED, frmMain::mnuViewStatusBar, "Status &Bar");
  AppendMenuA(view, MF_SEPARATOR, 0, nullptr);  // mnuViewBar0
  AppendMenuA(view, MF_STRING, frmMain::mnuViewRefresh, "&Refresh	F5");
  AppendMenuA(view, MF_STRING, frmMain::mnuViewFind, "&Find	Ctrl+F");
  AppendMenuA(view, MF_STRING, frmMain::mnuViewFolders, "F&olders");
  AppendMenuA(view, MF_STRING, frmMain::mnuViewIncludeSubfolders, "Include S&ubfolders");
  *nameEncodingMenu = BuildNameEncodingMenu(frmMain::kFirstNameEncodingCommand);
  AppendMenuA(view, MF_POPUP, reinterpret_cast<UINT_PTR>(*nameEncodingMenu), "Name &Encoding");
  AppendMenuA(view, MF_STRING, frmMain::mnuViewOptions, "&Options...");
  HMENU window = CreatePopupMenu();
  AppendMenuA(window, MF_STRING, frmMain::mnuWindowNewWindow, "&New Window");
  AppendMenuA(window, MF_SEPARATOR, 0, nullptr);  // mnuWindowBar0
  AppendMenuA(window, MF_STRING, frmMain::mnuWindowCascade, "&Cascade");
  AppendMenuA(window, MF_STRING, frmMain::mnuWindowTileHorizontal, "Tile &Horizontal");
  AppendMenuA(window, MF_STRING, frmMain::mnuWindowTileVertical, "Tile &Vertical");
  AppendMenuA(window, MF_STRING, frmMain::mnuWindowArrangeIcons, "&Arrange Icons");
  // The program has no help file: both Help items stay disabled.
  HMENU help = CreatePopupMenu();
  AppendMenuA(help, MF_STRING | MF_GRAYED, frmMain::mnuHelpContents, "&Contents");
  AppendMenuA(help, MF_STRING | MF_GRAYED, frmMain::mnuHelpSearchForHelpOn,
              "&Search For Help On...");
  AppendMenuA(help, MF_SEPARATOR, 0, nullptr);  // mnuHelpBar0
  AppendMenuA(help, MF_STRING, frmMain::mnuHelpAbout, "&About ");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), "&View");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(window), "&Window");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");
  *windowMenu = window;
  return bar;
}

// The command line a hand-over record carries, when it is one a later instance of this program
// sends: dwData 0, a length that is positive to the sender (a signed number there) and no more
// than any command line holds, and bytes IsAcceptableHandOver takes. The bytes need not end in a
// zero; one zero byte stands for an empty command line.
std::optional<std::string> HandedOverText(const COPYDATASTRUCT* record) {
  if (!record || record->dwData != 0 || !record->lpData) return std::nullopt;
  auto length = static_cast<LONG>(record->cbData);
  if (length <= 0 || static_cast<DWORD>(length) > kMaxForwardedBytes) return std::nullopt;
  std::string_view bytes(static_cast<const char*>(record->lpData), static_cast<size_t>(length));
  if (!IsAcceptableHandOver(bytes)) return std::nullopt;
  return std::string(bytes.substr(0, bytes.find('\0')));
}

// Moves a rectangle that lies entirely off every monitor onto the work area of the nearest one.
RECT KeepOnScreen(RECT rect) {
  if (MonitorFromRect(&rect, MONITOR_DEFAULTTONULL)) return rect;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoA(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor)) return rect;
  const RECT& work = monitor.rcWork;
  LONG width = std::min(rect.right - rect.left, work.right - work.left);
  LONG height = std::min(rect.bottom - rect.top, work.bottom - work.top);
  LONG left = std::clamp(rect.left, work.left, work.right - width);
  LONG top = std::clamp(rect.top, work.top, work.bottom - height);
  return RECT{left, top, left + width, top + height};
}

}  // namespace

void SetFlatToolbar(HWND tbToolbar, bool bFlat) {
  // The toolbar keeps its own copy of the style: GWL_STYLE does not show TBSTYLE_FLAT everywhere.
  auto style = static_cast<DWORD>(SendMessageA(tbToolbar, TB_GETSTYLE, 0, 0));
  if (!bFlat && (style & TBSTYLE_FLAT)) {
    style &= ~TBSTYLE_FLAT;
  } else if (bFlat) {
    style |= TBSTYLE_FLAT;
  }
  SendMessageA(tbToolbar, TB_SETSTYLE, 0, style);
  InvalidateRect(tbToolbar, nullptr, TRUE);
  UpdateWindow(tbToolbar);
}

frmMain::frmMain()
    : m_dlgCommonDialog("Open", "ZIP Files (*.zip)|*.zip|All Files (*.*)|*.*", kLongestPath,
                        OFN_EXPLORER | OFN_PATHMUSTEXIST),
      m_newcd("New", "ZIP Files (*.zip)|*.zip", kLongestPath, OFN_EXPLORER | OFN_PATHMUSTEXIST),
      // The explorer style: the old one returns short names, and selects one file only under Wine.
      m_addcd("Add Files", "All Files (*.*)|*.*", 32000,
              OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterClasses();
  ListSettings listSettings = ReadListSettings(0);
  m_showFolders = listSettings.showFolders;
  m_includeSubfolders = listSettings.includeSubfolders;
  HMENU windowMenu = nullptr;
  HMENU menuBar = BuildMenuBar(&windowMenu, &m_hNameEncodingMenu);
  m_hWindowMenu = windowMenu;  // WM_CREATE hands it to the MDI client
  if (!CreateWindowExA(0, kFrameClass, kAppTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menuBar,
                       Instance(), this)) {
    DWORD error = GetLastError();
    DestroyMenu(menuBar);
    RethrowCreationError();
    throw SystemError("frmMain", "CreateWindowEx", error);
  }
  ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'N', mnuFileNew},
                  {FVIRTKEY | FCONTROL, 'O', mnuFileOpen},
                  {FVIRTKEY | FCONTROL, 'F', mnuViewFind},
                  {FVIRTKEY, VK_F5, mnuViewRefresh}};
  m_accelerators.Reset(CreateAcceleratorTableA(keys, static_cast<int>(std::size(keys))));
}

frmMain::~frmMain() {
  // The window goes first: its toolbar still uses the image list.
  if (m_hwnd) DestroyWindow(m_hwnd);
}

void frmMain::Load(std::string_view commandLine) {
  // The first-run questions and the command line's archive run nested loops: a close, and a
  // command line handed over meanwhile, wait until the load has ended.
  CommandScope scope;

  // 1. Program file path: this program's folder and its name with ".exe".
  m_sProgramPath = ExecutableFolder() + ExecutableTitle() + ".exe";

  // 2. Flat toolbar.
  SetFlatToolbar(m_tbToolbar, true);

  // 3. Placement, 4. program-wide settings.
  ApplyPlacement();
  ReadProgramSettings();

  // Forwarded command lines reach WindowProc from now on, and a later instance may find this
  // window, before the first-run questions: a start while they are open hands its archive over
  // instead of finding no window and dropping it.
  m_copyDataHook = std::make_unique<SubclassAttachment>(m_hwnd, WM_COPYDATA, *this);
  MarkMainWindow(m_hwnd);

  // 5. First run: the association question, then the Options dialog, before the window shows.
  // The window is still hidden: the question stands on its own, the Options dialog is owned by it.
  if (g_iFirstRun == 1) {
    if (MessageBoxA(nullptr, "Would you like to register ZIP files with Corvane?", kAppTitle,
                    MB_OKCANCEL) == IDOK &&
        AssociateAndChooseDefault(nullptr, m_sProgramPath)) {
      g_iFirstRun = 2;
    }
    frmOptions::Show(m_hwnd, m_sProgramPath);
    if (g_iFirstRun != 2) g_iFirstRun = 0;
  }

  // 6. Once accepted, the association is renewed at every start, written only where it changed.
  if (g_iFirstRun == 2) TryAssociateZipFiles(nullptr, m_sProgramPath);

  // 10. The program's own command line; it shows the window.
  ProcessCommandLine(commandLine);

  // The Extract To preferences.
  m_extractPreferences.Load();
  UpdateCommandStates();
}

bool frmMain::PreTranslateMessage(MSG& msg) {
  if (!m_hwnd) return false;
  if (TranslateMDISysAccel(m_hwndClient, &msg)) return true;
  return TranslateAcceleratorA(m_hwnd, m_accelerators.Get(), &msg) != 0;
}

frmDocument& frmMain::CreateDocumentWindow() {
  ++m_lDocumentCount;
  auto document = std::make_unique<frmDocument>(m_hwndClient, m_hwnd,
                                                "Zip " + std::to_string(m_lDocumentCount));
  m_documents.push_back(std::move(document));
  UpdateCommandStates();
  return *m_documents.back();
}

frmDocument* frmMain::ActiveDocument() const {
  return frmDocument::FromWindow(
      reinterpret_cast<HWND>(SendMessageA(m_hwndClient, WM_MDIGETACTIVE, 0, 0)));
}

void frmMain::LoadArchive(const std::string& path) {
  frmDocument* document = ActiveDocument();
  // A window for an archive that could not be listed at all would only show an empty list.
  if (!document) return;
  if (document->LoadArchive(path)) {
    NameInWindowMenu(*document);
  } else {
    CloseDocument(*document);
  }
}

void frmMain::CloseDocument(frmDocument& document) {
  SendMessageA(m_hwndClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(document.Window()), 0);
}

void frmMain::ProcessCommandLine(std::string_view sCmd) {
  if (!IsWindowVisible(m_hwnd)) ShowWindow(m_hwnd, SW_SHOW);
  ActivateWindow(m_hwnd);
  std::string_view path = CommandLinePath(sCmd);
  if (path.empty()) return;
  CreateDocumentWindow();
  LoadArchive(std::string(path));
}

LRESULT frmMain::WindowProc(HWND, UINT iMsg, WPARAM, LPARAM lParam) {
  if (iMsg != WM_COPYDATA) return 0;
  std::optional<std::string> commandLine =
      HandedOverText(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
  if (!commandLine) return 0;
  m_forwarded.push_back(std::move(*commandLine));
  PostMessageA(m_hwnd, kMsgForwardedCommandLine, 0, 0);
  return 0;
}

void frmMain::OnForwardedCommandLine() {
  if (m_forwarded.empty()) return;
  CommandScope scope;
  std::string commandLine = std::move(m_forwarded.front());
  m_forwarded.pop_front();
  ProcessCommandLine(commandLine);
}

LRESULT frmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      Form_Create();
      return 0;
    case WM_SIZE:
      Form_Resize();
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) <= 1 &&
          ((LOWORD(wParam) >= mnuFileNew && LOWORD(wParam) < kMenuCommandsEnd) ||
           IsNameEncodingCommand(LOWORD(wParam)))) {
        OnCommand(LOWORD(wParam));
        return 0;
      }
      break;
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_TIMER:
      if (wParam == kClockTimer) UpdateClock();
      return 0;
    case WM_COPYDATA:
      // Taken while the copy-data handler is attached and the record is one it takes; the
      // handler runs after this answer.
      return m_copyDataHook && HandedOverText(reinterpret_cast<const COPYDATASTRUCT*>(lParam))
                 ? TRUE
                 : FALSE;
    case kMsgForwardedCommandLine:
      if (!CommandScope::DeferWhileInProgress(m_hwnd, message, wParam, lParam)) {
        OnForwardedCommandLine();
      }
      return 0;
    case WM_CLOSE:
      // During an engine run the close waits for the run, which the user may cancel or keep.
      if (!runner::ConfirmCloseDuringRun(m_hwnd)) return 0;
      if (!CommandScope::DeferWhileInProgress(m_hwnd, message, wParam, lParam)) OnClose();
      return 0;
    case frmDocument::kMsgExtractTo:
      OnCommand(mnuFileExtract);
      return 0;
    case WM_INITMENUPOPUP:
      UpdateCommandStates();
      UpdateFolderMenu();
      OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
      break;  // the MDI frame adds the Window menu's document list
    case WM_SYSCOLORCHANGE:
      OnSysColorChange(wParam, lParam);
      return 0;
    case frmDocument::kMsgClosed:
      // Frees the objects whose windows are gone: their engine objects go with them.
      std::erase_if(m_documents, [](const auto& document) { return !document->Window(); });
      UpdateCommandStates();
      if (!ActiveDocument()) ShowDocumentStatus("");
      return 0;
    case frmDocument::kMsgStatusText:
      ShowDocumentStatus(reinterpret_cast<const char*>(lParam));
      return 0;
    case WM_ENDSESSION:
      // The user logs off or the system shuts down: close as File > Exit does, settings saved.
      // An engine run is cancelled first, so that it leaves no half-written file. During a
      // command this waits like any close, though the session may end meanwhile: a window torn
      // down under a running command would be worse than settings not saved.
      if (wParam) runner::CancelAndWait(kEndSessionWaitMs);
      if (wParam && !CommandScope::DeferWhileInProgress(m_hwnd, message, wParam, lParam)) {
        OnClose();
      }
      return 0;
    case WM_DPICHANGED:
      ApplyDpi();
      Form_Resize();
      return 0;
    case FrameDrop::kMsgDropped:
      if (m_drop && !CommandScope::DeferWhileInProgress(m_hwnd, message, wParam, lParam)) {
        m_drop->OnDropped();
      }
      return 0;
    case WM_DESTROY:
      m_drop.reset();
      KillTimer(m_hwnd, kClockTimer);
      runner::ProgressOwner(nullptr);
      // A frame whose creation failed ends no message loop: its creator reports the failure.
      if (m_bCreated) PostQuitMessage(0);
      return 0;
  }
  return DefFrameProcA(m_hwnd, m_hwndClient, message, wParam, lParam);
}

void frmMain::Form_Create() {
  CLIENTCREATESTRUCT client{};
  client.hWindowMenu = m_hWindowMenu;
  client.idFirstChild = kFirstDocumentCommand;
  m_hwndClient =
      CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                      WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE, 0, 0, 0, 0,
                      m_hwnd, reinterpret_cast<HMENU>(INT_PTR{kClientId}), Instance(), &client);
  if (!m_hwndClient) throw SystemError("frmMain", "MDICLIENT");

  m_tbToolbar = CreateWindowExA(
      0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0, 0, 0,
      m_hwnd, reinterpret_cast<HMENU>(INT_PTR{kToolbarId}), Instance(), nullptr);
  if (!m_tbToolbar) throw SystemError("frmMain", TOOLBARCLASSNAMEA);
  SendMessageA(m_tbToolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  TBBUTTON buttons[std::size(kToolbarButtons)] = {};
  for (size_t i = 0; i < std::size(kToolbarButtons); ++i) {
    const ToolbarButton& b = kToolbarButtons[i];
    if (!b.key) {
      buttons[i].fsStyle = BTNS_SEP;
      continue;
    }
    buttons[i].iBitmap = PictureIndex(b.key);
    buttons[i].idCommand = b.command;
    buttons[i].fsState = TBSTATE_ENABLED;
    buttons[i].fsStyle = BTNS_BUTTON;
    buttons[i].dwData = reinterpret_cast<DWORD_PTR>(b.key);
    buttons[i].iString = reinterpret_cast<INT_PTR>(b.caption);
  }
  SendMessageA(m_tbToolbar, TB_ADDBUTTONSA, std::size(buttons), reinterpret_cast<LPARAM>(buttons));

  m_sbStatusBar = CreateWindowExA(
      0, STATUSCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, m_hwnd,
      reinterpret_cast<HMENU>(INT_PTR{kStatusBarId}), Instance(), nullptr);
  if (!m_sbStatusBar) throw SystemError("frmMain", STATUSCLASSNAMEA);
  ApplyDpi();
  UpdateClock();
  SetTimer(m_hwnd, kClockTimer, 1000, nullptr);
  m_bCreated = true;
  runner::ProgressOwner(m_hwnd);
  // Files dropped from Explorer or any other program; without OLE on this thread there is none.
  m_drop = std::make_unique<FrameDrop>(*this);
}

void frmMain::ApplyDpi() {
  // The pictures are stretched from their 96-dots-per-inch drawing; silver stays their mask.
  int size = ScaleForDpi(kToolbarPicture, Dpi());
  UniqueHandle<HIMAGELIST, ImageList_Destroy> pictures(ImageList_Create(
      size, size, ILC_COLOR24 | ILC_MASK, static_cast<int>(std::size(kToolbarPictures)), 0));
  for (const ToolbarPicture& picture : kToolbarPictures) {
    UniqueBitmap bitmap(
        static_cast<HBITMAP>(LoadImageA(Instance(), MAKEINTRESOURCEA(picture.resource),
                                        IMAGE_BITMAP, size, size, LR_DEFAULTCOLOR)));
    ImageList_AddMasked(pictures.Get(), bitmap.Get(), RGB(192, 192, 192));
  }
  SendMessageA(m_tbToolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(pictures.Get()));
  m_imlToolbarIcons = std::move(pictures);  // the toolbar no longer uses the old list

  // The bars' text in the message font of this DPI: their heights follow it.
  LOGFONTW font = MessageFontForDpi(Dpi());
  UniqueGdiObject barFont(CreateFontIndirectW(&font));
  for (HWND bar : {m_tbToolbar, m_sbStatusBar}) {
    SendMessageA(bar, WM_SETFONT, reinterpret_cast<WPARAM>(barFont.Get()), TRUE);
  }
  m_barFont = std::move(barFont);
  SendMessageA(m_tbToolbar, TB_AUTOSIZE, 0, 0);
}

void frmMain::Form_Resize() {
  if (!m_hwndClient) return;
  RECT client;
  GetClientRect(m_hwnd, &client);
  int top = 0, bottom = client.bottom;
  // The bars' own visibility counts, not the frame's: the frame is still hidden during its load.
  if (GetWindowLongA(m_tbToolbar, GWL_STYLE) & WS_VISIBLE) {
    SendMessageA(m_tbToolbar, TB_AUTOSIZE, 0, 0);
    RECT bar;
    GetWindowRect(m_tbToolbar, &bar);
    top = bar.bottom - bar.top;
  }
  if (GetWindowLongA(m_sbStatusBar, GWL_STYLE) & WS_VISIBLE) {
    SendMessageA(m_sbStatusBar, WM_SIZE, 0, 0);
    RECT bar;
    GetWindowRect(m_sbStatusBar, &bar);
    bottom -= bar.bottom - bar.top;
    // The text panel takes what the time and date panels leave. Measured through the W form:
    // GDI reads A text in the system's code page on Windows, not the program's UTF-8.
    HDC dc = GetDC(m_sbStatusBar);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(m_sbStatusBar, WM_GETFONT, 0, 0)));
    SIZE time{}, date{};
    std::wstring timeText = Wide(m_sClockTime), dateText = Wide(m_sClockDate);
    GetTextExtentPoint32W(dc, timeText.c_str(), static_cast<int>(timeText.size()), &time);
    GetTextExtentPoint32W(dc, dateText.c_str(), static_cast<int>(dateText.size()), &date);
    SelectObject(dc, old);
    ReleaseDC(m_sbStatusBar, dc);
    int grip = MetricForDpi(SM_CXVSCROLL, Dpi()), pad = Px(240);
    int dateWidth = date.cx + pad + grip, timeWidth = time.cx + pad;
    int edges[3] = {std::max<int>(0, client.right - dateWidth - timeWidth),
                    std::max<int>(0, client.right - dateWidth), -1};
    SendMessageA(m_sbStatusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
  }
  RECT before;
  GetClientRect(m_hwndClient, &before);
  MoveWindow(m_hwndClient, 0, top, client.right, std::max(0, bottom - top), TRUE);
  // A lone document that fills the client area goes on filling it: the first one is made before
  // the frame's last layout at start.
  HWND only = GetWindow(m_hwndClient, GW_CHILD);
  if (!only || GetWindow(only, GW_HWNDNEXT) || IsZoomed(only) || IsIconic(only)) return;
  RECT document;
  GetWindowRect(only, &document);
  MapWindowPoints(nullptr, m_hwndClient, reinterpret_cast<POINT*>(&document), 2);
  if (EqualRect(&document, &before)) {
    RECT after;
    GetClientRect(m_hwndClient, &after);
    MoveWindow(only, 0, 0, after.right, after.bottom, TRUE);
  }
}

void frmMain::UpdateClock() {
  // The W forms: the A forms convert through the locale's code page, not the program's UTF-8.
  wchar_t time[64] = L"", date[64] = L"";
  GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, time, std::size(time));
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, std::size(date));
  std::string timeText = Utf8(time), dateText = Utf8(date);
  if (m_sClockTime == timeText && m_sClockDate == dateText) return;
  bool widthMayChange =
      m_sClockTime.size() != timeText.size() || m_sClockDate.size() != dateText.size();
  m_sClockTime = std::move(timeText);
  m_sClockDate = std::move(dateText);
  if (widthMayChange) Form_Resize();
  SendMessageA(m_sbStatusBar, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(m_sClockTime.c_str()));
  SendMessageA(m_sbStatusBar, SB_SETTEXTA, 2, reinterpret_cast<LPARAM>(m_sClockDate.c_str()));
}

void frmMain::ApplyPlacement() {
  Placement placement = ReadPlacement();
  // A stored value may be any float: each is clamped to the virtual screen (in twips) before it
  // becomes pixels, so no conversion or sum leaves the range of an int. The bounds leave room for
  // a maximised window, whose frame lies a few pixels beyond the screen; KeepOnScreen then brings
  // a window that shows on no monitor back.
  const double twips = 1440.0 / Dpi();
  const double x = GetSystemMetrics(SM_XVIRTUALSCREEN) * twips;
  const double y = GetSystemMetrics(SM_YVIRTUALSCREEN) * twips;
  const double cx = std::max(1, GetSystemMetrics(SM_CXVIRTUALSCREEN)) * twips;
  const double cy = std::max(1, GetSystemMetrics(SM_CYVIRTUALSCREEN)) * twips;
  placement.left = float(std::clamp<double>(placement.left, x - cx, x + cx));
  placement.top = float(std::clamp<double>(placement.top, y - cy, y + cy));
  placement.width = float(std::clamp<double>(placement.width, twips, 2 * cx));
  placement.height = float(std::clamp<double>(placement.height, twips, 2 * cy));
  RECT rect{Px(placement.left), Px(placement.top), 0, 0};
  rect.right = rect.left + Px(placement.width);
  rect.bottom = rect.top + Px(placement.height);
  rect = KeepOnScreen(rect);
  SetWindowPos(m_hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmMain::OnClose() {
  // Closing cannot be stopped: each step's errors are dropped and the next step runs.
  try {
    Form_QueryUnload();
  } catch (...) {
    // Nothing the first steps raise may stop the close.
  }
  // Each document closes as if the user closed it; the next one then becomes active.
  while (auto document =
             reinterpret_cast<HWND>(SendMessageA(m_hwndClient, WM_MDIGETACTIVE, 0, 0))) {
    SendMessageA(document, WM_CLOSE, 0, 0);
    if (IsWindow(document))
      SendMessageA(m_hwndClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(document), 0);
  }
  try {
    Form_Unload();
  } catch (...) {
    // Drops a refused write of the application settings; the window closes all the same.
  }
  DestroyWindow(m_hwnd);
}

void frmMain::Form_QueryUnload() {
  // Each step's errors are ignored and the next step runs.
  m_extractPreferences.Save();
  m_copyDataHook.reset();
  ReleaseInstanceMutex();
}

void frmMain::Form_Unload() {
  // A minimised window writes nothing: the settings keep their earlier values.
  if (IsIconic(m_hwnd)) return;
  RECT rect;
  GetWindowRect(m_hwnd, &rect);
  Placement placement;
  placement.left = static_cast<float>(PixelsToTwips(rect.left, Dpi()));
  placement.top = static_cast<float>(PixelsToTwips(rect.top, Dpi()));
  placement.width = static_cast<float>(PixelsToTwips(rect.right - rect.left, Dpi()));
  placement.height = static_cast<float>(PixelsToTwips(rect.bottom - rect.top, Dpi()));
  WriteApplicationSettings(placement);
}

void frmMain::OnCommand(WORD command) {
  if (runner::RunInProgress() && StartsRun(command)) {
    MessageBeep(MB_OK);
    return;
  }
  CommandScope scope;
  // A user command ends silently on any error.
  try {
    switch (command) {
      case mnuFileNew:
      case mnuWindowNewWindow:
        mnuFileNew_Click();
        break;
      case mnuFileOpen:
        mnuFileOpen_Click();
        break;
      case mnuFileAdd:
        mnuFileAdd_Click();
        break;
      case mnuFileExtract:
        mnuFileExtract_Click();
        break;
      case mnuFileAddFolder:
        mnuFileAddFolder_Click();
        break;
      case mnuFileClose:
        mnuFileClose_Click();
        break;
      case mnuFileExit:
        SendMessageA(m_hwnd, WM_CLOSE, 0, 0);
        break;
      case mnuViewToolbar:
        ToggleBar(command, m_tbToolbar);
        break;
      case mnuViewStatusBar:
        ToggleBar(command, m_sbStatusBar);
        break;
      case mnuViewRefresh:
        mnuViewRefresh_Click();
        break;
      case mnuViewFind:
        if (frmDocument* document = ActiveDocument()) document->FocusFind();
        break;
      case mnuViewFolders:
      case mnuViewIncludeSubfolders:
        mnuViewFolders_Click(command);
        break;
      case mnuWindowCascade:
        SendMessageA(m_hwndClient, WM_MDICASCADE, 0, 0);
        break;
      case mnuWindowTileHorizontal:
        SendMessageA(m_hwndClient, WM_MDITILE, MDITILE_HORIZONTAL, 0);
        break;
      case mnuWindowTileVertical:
        SendMessageA(m_hwndClient, WM_MDITILE, MDITILE_VERTICAL, 0);
        break;
      case mnuWindowArrangeIcons:
        SendMessageA(m_hwndClient, WM_MDIICONARRANGE, 0, 0);
        break;
      case mnuViewOptions:
        frmOptions::Show(m_hwnd, m_sProgramPath);
        break;
      case mnuHelpAbout:
        frmAbout::Show(m_hwnd);
        break;
      default:
        if (IsNameEncodingCommand(command)) {
          mnuViewNameEncoding_Click(command - kFirstNameEncodingCommand);
        }
        break;
    }
  } catch (...) {
    // A command ends silently on any error, a cancelled dialog included.
  }
}

LRESULT frmMain::OnNotify(NMHDR* header) {
  if (header->code == TTN_GETDISPINFOA) {
    auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
    if (const ToolbarButton* button = ButtonOf(header->idFrom)) {
      info->lpszText = const_cast<char*>(button->toolTip);
    }
    return 0;
  }
  if (header->code == TTN_GETDISPINFOW) {
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    if (const ToolbarButton* button = ButtonOf(header->idFrom)) {
      MultiByteToWideChar(CP_ACP, 0, button->toolTip, -1, info->szText,
                          static_cast<int>(std::size(info->szText)));
      info->lpszText = info->szText;
    }
    return 0;
  }
  return DefFrameProcA(m_hwnd, m_hwndClient, WM_NOTIFY, header->idFrom,
                       reinterpret_cast<LPARAM>(header));
}

void frmMain::ToggleBar(WORD command, HWND bar) {
  HMENU menu = GetMenu(m_hwnd);
  bool checked = !(GetMenuState(menu, command, MF_BYCOMMAND) & MF_CHECKED);
  CheckMenuItem(menu, command, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
  ShowWindow(bar, checked ? SW_SHOW : SW_HIDE);
  Form_Resize();
}

void frmMain::mnuFileClose_Click() {
  // Through the window's own close: a run in progress and a command's deferral still count.
  if (frmDocument* document = ActiveDocument()) SendMessageA(document->Window(), WM_CLOSE, 0, 0);
}

void frmMain::mnuViewRefresh_Click() {
  if (frmDocument* document = ActiveDocument()) document->Refresh();
}

void frmMain::mnuViewFolders_Click(WORD command) {
  (command == mnuViewFolders ? m_showFolders : m_includeSubfolders) ^= true;
  for (const auto& document : m_documents) {
    if (document->Window()) document->ShowFolders(m_showFolders, m_includeSubfolders);
  }
  try {
    WriteFolderSettings(m_showFolders, m_includeSubfolders);
  } catch (...) {
    // A refused write keeps the choice for the open windows only.
  }
}

void frmMain::UpdateFolderMenu() {
  HMENU menu = GetMenu(m_hwnd);
  CheckMenuItem(menu, mnuViewFolders, MF_BYCOMMAND | (m_showFolders ? MF_CHECKED : MF_UNCHECKED));
  CheckMenuItem(menu, mnuViewIncludeSubfolders,
                MF_BYCOMMAND | (m_includeSubfolders ? MF_CHECKED : MF_UNCHECKED));
  EnableMenuItem(menu, mnuViewIncludeSubfolders,
                 MF_BYCOMMAND | (m_showFolders ? MF_ENABLED : MF_GRAYED));
}

void frmMain::UpdateCommandStates() {
  bool open = ActiveDocument() != nullptr;
  HMENU menu = GetMenu(m_hwnd);
  for (WORD command :
       {mnuFileClose, mnuFileExtract, mnuFileAdd, mnuFileAddFolder, mnuViewRefresh, mnuViewFind}) {
    EnableMenuItem(menu, command, MF_BYCOMMAND | (open ? MF_ENABLED : MF_GRAYED));
  }
  for (WORD command : {mnuFileAdd, mnuFileExtract}) {
    SendMessageA(m_tbToolbar, TB_ENABLEBUTTON, command, MAKELPARAM(open, 0));
  }
}

void frmMain::NameInWindowMenu(frmDocument& document) {
  // The MDI client gives each document the command of its Window menu item as its identifier;
  // the menu keeps the caption the window was made with.
  auto command = static_cast<UINT>(GetWindowLongPtrA(document.Window(), GWLP_ID));
  char old[8] = "";
  if (command < kFirstDocumentCommand ||
      !GetMenuStringA(m_hWindowMenu, command, old, sizeof old, MF_BYCOMMAND)) {
    return;
  }
  unsigned number = command - kFirstDocumentCommand + 1;
  std::string text =
      (number < 10 ? "&" : "") + std::to_string(number) + " " + WindowText(document.Window());
  ModifyMenuA(m_hWindowMenu, command, MF_BYCOMMAND | MF_STRING, command, text.c_str());
}

void frmMain::ShowDocumentStatus(const char* text) {
  SendMessageA(m_sbStatusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

void frmMain::mnuFileOpen_Click() {
  if (!m_dlgCommonDialog.ShowOpen(m_hwnd) || m_dlgCommonDialog.FileName().empty()) return;
  CreateDocumentWindow();
  LoadArchive(m_dlgCommonDialog.FileName());
}

void frmMain::mnuFileNew_Click() {
  if (!m_newcd.ShowSave(m_hwnd) || m_newcd.FileName().empty()) return;
  frmDocument& document = CreateDocumentWindow();
  if (document.NewArchive(m_newcd.FileName())) {
    NameInWindowMenu(document);
  } else {
    CloseDocument(document);
  }
}

void frmMain::mnuFileAdd_Click() {
  // The document the command started on, whatever becomes active while the dialog is open.
  frmDocument* document = ActiveDocument();
  if (!document || !m_addcd.ShowOpen(m_hwnd) || m_addcd.FileName().empty()) return;
  document->AddFiles(m_addcd.FileName());
}

void frmMain::mnuFileAddFolder_Click() {
  // The document the command started on, whatever becomes active while the dialog is open.
  frmDocument* document = ActiveDocument();
  if (!document) return;
  std::optional<std::string> folder = PickFolder(m_hwnd, L"Add Folder");
  // The dialog was a nested loop: the document may have closed meanwhile.
  if (folder && frmDocument::FromWindow(document->Window())) document->AddFolder(*folder);
}

IDropTarget* frmMain::DropTarget() const {
  return m_drop ? m_drop->Target() : nullptr;
}

void frmMain::mnuFileExtract_Click() {
  // The document the command started on, whatever becomes active while the dialog is open.
  if (frmDocument* document = ActiveDocument())
    ExtractCommand(m_hwnd, *document, m_extractPreferences);
}

void frmMain::mnuViewNameEncoding_Click(size_t choice) {
  frmDocument* document = ActiveDocument();
  if (document && choice < NameEncodings().size()) {
    document->NameEncoding(NameEncodings()[choice].codePage);
  }
}

void frmMain::OnInitMenuPopup(HMENU menu) {
  if (menu != m_hNameEncodingMenu) return;
  frmDocument* document = ActiveDocument();
  UpdateNameEncodingMenu(menu, kFirstNameEncodingCommand,
                         document ? std::optional(document->NameEncoding()) : std::nullopt);
}

void frmMain::OnSysColorChange(WPARAM wParam, LPARAM lParam) {
  // Common controls follow a colour change only when their top-level window passes it on.
  for (HWND bar : {m_tbToolbar, m_sbStatusBar})
    SendMessageA(bar, WM_SYSCOLORCHANGE, wParam, lParam);
  for (const auto& document : m_documents) {
    if (document->Window()) SendMessageA(document->Window(), WM_SYSCOLORCHANGE, wParam, lParam);
  }
}

}  // namespace corvane
