#!/bin/sh
# Installs the Debian packages the build, the program and the tests need, when any is missing.
# Usage: tools/deps.sh [run|test]   (test adds the peer ZIP tools, the fuzzing compiler and OpenSSL's
# libcrypto, which the native build takes its cryptography from)
set -e
pkgs="cmake ninja-build g++ zlib1g-dev mingw-w64 g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  googletest wine wine64 xvfb xauth imagemagick x11-apps xdotool fonts-wine python3"
if [ "${1:-run}" = test ]; then
  pkgs="$pkgs zip unzip 7zip libarchive-tools clang libclang-rt-14-dev libssl-dev"
fi
# tools/deps.sh package: the package command's needs (NSIS, the portable archive's checkers, and
# libcrypto for the native build's cvz); its test, a stage of ./test, needs them too.
case "${1:-run}" in test | package) pkgs="$pkgs nsis unzip 7zip libssl-dev" ;; esac
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q >/dev/null
$SUDO apt-get install -y -q --no-install-recommends $missing >/dev/null
