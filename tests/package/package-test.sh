#!/usr/bin/env bash
# Checks what ./package made (run it first): the portable archive against other readers, the
# release binaries' PE flags, then the installer under Wine in a throw-away prefix on a virtual
# display: a silent install into the user's profile, its uninstall entry, the installed program
# opening an archive, an upgrade in place over a running copy, and the silent uninstall.
# Prints one line per check and a closing "N passed, N failed"; exits non-zero on any failure.
set -u
cd "$(dirname "$0")/../.."
root=$PWD
b=$root/${CORVANE_BUILD:-build}
pkg=$b/package
export LANG=C.UTF-8 LC_ALL=C.UTF-8

passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...: one check, passed when COMMAND succeeds
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok     $what"
  else
    failed=$((failed + 1))
    echo "FAILED $what"
  fi
}
same() { [ "$1" = "$2" ] || { echo "  got '$1', expected '$2'" >&2; return 1; }; }

# Inside the Wine session: one phase of the installer's life, on the prefix in $WINEPREFIX.
if [ "${1:-}" = --in-session ]; then
  phase=$2
  source "$CORVANE_STATE"
  win() { wine64 winepath -w "$1" 2>/dev/null; }
  run=$b/release/bin/corvane-run.exe
  # The value of NAME under KEY as reg.exe prints it ("" when missing).
  regvalue() {
    wine64 reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
      sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
  }
  # Whether any class key of the user or the machine still names the installed program.
  classes_name_program() {
    local hive found=1
    for hive in 'HKEY_CURRENT_USER\Software\Classes' 'HKEY_LOCAL_MACHINE\Software\Classes'; do
      rm -f "$work/classes.reg"
      wine64 reg export "$hive" "$(win "$work")\\classes.reg" >/dev/null 2>&1
      iconv -f UTF-16 -t UTF-8 "$work/classes.reg" 2>/dev/null | tr -d '\r' |
        grep -qiF "${instwin//\\/\\\\}\\\\Corvane.exe" && found=0
    done
    return $found
  }
  uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvane'
  settings_key='HKCU\Software\Corvane\Settings'
  case $phase in
    install)
      check "silent setup exits 0" wine64 "$setup" /S
      for file in Corvane.exe cvunzip.dll cvzip.dll THIRD-PARTY-NOTICES.txt; do
        check "installed $file is the portable archive's" \
          cmp -s "$inst/$file" "$work/portable/$file"
      done
      check "uninstaller installed" test -f "$inst/uninstall.exe"
      check "Start menu shortcut" test -f "$startmenu/Corvane.lnk"
      while IFS='|' read -r name expected; do
        check "uninstall entry: $name" same "$(regvalue "$uninstall_key" "$name")" "$expected"
      done <<ROWS
