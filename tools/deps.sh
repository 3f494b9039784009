#!/bin/sh
# Installs the Debian packages the build, the program and the tests need, when any is missing, and
# fetches the source of libdeflate for the Windows build (Debian has no mingw-w64 build of it).
# Usage: tools/deps.sh [run|test|package]   (test adds the peer ZIP tools, the fuzzing compiler, OpenSSL's
# libcrypto, which the native build takes its cryptography from, and the native libdeflate)
set -e
pkgs="cmake ninja-build g++ zlib1g-dev mingw-w64 g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  googletest wine wine64 xvfb xauth imagemagick x11-apps xdotool fonts-wine python3 dpkg-dev"
if [ "${1:-run}" = test ]; then
  pkgs="$pkgs zip unzip 7zip libarchive-tools clang libclang-rt-14-dev libssl-dev libdeflate-dev"
fi
# tools/deps.sh package: the package command's needs (NSIS, the portable archive's checkers, and
# libcrypto and libdeflate for the native build's cvz); its test, a stage of ./test, needs them too.
case "${1:-run}" in
  test) pkgs="$pkgs nsis" ;;
  package) pkgs="$pkgs nsis unzip 7zip libssl-dev libdeflate-dev" ;;
esac
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q >/dev/null
  $SUDO apt-get install -y -q --no-install-recommends $missing >/dev/null
fi

# libdeflate's source, unpacked once into the cache the Windows build reads it from
# (engine/CMakeLists.txt). It comes from Debian's source package, through a source list of our own
# made from the machine's Debian entries (the same entries as deb-src), with its own package
# lists, so that the machine's apt configuration is left as it is.
cache=${CORVANE_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/corvane/deps}
[ -f "$cache/libdeflate/lib/deflate_compress.c" ] && exit 0
fail() {
  echo "deps: cannot get libdeflate's source package from Debian ($1);" \
    "the Windows build needs it (see tools/deps.sh)" >&2
  exit 1
}
apt=$cache/apt
rm -rf "$apt" "$cache/libdeflate" "$cache/unpack"
mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$cache/unpack"
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
    >"$apt/sources.list.d/debian-src.sources"
fi
if [ -f /etc/apt/sources.list ]; then
  sed -n 's/^deb[[:space:]]/deb-src /p' /etc/apt/sources.list >"$apt/sources.list.d/debian-src.list"
fi
[ -s "$apt/sources.list.d/debian-src.sources" ] || [ -s "$apt/sources.list.d/debian-src.list" ] \
  || fail "no Debian entry in /etc/apt/sources.list.d/debian.sources or /etc/apt/sources.list"
apt_own() {
  apt-get -q -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/sources.list.d" \
    -o Dir::State::Lists="$apt/lists" -o Debug::NoLocking=1 "$@"
}
echo "fetching libdeflate's source package"
apt_own update >"$apt/update.log" 2>&1 || fail "apt-get update failed: $(tail -1 "$apt/update.log")"
(cd "$cache/unpack" && apt_own source libdeflate >"$apt/source.log" 2>&1) \
  || fail "apt-get source failed: $(tail -1 "$apt/source.log")"
unpacked=$(find "$cache/unpack" -maxdepth 1 -type d -name "libdeflate-*" | head -1)
[ -n "$unpacked" ] && [ -f "$unpacked/lib/deflate_compress.c" ] || fail "nothing unpacked"
mv "$unpacked" "$cache/libdeflate"
rm -rf "$cache/unpack" "$apt/lists"
