#!/bin/sh
# Runs a Windows program under Wine; CTest puts it in front of every Windows test and discovery.
: "${WINEPREFIX:=${PWD}/wineprefix}"
export WINEPREFIX WINEDEBUG="${WINEDEBUG:--all}" LANG="${LANG:-C.UTF-8}"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
exec /usr/lib/wine/wine64 "$@"