DisplayName|Corvane
DisplayVersion|$version
Publisher|Corvane
DisplayIcon|"$instwin\\Corvane.exe",0
InstallLocation|$instwin
UninstallString|"$instwin\\uninstall.exe"
QuietUninstallString|"$instwin\\uninstall.exe" /S
NoModify|0x1
NoRepair|0x1
ROWS
      size=$(($(regvalue "$uninstall_key" EstimatedSize)))
      check "uninstall entry: EstimatedSize covers the files ($size KiB)" \
        test "$size" -ge "$(($(cat "$inst"/* | wc -c) / 1024))"

      # The installed program asks its first-run question, registers on OK, opens the archive.
      archive=$(win "$portable")
      wine64 "$run" start "$instwin\\Corvane.exe" "$archive"
      check "installed Corvane asks its first-run question" same "$?" 3
      check "first-run question answered OK" wine64 "$run" accept
      check "installed Corvane opened the archive" \
        grep -qxF "$archive" <(wine64 "$run" documents | tr -d '\r')
      check "the association names the installed program" classes_name_program

      # Upgrade over an older installation while the program runs: the setup closes it.
      echo "older" >"$inst/THIRD-PARTY-NOTICES.txt"
      wine64 reg add "$uninstall_key" /v DisplayVersion /d 0.0.1 /f >/dev/null 2>&1
      check "upgrade: silent setup exits 0" wine64 "$setup" /S
      check "upgrade: the running Corvane was closed" eval '! wine64 "$run" documents >/dev/null' 
      check "upgrade: files replaced in place" \
        cmp -s "$inst/THIRD-PARTY-NOTICES.txt" "$work/portable/THIRD-PARTY-NOTICES.txt"
      check "upgrade: entry names the new version" \
        same "$(regvalue "$uninstall_key" DisplayVersion)" "$version"
      check "upgrade: one installation" same "$(ls -d "$(dirname "$inst")"/*/)" "$inst/"

      # A copy that does not close when asked (its About box is open, so the close waits for it):
      # the silent setup gives up, with an exit code, before changing anything.
      wine64 "$run" start "$instwin\\Corvane.exe" && wine64 "$run" about
      echo "older" >"$inst/THIRD-PARTY-NOTICES.txt"
      wine64 "$setup" /S
      check "setup over a copy that stays open exits 2" same "$?" 2
      check "setup over a copy that stays open changed nothing" \
        same "$(cat "$inst/THIRD-PARTY-NOTICES.txt")" older
      check "the copy that stayed open closes afterwards" wine64 "$run" close
      ;;
    uninstalled)
      check "uninstall removed the program's folder" test ! -e "$inst"
      check "uninstall removed the shortcut" test ! -e "$startmenu/Corvane.lnk"
      check "uninstall removed the entry" test -z "$(regvalue "$uninstall_key" DisplayName)"
      check "silent uninstall kept the settings" test -n "$(regvalue "$settings_key" BasePath)"
      check "uninstall removed the association (Corvane.exe /unregister)" \
        eval '! classes_name_program'
      check "uninstall reset the first-run state (Corvane.exe /unregister)" \
        same "$(regvalue "$settings_key" frun)" 0
      ;;
  esac
  echo "$passed $failed" >"$CORVANE_RESULT"
  exit 0
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$b/release/CMakeCache.txt")
setup=$pkg/Corvane-$version-setup.exe
portable=$pkg/Corvane-$version-portable.zip
[ -f "$setup" ] && [ -f "$portable" ] || { echo "package-test: run ./package first" >&2; exit 1; }
cmake --build "$b/release" --target corvane-run >/dev/null || exit 1
work=$(mktemp -d /tmp/corvane-package-test.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The portable archive: other readers accept it, and it holds the program's files and no others.
check "portable archive passes unzip -t" unzip -tq "$portable"
check "portable archive passes 7zz t" eval '7zz t "$portable" >/dev/null'
check "portable archive holds the program, its engines and the notices" same \
  "$(unzip -Z1 "$portable" | sort | tr '\n' ' ')" \
  "Corvane/ Corvane/Corvane.exe Corvane/THIRD-PARTY-NOTICES.txt Corvane/cvunzip.dll \
Corvane/cvzip.dll "
unzip -q "$portable" -d "$work" && mv "$work/Corvane" "$work/portable"

# The release binaries: hardened, stripped, self-contained; their symbols kept apart.
for file in Corvane.exe cvunzip.dll cvzip.dll; do
  headers=$(x86_64-w64-mingw32-objdump -p "$work/portable/$file")
  for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT TERMINAL_SERVICE_AWARE; do
    check "$file: $flag" grep -qw "$flag" <<<"$headers"
  done
  check "$file: subsystem version 6.0 or later" \
    test "$(awk '$1 == "MajorSubsystemVersion" { print $2 }' <<<"$headers")" -ge 6
  check "$file: no debug sections" eval \
    '! x86_64-w64-mingw32-objdump -h "$work/portable/$file" | grep -q " \.debug"'
  check "$file: no runtime DLLs" eval \
    '! grep -iE "DLL Name: (libgcc|libstdc|libwinpthread|libssp|zlib)" <<<"$headers"'
  check "$file: stack protection" eval \
    'x86_64-w64-mingw32-nm "$pkg/symbols/$file.debug" | grep -q __stack_chk_fail'
  check "$file: debug information in symbols/" eval \
    'x86_64-w64-mingw32-objdump -h "$pkg/symbols/$file.debug" | grep -q " \.debug_info"'
done
file_version=$(sed 's/\.\([0-9]*\)$/.0.\1/' <<<"$version")  # the revision is the fourth number
check "Corvane.exe carries the project version" \
  grep -qxF "$file_version" <(strings -el "$work/portable/Corvane.exe")
check "the setup is a 64-bit program" eval \
  'x86_64-w64-mingw32-objdump -f "$setup" | grep -q "pei-x86-64"'

# The installer's life under Wine, in a prefix of its own.
export WINEPREFIX=$work/prefix
user=$(id -un)
# What the sessions need, handed over in a file: they run as new processes.
cat >"$work/state" <<EOF
work='$work' setup='$setup' portable='$portable' version='$version'
inst='$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/Corvane'
instwin='C:\\users\\$user\\AppData\\Local\\Programs\\Corvane'
startmenu='$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs'
EOF
export CORVANE_STATE=$work/state CORVANE_RESULT=$work/result
source "$CORVANE_STATE"
session() {  # session PHASE: one phase in a Wine session on the virtual display
  rm -f "$CORVANE_RESULT"
  xvfb-run -a -s "-screen 0 1280x1024x24" tools/wine-session.sh "$0" --in-session "$1"
  local counts
  counts=$(cat "$CORVANE_RESULT" 2>/dev/null) ||
    { failed=$((failed + 1)); echo "FAILED the $1 session ended early"; return; }
  passed=$((passed + ${counts%% *})) failed=$((failed + ${counts##* }))
}
session install

# The uninstaller copies itself to the temporary folder and returns at once: run it with no
# session holding the Wine server up, and wait for the server to end with its last process.
# Stdout/stderr go nowhere, so no system process started here keeps a pipe of ours open.
(
  export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
  export PATH="/usr/lib/wine:$PATH"
  xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
    wine64 "$1" /S </dev/null >/dev/null 2>&1
    timeout 300 wineserver -w' sh "$inst/uninstall.exe"
) || {
  failed=$((failed + 1))
  echo "FAILED the uninstall did not end"
  /usr/lib/wine/wineserver -k
}
session uninstalled

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
