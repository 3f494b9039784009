#!/bin/sh
# Writes the seed corpus of the unzip fuzz target into $1: the crafted archives of the engine
# tests and small archives of the peer tools (deflated, stored, encrypted, zip64, no folders,
# Deflate64, AES with the fuzz target's password "pw").
set -e
out=$1
rm -rf "$out"
mkdir -p "$out"
python3 "$(dirname "$0")/../tests/engine/make_hostile_archives.py" "$out"
src=$(mktemp -d)
trap 'rm -rf "$src"' EXIT
mkdir -p "$src/d/e"
printf 'hello\nworld\n' >"$src/a.txt"
seq 1 300 >"$src/d/b.txt"
: >"$src/d/e/empty"
cd "$src"
zip -q -r "$out/peer_deflate.zip" .
zip -q -r -0 "$out/peer_stored.zip" .
zip -q -r -e -P pw "$out/peer_encrypted.zip" .
zip -q -r -fz "$out/peer_zip64.zip" .
zip -q -r -D "$out/peer_nofolders.zip" .
7zz a -bd -tzip -mm=Deflate64 "$out/peer_deflate64.zip" . >/dev/null
7zz a -bd -tzip -mem=AES256 -ppw "$out/peer_aes.zip" . >/dev/null
