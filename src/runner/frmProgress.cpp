#include "runner/frmProgress.h"

#include <commctrl.h>
#include <shlwapi.h>

#include "platform/Text.h"
#include "settings/AppSettings.h"

namespace corvane {
namespace {

// The window's client area and its controls, in twips.
constexpr int kWidth = 6240, kHeight = 2520;
constexpr int kBarRange = 1000;

// A byte count the way Explorer shows one ("1.20 GB").
std::string Bytes(uint64_t bytes) {
  wchar_t text[32] = L"";
  StrFormatByteSizeW(static_cast<LONGLONG>(bytes), text, 32);
  return Utf8(text);
}

// "m:ss", or "h:mm:ss" from an hour on.
std::string Duration(uint64_t milliseconds) {
  uint64_t seconds = milliseconds / 1000;
  char text[32];
  if (seconds >= 3600) {
    wsprintfA(text, "%u:%02u:%02u", static_cast<unsigned>(seconds / 3600),
              static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
  } else {
    wsprintfA(text, "%u:%02u", static_cast<unsigned>(seconds / 60),
              static_cast<unsigned>(seconds % 60));
  }
  return text;
}

}  // namespace

frmProgress::frmProgress(HWND owner, const std::string& action, const std::string& archive,
                         void (*cancel)())
    : m_sAction(action), m_sArchive(archive), m_cancel(cancel) {
  CreateModeless(owner, Caption(0), WS_POPUP | WS_CAPTION | WS_SYSMENU);
  ShowWindow(m_hwnd, SW_SHOWNORMAL);
}

frmProgress::~frmProgress() {
  if (m_hwnd) DestroyWindow(m_hwnd);
}

INT_PTR frmProgress::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load();
      return TRUE;
    case WM_COMMAND:
      // Cancel, Escape and the close box all arrive as IDCANCEL.
      if (LOWORD(wParam) == kCmdCancel) {
        m_cancel();
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

void frmProgress::Form_Load() {
  SizeClient(kWidth, kHeight, /*centre=*/true);
  constexpr DWORD kPath = SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS;
  AddControl("STATIC", m_sAction.c_str(), SS_LEFT | SS_NOPREFIX, kLblAction, 120, 120, 6000, 255);
  AddControl("STATIC", m_sArchive.c_str(), kPath, kLblArchive, 120, 390, 6000, 255);
  AddControl("STATIC", "", kPath, kLblEntry, 120, 660, 6000, 255);
  HWND bar = AddControl(PROGRESS_CLASSA, "", 0, kPrgBar, 120, 1005, 6000, 270);
  SendMessageA(bar, PBM_SETRANGE32, 0, kBarRange);
  AddControl("STATIC", "", SS_LEFT | SS_NOPREFIX, kLblCounts, 120, 1395, 6000, 255);
  AddControl("STATIC", "", SS_LEFT | SS_NOPREFIX, kLblTimes, 120, 1665, 6000, 255);
  AddControl("BUTTON", "Cancel", BS_DEFPUSHBUTTON | WS_TABSTOP, kCmdCancel, 5025, 2040, 1095, 345);
}

std::string frmProgress::Caption(int percent) const {
  return std::to_string(percent) + "% " + m_sAction + " - " + kAppTitle;
}

void frmProgress::SetText(int id, const std::string& text) {
  // Only a change is drawn: ten updates a second would otherwise flicker.
  HWND control = GetDlgItem(m_hwnd, id);
  if (WindowText(control) != text) SetWindowTextA(control, text.c_str());
}

void frmProgress::Update(const ProgressSnapshot& progress, uint64_t elapsedMs) {
  SetText(kLblEntry, progress.entry);
  double done = 0;
  if (progress.bytesTotal > 0) {
    done = static_cast<double>(progress.bytesDone) / static_cast<double>(progress.bytesTotal);
  } else if (progress.entriesTotal > 0) {
    done = static_cast<double>(progress.entriesDone) / static_cast<double>(progress.entriesTotal);
  }
  done = done > 1 ? 1 : done;
  SendDlgItemMessageA(m_hwnd, kPrgBar, PBM_SETPOS, static_cast<WPARAM>(done * kBarRange), 0);
  if (progress.cancelling) {
    SetText(kLblCounts, "Cancelling\xE2\x80\xA6");
    EnableWindow(GetDlgItem(m_hwnd, kCmdCancel), FALSE);
  } else {
    SetText(kLblCounts, std::to_string(progress.entriesDone) + " of " +
                            std::to_string(progress.entriesTotal) + " entries, " +
                            Bytes(progress.bytesDone) + " of " + Bytes(progress.bytesTotal));
  }
  std::string times = "Elapsed " + Duration(elapsedMs);
  if (done > 0 && elapsedMs >= 1000) {
    auto remaining = static_cast<uint64_t>(static_cast<double>(elapsedMs) * (1 - done) / done);
    times += ", remaining " + Duration(remaining);
  }
  if (elapsedMs > 0) times += ", " + Bytes(progress.bytesDone * 1000 / elapsedMs) + "/s";
  SetText(kLblTimes, times);
  std::string caption = Caption(static_cast<int>(done * 100));
  if (WindowText(m_hwnd) != caption) SetWindowTextA(m_hwnd, caption.c_str());
}

}  // namespace corvane
