#!/bin/sh
# Runs a command with a ready Wine prefix ($WINEPREFIX) and one Wine server kept up for its whole
# length. Creates and prepares the prefix on first use. Call it inside the display it should use:
# a server started without a display cannot create windows later.
set -u
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEPREFIX WINEDEBUG=-all LANG="${LANG:-C.UTF-8}" PATH="/usr/lib/wine:$PATH"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="

if [ ! -f "$WINEPREFIX/.corvane-ready" ]; then
  mkdir -p "$WINEPREFIX"
  wine64 wineboot -i >/dev/null 2>&1
  reg() { wine64 'C:\windows\system32\reg.exe' "$@" >/dev/null 2>&1; }
  # Without a window manager every hide or destroy of a top-level window waits 2 s for it.
  reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  # A crash must end the process, not wait in a debugger dialog on a display nobody sees.
  reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
  reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f
  # Caption buttons and dialogs need Marlett and Tahoma, which this Wine build does not pick up.
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
  # The profile folders are links into $HOME; make them the prefix's own.
  for d in Desktop Documents Downloads Music Pictures Videos; do
    p="$WINEPREFIX/drive_c/users/$(id -un)/$d"
    if [ -L "$p" ]; then rm "$p" && mkdir "$p"; fi
  done
  wineserver -w
  touch "$WINEPREFIX/.corvane-ready"
fi

wineserver -p
# Wine's system processes (services, explorer) start with the first program and inherit its output
# pipes, so a caller that reads a program's output to its end would wait for them. Start them once
# here, with no output, held up by a console that waits on a pipe until the session ends.
fifo=$(mktemp -u /tmp/corvane-keeper.XXXXXX)
mkfifo "$fifo"
wine64 'C:\windows\system32\cmd.exe' /k <"$fifo" >/dev/null 2>&1 &
exec 9>"$fifo"
rm -f "$fifo"
# The desktop process starts with the first program that touches a window station and would hold
# that program's output pipes open in turn; start it now, with no output.
wine64 'C:\windows\system32\rundll32.exe' user32.dll,GetDesktopWindow >/dev/null 2>&1
"$@"
rc=$?
exec 9>&-
wineserver -k
exit $rc
