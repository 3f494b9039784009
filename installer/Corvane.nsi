; Corvane's per-user installer. The package command passes VERSION (the project version), STAGE
; (the folder holding the files to install) and OUTFILE:
;   makensis -DVERSION=1.0.0 -DSTAGE=... -DOUTFILE=...setup.exe installer/Corvane.nsi
; Silent use: setup.exe /S [/D=folder], uninstall.exe /S (which keeps the user's settings).
; The association with ZIP files is not written here: the program asks at its first start.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel user

!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvane"
!define SETTINGS_KEY "Software\Corvane"
; The main window's class, by which a running copy is found and asked to close.
!define FRAME_CLASS "CorvaneMain"
!define SYNCHRONIZE 0x00100000
!define WAIT_TIMEOUT 258
; How long a running copy has to end after it was asked to close, in milliseconds.
!define CLOSE_PATIENCE 10000
!define RETRY_TEXT "Close it, then press Retry."

Name "Corvane"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Corvane"
; An upgrade goes where the installed version is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Corvane ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Corvane"
VIAddVersionKey /LANG=1033 "CompanyName" "Corvane"
VIAddVersionKey /LANG=1033 "FileDescription" "Corvane ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "See THIRD-PARTY-NOTICES.txt"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage custom un.SettingsPage un.SettingsPageLeave
UninstPage instfiles

Var RemoveSettings
Var RemoveSettingsBox
Var CloseResult

; Asks every running Corvane to close, as its own File > Exit would, and waits for each to end.
; Sets CloseResult to "ok", or to "running" when one has not ended in time.
!macro CLOSE_RUNNING_COPIES prefix
Function ${prefix}CloseRunningCopies
  StrCpy $CloseResult "ok"
  ${Do}
    FindWindow $0 "${FRAME_CLASS}"
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1) i"
    System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2"
    System::Call "user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0) i"
    ${If} $2 != 0
      System::Call "kernel32::WaitForSingleObject(p r2, i ${CLOSE_PATIENCE}) i .r1"
      System::Call "kernel32::CloseHandle(p r2)"
    ${Else}
      ; Not allowed to wait on the process: wait for its window instead.
      ${For} $2 1 100
        Sleep 100
        System::Call "user32::IsWindow(p r0) i .r1"
        ${IfThen} $1 = 0 ${|} ${ExitFor} ${|}
      ${Next}
    ${EndIf}
    ${If} $1 <> 0
      StrCpy $CloseResult "running"
      ${Break}
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_COPIES ""
!insertmacro CLOSE_RUNNING_COPIES "un."

; Closes running copies; a copy that stays is reported, and a silent run ends with exit code 2
; before anything was changed.
!macro ENSURE_NOT_RUNNING prefix
  ${Do}
    Call ${prefix}CloseRunningCopies
    ${If} $CloseResult == "ok"
      ${Break}
    ${EndIf}
    ${If} ${Silent}
      SetErrorLevel 2
      Quit
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Corvane is still running and did not close when asked.$\r$\n$\r$\n${RETRY_TEXT}" \
      IDRETRY +2
    Abort "Corvane is still running; nothing was changed."
  ${Loop}
!macroend

Section "Corvane"
  !insertmacro ENSURE_NOT_RUNNING ""
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${STAGE}\Corvane.exe"
  File "${STAGE}\cvunzip.dll"
  File "${STAGE}\cvzip.dll"
  File "${STAGE}\THIRD-PARTY-NOTICES.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Corvane.lnk" "$INSTDIR\Corvane.exe" "" "$INSTDIR\Corvane.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Corvane"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Corvane"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\Corvane.exe",0'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as Apps & features reads it.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.SettingsPage
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 24u \
    "Corvane keeps its settings (window position, folders, options) in your user profile."
  Pop $0
  ${NSD_CreateCheckbox} 0 30u 100% 12u "&Remove my Corvane settings as well"
  Pop $RemoveSettingsBox
  nsDialogs::Show
FunctionEnd

Function un.SettingsPageLeave
  ${NSD_GetState} $RemoveSettingsBox $RemoveSettings
FunctionEnd

Section "Uninstall"
  !insertmacro ENSURE_NOT_RUNNING "un."
  SetShellVarContext current
  ; The program removes the association and Explorer verbs it wrote itself, so that their keys
  ; are named in one place.
  ${If} ${FileExists} "$INSTDIR\Corvane.exe"
    ExecWait '"$INSTDIR\Corvane.exe" /unregister'
  ${EndIf}
  Delete "$INSTDIR\Corvane.exe"
  Delete "$INSTDIR\cvunzip.dll"
  Delete "$INSTDIR\cvzip.dll"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only an empty folder goes: the user may have chosen a folder that holds other files.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Corvane.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; A silent uninstall never shows the box, so it keeps the settings.
  ${If} $RemoveSettings == ${BST_CHECKED}
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  ${EndIf}
SectionEnd
