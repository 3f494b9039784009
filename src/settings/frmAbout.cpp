#include "frmAbout.h"

#include "platform/Contrast.h"
#include "resources/resource.h"
#include "settings/AppSettings.h"

#include <cstring>

namespace corvane {
namespace {

// The logo's size in pixels at 96 dots per inch.
constexpr int kLogoWidth = 293, kLogoHeight = 138;

// The box is white with an etched grey line; a high-contrast theme gives its own colours instead.
COLORREF BoxColour(int themeColour, COLORREF fixed) {
  return HighContrast() ? GetSysColor(themeColour) : fixed;
}

}  // namespace

std::string VersionText(unsigned major, unsigned minor, unsigned revision) {
  return "Version " + std::to_string(major) + "." + std::to_string(minor) + "." +
         std::to_string(revision);
}

std::string ProgramVersionText() {
  // Read from the program's own resource rather than through VERSION.dll, which is not a system
  // DLL the loader fetches from System32 only: a copy planted beside the program would be loaded.
  HRSRC found = FindResourceA(/*hModule=*/nullptr, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const auto* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  // VS_VERSIONINFO: three WORDs, the key L"VS_VERSION_INFO" and its zero, padding to a DWORD
  // boundary, then the fixed part.
  constexpr size_t kFixedOffset = (3 * sizeof(WORD) + sizeof L"VS_VERSION_INFO" + 3) & ~size_t{3};
  if (!data || SizeofResource(nullptr, found) < kFixedOffset + sizeof(VS_FIXEDFILEINFO)) return "";
  VS_FIXEDFILEINFO info;
  std::memcpy(&info, data + kFixedOffset, sizeof info);
  if (info.dwSignature != VS_FFI_SIGNATURE) return "";
  // The four numbers of a file version are major.minor.build.revision.
  return VersionText(HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS),
                     LOWORD(info.dwFileVersionLS));
}

void frmAbout::Show(HWND owner) {
  frmAbout about;
  about.RunModal(owner, std::string("About ") + kAppTitle, WS_POPUP | WS_CAPTION | WS_SYSMENU);
}

INT_PTR frmAbout::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load();
      return FALSE;  // the focus is set on OK already
    case WM_PAINT:
      Form_Paint();
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC: {
      auto dc = reinterpret_cast<HDC>(wParam);
      if (!HighContrast()) {
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<INT_PTR>(m_whiteBrush.Get());
      }
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_SYSCOLORCHANGE:
      InvalidateRect(m_hwnd, nullptr, TRUE);
      return TRUE;
    case WM_COMMAND:
      // OK is both the default and the cancel button: Enter and Esc arrive as IDOK and IDCANCEL.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        cmdOK_Click();
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

void frmAbout::Form_Load() {
  SizeClient(5865, 3630, /*centre=*/true);

  // The logo is drawn for 96 dots per inch; the system stretches it to the dialog's DPI.
  m_logo.Reset(static_cast<HBITMAP>(LoadImageA(
      GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_LOGO), IMAGE_BITMAP,
      ScaleForDpi(kLogoWidth, Dpi()), ScaleForDpi(kLogoHeight, Dpi()), LR_DEFAULTCOLOR)));
  HWND picture =
      AddControl("STATIC", "", SS_BITMAP | SS_CENTERIMAGE, kPicture1, 720, 120, 4395, 2070);
  SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_logo.Get()));
  AddControl("STATIC", kAppTitle, SS_LEFT | SS_NOPREFIX, kLblTitle, 240, 2640, 1695, 240);
  AddControl("STATIC", ProgramVersionText().c_str(), SS_LEFT | SS_NOPREFIX, kLblVersion, 240, 2880,
             1575, 225);
  AddControl("STATIC", "Windows 9x/NT/2000/ME", SS_LEFT | SS_NOPREFIX, kLabel1, 240, 3120, 2295,
             255);
  HWND ok =
      AddControl("BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, kCmdOK, 4245, 3120, 1467, 345);
  SetFocus(ok);
}

void frmAbout::Form_Paint() {
  // The etched separator: a grey line with a white one below it, one pixel apart.
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hwnd, &paint);
  UniqueGdiObject grey(CreatePen(PS_SOLID, 1, BoxColour(COLOR_3DSHADOW, RGB(128, 128, 128))));
  UniqueGdiObject white(CreatePen(PS_SOLID, 1, BoxColour(COLOR_3DHILIGHT, RGB(255, 255, 255))));
  HGDIOBJ old = SelectObject(dc, grey.Get());
  MoveToEx(dc, Px(225), Px(2430), nullptr);
  LineTo(dc, Px(5657), Px(2430));
  SelectObject(dc, white.Get());
  MoveToEx(dc, Px(240), Px(2445), nullptr);
  LineTo(dc, Px(5657), Px(2445));
  SelectObject(dc, old);
  EndPaint(m_hwnd, &paint);
}

void frmAbout::cmdOK_Click() {
  EndDialog(m_hwnd, IDOK);
}

}  // namespace corvane
